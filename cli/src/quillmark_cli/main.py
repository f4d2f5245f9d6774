"""quillmark: convert JSON or Markdown documents into .docx packages, or into
PDF through LibreOffice.

Exit status: 0 when every input was converted, 2 when an input (or the
command line) was bad, 1 when the generator, the file system or LibreOffice
failed, 130, 143 or 129 when interrupted by SIGINT, SIGTERM or SIGHUP.

Only what every run needs is imported here; the schema validator, the
Markdown parser, the progress bar and the generator are imported by the
runs that use them.
"""

import argparse
import os
import sys

from quillmark_cli import __version__
from quillmark_cli.errors import BAD_INPUT_STATUS, FAILED_STATUS, OUT_OF_MEMORY, InputError
from quillmark_cli.output.delivery import OK, OutputDirectory, Rendering, render_and_write, write, write_out
from quillmark_cli.output.streams import DASH, STDIN, STDOUT, Descriptor, is_terminal, secure_standard_descriptors, \
    was_closed
from quillmark_cli.running import signals
from quillmark_cli.running.reporting import Report

PDF_TIMEOUT = 60  # seconds LibreOffice may take over one document
NEEDS_PAGES = ("template.page.record_block: even: which page the record block falls on is known only where "
               "LibreOffice lays the document out: install it, for example with 'apt-get install "
               "libreoffice-writer-nogui', or leave record_block out")


def positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("expected a positive number, got %s" % text)
    return value


def positive_seconds(text):
    try:
        value = float(text)
    except ValueError:
        value = 0
    if not 0 < value < float("inf"):
        raise argparse.ArgumentTypeError("expected a positive number of seconds, got %s" % text)
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="quillmark",
        description="Convert JSON or Markdown documents into Word (.docx) packages, or into PDF. "
                    "With no INPUT, the bundled example, an official notice, is converted into output.docx.",
        epilog="'quillmark serve' starts the web editor and the HTTP API (quillmark serve --help); a file named "
               "serve is ./serve. Exit status: 0 when every input was converted, 2 for bad input or usage, 1 when "
               "the generator, the file system or LibreOffice failed, 130/143/129 when interrupted "
               "(SIGINT/SIGTERM/SIGHUP).")
    parser.add_argument("inputs", nargs="*", metavar="INPUT",
                        help="a JSON or Markdown (.md) input file, or - for standard input (./- names a file)")
    parser.add_argument("--from", dest="input_format", choices=("json", "markdown"),
                        help="the inputs' format (default: markdown for .md and .markdown files, else json; "
                             "needed for Markdown on standard input)")
    target = parser.add_mutually_exclusive_group()
    target.add_argument("-o", "--output",
                        help="where to write the package: a file, - for standard output, or a directory "
                             "(an existing one, or a name ending in /) to write INPUT-NAME.docx into "
                             "(default: its own name, output.docx, here); a name ending in .pdf means --to pdf")
    target.add_argument("-d", "--output-dir",
                        help="write each INPUT's package into this directory as INPUT-NAME.docx (or .pdf)")
    parser.add_argument("--to", choices=("docx", "pdf"),
                        help="what to write: the Word package, or a PDF of it rendered by LibreOffice, which must "
                             "be installed (default: pdf when -o names a .pdf file, else docx)")
    parser.add_argument("-t", "--template",
                        help="a JSON template used instead of the inputs' own templates")
    markdown = parser.add_mutually_exclusive_group()
    markdown.add_argument("--markdown", dest="markdown", action="store_const", const=True,
                          help="turn [text](url) links into hyperlinks, whatever the input says")
    markdown.add_argument("--no-markdown", dest="markdown", action="store_const", const=False,
                          help="keep [text](url) as plain text, whatever the input says")
    parser.add_argument("-j", "--jobs", type=positive, metavar="N",
                        help="convert in N worker processes, and render PDFs with up to N LibreOffice processes "
                             "(default: one per CPU; 1 for a single input)")
    parser.add_argument("--pdf-a", action="store_true",
                        help="write archival PDF (PDF/A-2b, every font embedded); implies --to pdf")
    parser.add_argument("--pdf-timeout", type=positive_seconds, metavar="SECONDS", default=PDF_TIMEOUT,
                        help="how long LibreOffice may take over one document before it is taken to hang and "
                             "is stopped (default: %d)" % PDF_TIMEOUT)
    parser.add_argument("--print-schema", action="store_true", help="print the input's JSON Schema and exit")
    parser.add_argument("--print-json", action="store_true",
                        help="print the JSON description the INPUT became (for Markdown) instead of converting it")
    parser.add_argument("--version", action="version", version="%(prog)s " + __version__)
    args = parser.parse_args(argv)
    if len(args.inputs) > 1 and args.output_dir is None and (args.output is None or not _is_directory(args.output)):
        parser.error("several inputs need --output-dir (or -o DIR/)")
    if args.inputs.count(DASH) > 1:
        parser.error("standard input (-) can be read only once")
    if args.print_json and len(args.inputs) != 1:
        parser.error("--print-json takes exactly one INPUT")
    if args.pdf_a:
        if args.to == "docx" or (args.to is None and args.output is not None and args.output != DASH
                                 and os.path.splitext(args.output)[1].lower() == ".docx"):
            parser.error("--pdf-a writes PDF; it cannot go with .docx output")
        args.to = "pdf"
    if args.to is None:
        args.to = "pdf" if args.output is not None and args.output.lower().endswith(".pdf") else "docx"
    return args


def _is_directory(output):
    from quillmark_cli.planning import output_directory

    return output_directory(output, None) is not None


def print_schema(report):
    from quillmark_cli.input.schema import SCHEMA_PATH

    return write_out(report, STDOUT, SCHEMA_PATH.read_bytes(), "the schema")


def print_json(source, template, markdown, report):
    """The JSON description `source` became, checked as the conversion would
    check it, on standard output."""
    import json

    from quillmark_cli.conversion import describe, load

    try:
        description, warnings = describe(source, template)
        for warning in warnings:
            report.warning(warning)
        load(source, description, template, markdown)
    except InputError as error:
        report.line(source.name, error)
        return error.status
    if markdown is not None:
        description.setdefault("config", {})["markdown"] = markdown
    if template is not None:
        description.pop("template", None)  # the command line's template stands in for it
    text = json.dumps(description, ensure_ascii=False, indent=2) + "\n"
    return write_out(report, STDOUT, text.encode("utf-8"), "the description")


def run(args, report):
    from pathlib import Path

    if args.print_schema:
        return print_schema(report)

    template = None
    if args.template is not None:
        from quillmark_cli.input.loading import load_template

        try:
            template = load_template(args.template)
        except InputError as error:
            report.line(args.template, error)
            return error.status
    inputs = [STDIN if p == DASH else Path(p) for p in args.inputs]
    if args.print_json:
        from quillmark_cli.conversion import source_of

        name = "standard input" if inputs[0] is STDIN else args.inputs[0]
        try:
            source = source_of(inputs[0], name, args.input_format)
        except InputError as error:
            report.line(name, error)
            return error.status
        return print_json(source, template, args.markdown, report)

    from quillmark_cli.conversion import outcomes, source_of
    from quillmark_cli.planning import BUNDLED_EXAMPLE, PlanError, ReadFile, check, front_matter_templates, plan

    renderer = None
    if args.to == "pdf":
        from quillmark_cli.output.pdf.program import INSTALL_HINT, find_libreoffice

        renderer = find_libreoffice()
        if renderer is None:
            report.command(INSTALL_HINT)
            return FAILED_STATUS
    signals.checkpoint()
    jobs = plan(args.inputs, args.output, args.output_dir, BUNDLED_EXAMPLE, "." + args.to)
    directory = OutputDirectory(report.directory, report)
    report.total = len(jobs)
    if any(job.target is STDOUT for job in jobs):
        if was_closed(STDOUT):
            report.command("cannot write to standard output: it is closed")
            return FAILED_STATUS
    for job in jobs:
        if isinstance(job.target, Descriptor) and is_terminal(job.target) and not was_closed(job.target):
            report.command("%s is a terminal; redirect it to a file, or name one with -o FILE" % job.target)
            return BAD_INPUT_STATUS

    sources = []
    for job in jobs:
        try:
            sources.append(source_of(job.source, job.name, args.input_format))
        except InputError as error:
            report.line(job.name, error)
            return error.status
    read = [] if args.template is None else [ReadFile(Path(args.template), "the template %s" % args.template)]
    if template is None:
        read += front_matter_templates(sources)
    try:
        check(jobs, read)
    except PlanError as error:
        report.command(error)
        return BAD_INPUT_STATUS

    workers = min(args.jobs or os.cpu_count() or 1, len(jobs))
    report.show_progress()
    statuses, to_render = [], []
    results = outcomes(sources, template, args.markdown, workers)
    try:
        for job, outcome in zip(jobs, results):
            signals.checkpoint()
            for warning in outcome.warnings:
                report.warning(warning)
            if outcome.status != OK:
                status = outcome.status
                report.line(job.name, outcome.message)
            elif renderer is not None or outcome.even_record_block or to_render:
                # Rendered once all are converted, and counted then; a
                # .docx whose pages must be counted, and those after it,
                # are written in order once they have been.
                to_render.append((job, outcome))
                continue
            else:
                status = write(job, outcome, report, directory)
            statuses.append(status)
            report.advance()
    finally:
        results.close()
    if to_render:
        statuses.append(_render_and_write(to_render, renderer, workers, args, report, directory))
    signals.checkpoint()
    report.finish()
    status = max(statuses)
    if status == OK and _bare(args):
        _suggest_pdf(report)
    return status


def _render_and_write(to_render, renderer, workers, args, report, directory):
    """PDFs, or .docx packages whose record block must fall on an even page
    (which only rendering tells): without LibreOffice, those are refused."""
    if renderer is None:
        from quillmark_cli.output.pdf.program import find_libreoffice

        renderer = find_libreoffice()
        if renderer is None:
            statuses = []
            for job, outcome in to_render:
                if outcome.even_record_block:
                    report.line(job.name, NEEDS_PAGES)
                    statuses.append(FAILED_STATUS)
                else:
                    statuses.append(write(job, outcome, report, directory))
                report.advance()
            return max(statuses)
    rendering = Rendering(renderer, workers, args.pdf_a, args.pdf_timeout)
    return render_and_write(to_render, rendering, report, directory, to_pdf=args.to == "pdf")


def _bare(args):
    """Whether the command was run with nothing but the bundled example to
    convert into ./output.docx."""
    return (not args.inputs and args.output is None and args.output_dir is None and args.to == "docx"
            and args.template is None and args.markdown is None and args.input_format is None)


def _suggest_pdf(report):
    """After the bundled example: the command that gives its PDF too, where
    LibreOffice can render one."""
    from quillmark_cli.output.pdf.program import find_libreoffice

    if find_libreoffice() is not None:
        report.note("for the PDF as well: quillmark -o output.pdf")


def main(argv=None):
    """The command; with `argv` None, the process's own arguments, and the
    process then only exits afterwards: a signal that comes after the work
    is done ends it as the signal does by default, without a traceback."""
    secure_standard_descriptors()
    arguments = sys.argv[1:] if argv is None else list(argv)
    if arguments[:1] == ["serve"]:  # the server handles its own signals
        from quillmark_cli.service.command import main as serve

        return serve(arguments[1:])
    with signals.handled(restore=argv is not None):
        report = Report()
        try:
            # Reading the command line takes no time and cannot block; a
            # signal meanwhile waits, so that the summary knows the batch.
            with signals.deferred():
                args = parse_arguments(argv)
                from quillmark_cli.planning import output_directory

                report.total = max(1, len(args.inputs))
                report.directory = output_directory(args.output, args.output_dir)
            status = run(args, report)
            signals.checkpoint()
            return status
        except signals.Interrupted as stop:
            signals.delivered()
            report.interrupted()
            return stop.status
        except MemoryError:
            pass
        # Out of the handler, the memory the traceback held is free again.
        report.command(OUT_OF_MEMORY)
        return FAILED_STATUS


if __name__ == "__main__":
    sys.exit(main())
