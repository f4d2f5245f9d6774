"""quillmark: convert JSON or Markdown documents into .docx packages.

Exit status: 0 when every input was converted, 2 when an input (or the
command line) was bad, 1 when the generator or the file system failed, 130 or
143 when interrupted by SIGINT or SIGTERM.
"""

import argparse
import contextlib
import errno
import os
import signal
import json
import sys
from pathlib import Path

from quillmark_cli import __version__
from quillmark_cli.conversion import BAD_INPUT, FAILED, OK, Source, describe, outcomes
from quillmark_cli.loading import EXAMPLE_PATH, SCHEMA_PATH, InputError, load_description, load_template, read_bytes
from quillmark_cli.planning import STDIN, PlanError, check, output_directory, plan
from quillmark_cli.progress import Progress
from quillmark_cli.terminal import shown
from quillmark_cli.writing import STDOUT, silence_stdout, write_package


class Interrupted(BaseException):
    """SIGINT or SIGTERM arrived; the command stops with 128 + the signal."""

    def __init__(self, signum):
        super().__init__(signum)
        self.status = 128 + signum


def _interrupt(signum, _frame):
    raise Interrupted(signum)


def positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("expected a positive number, got %s" % text)
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="quillmark",
        description="Convert JSON or Markdown documents into Word (.docx) packages. "
                    "With no INPUT, the bundled example is converted.",
        epilog="Exit status: 0 when every input was converted, 2 for bad input or usage, 1 when the generator "
               "or the file system failed, 130/143 when interrupted.")
    parser.add_argument("inputs", nargs="*", metavar="INPUT",
                        help="a JSON or Markdown (.md) input file, or - for standard input")
    parser.add_argument("--from", dest="input_format", choices=("json", "markdown"),
                        help="the inputs' format (default: markdown for .md and .markdown files, else json; "
                             "needed for Markdown on standard input)")
    target = parser.add_mutually_exclusive_group()
    target.add_argument("-o", "--output",
                        help="where to write the package: a file, - for standard output, or a directory "
                             "(an existing one, or a name ending in /) to write INPUT-NAME.docx into "
                             "(default: its own name, output.docx, here)")
    target.add_argument("-d", "--output-dir", type=Path,
                        help="write each INPUT's package into this directory as INPUT-NAME.docx")
    parser.add_argument("-t", "--template", type=Path,
                        help="a JSON template used instead of the inputs' own templates")
    markdown = parser.add_mutually_exclusive_group()
    markdown.add_argument("--markdown", dest="markdown", action="store_const", const=True,
                          help="turn [text](url) links into hyperlinks, whatever the input says")
    markdown.add_argument("--no-markdown", dest="markdown", action="store_const", const=False,
                          help="keep [text](url) as plain text, whatever the input says")
    parser.add_argument("-j", "--jobs", type=positive, metavar="N",
                        help="convert in N worker processes (default: one per CPU; 1 for a single input)")
    parser.add_argument("--print-schema", action="store_true", help="print the input's JSON Schema and exit")
    parser.add_argument("--print-json", action="store_true",
                        help="print the JSON description the INPUT became (for Markdown) instead of converting it")
    parser.add_argument("--version", action="version", version="%(prog)s " + __version__)
    args = parser.parse_args(argv)
    if len(args.inputs) > 1 and args.output_dir is None and (args.output is None or not _is_directory(args.output)):
        parser.error("several inputs need --output-dir (or -o DIR/)")
    if args.inputs.count(STDIN) > 1:
        parser.error("standard input (-) can be read only once")
    if args.print_json and len(args.inputs) != 1:
        parser.error("--print-json takes exactly one INPUT")
    return args


MARKDOWN_SUFFIXES = (".md", ".markdown")


def is_markdown(path, input_format):
    if input_format is not None:
        return input_format == "markdown"
    return str(path) != STDIN and Path(str(path)).suffix.lower() in MARKDOWN_SUFFIXES


def source_of(path, name, input_format):
    """The Source for an INPUT; standard input is read now, once (OSError
    when it cannot be)."""
    markdown_format = is_markdown(path, input_format)
    if str(path) == STDIN:
        return Source(None, read_bytes(STDIN), markdown_format, name)
    return Source(Path(path), None, markdown_format, name)


def _is_directory(output):
    return output != STDOUT and output_directory(output, None) is not None


class Reporter:
    """Messages on standard error, one line each, above the progress bar."""

    def __init__(self, progress):
        self.progress = progress

    def line(self, name, message):
        self.progress.message("%s: %s" % (shown(name), shown(message)))

    def command(self, message):
        self.line("quillmark", message)


def print_schema():
    try:
        sys.stdout.write(SCHEMA_PATH.read_text(encoding="utf-8"))
        sys.stdout.flush()
    except BrokenPipeError:
        silence_stdout()  # the reader has what it wanted
        return FAILED
    except OSError as error:
        silence_stdout()
        print("quillmark: cannot write the schema: %s" % (error.strerror or error), file=sys.stderr)
        return FAILED
    return OK


def print_json(source, template, markdown, reporter):
    """The JSON description `source` became, checked as the conversion would
    check it, on standard output."""
    try:
        description, warnings = describe(source, template is not None)
        for warning in warnings:
            reporter.progress.message(shown(warning))
        load_description(description, template, markdown)
    except InputError as error:
        reporter.line(source.name, error)
        return BAD_INPUT
    if markdown is not None:
        description.setdefault("config", {})["markdown"] = markdown
    if template is not None:
        description.pop("template", None)  # the command line's template stands in for it
    try:
        sys.stdout.write(json.dumps(description, ensure_ascii=False, indent=2) + "\n")
        sys.stdout.flush()
    except BrokenPipeError:
        silence_stdout()
        return FAILED
    except OSError as error:
        silence_stdout()
        reporter.command("cannot write the description: %s" % (error.strerror or error))
        return FAILED
    return OK


def write(job, outcome, reporter):
    """Writes one package; returns (status, the target written or None)."""
    target = job.target_for(outcome.file_name)
    try:
        write_package(target, outcome.data)
    except BrokenPipeError:
        silence_stdout()
        return FAILED, None
    except OSError as error:
        if target == STDOUT:
            silence_stdout()
        where = "standard output" if target == STDOUT else target
        reporter.line(where, "cannot write: %s" % (error.strerror or errno.errorcode.get(error.errno, error)))
        return FAILED, None
    return OK, target


def summary(jobs, written, failed, directory, interrupted=False):
    if len(jobs) == 1 and not interrupted:
        if written and written[0][0] != STDOUT:
            return "wrote %s (%d bytes)" % (shown(written[0][0]), written[0][1])
        return None
    into = " into %s" % shown(directory) if directory is not None else ""
    line = "converted %d of %d documents%s" % (len(written), len(jobs), into)
    if failed:
        line += ", %d failed" % failed
    return ("interrupted: " + line) if interrupted else line


def run(args):
    if args.print_schema:
        return print_schema()
    reporter = Reporter(Progress(0))

    template = None
    if args.template is not None:
        try:
            template = load_template(args.template)
        except InputError as error:
            reporter.line(args.template, error)
            return BAD_INPUT
    if args.print_json:
        path = args.inputs[0]
        name = "standard input" if path == STDIN else path
        try:
            source = source_of(path, name, args.input_format)
        except OSError as error:
            reporter.line(name, "cannot read: %s" % (error.strerror or error))
            return FAILED
        return print_json(source, template, args.markdown, reporter)
    if args.output == STDOUT and sys.stdout.isatty():
        reporter.command("standard output is a terminal; redirect it to a file, or name one with -o FILE")
        return BAD_INPUT

    jobs = plan(args.inputs, args.output, args.output_dir, EXAMPLE_PATH)
    try:
        check(jobs, args.template)
    except PlanError as error:
        reporter.command(error)
        return BAD_INPUT
    directory = output_directory(args.output, args.output_dir)
    if directory is not None:
        try:
            directory.mkdir(parents=True, exist_ok=True)
        except OSError as error:
            reporter.line(directory, "cannot create: %s" % (error.strerror or error))
            return FAILED

    sources = []
    for job in jobs:
        try:
            sources.append(source_of(job.source, job.name, args.input_format))
        except OSError as error:
            reporter.line(job.name, "cannot read: %s" % (error.strerror or error))
            return FAILED

    workers = min(args.jobs or os.cpu_count() or 1, len(jobs))
    progress = Progress(len(jobs))
    reporter = Reporter(progress)
    statuses, written = [], []
    try:
        with contextlib.closing(outcomes(sources, template, args.markdown, workers)) as results:
            for job, outcome in zip(jobs, results):
                status, target = outcome.status, None
                for warning in outcome.warnings:
                    reporter.progress.message(shown(warning))
                if status == OK:
                    status, target = write(job, outcome, reporter)
                else:
                    reporter.line(job.name, outcome.message)
                statuses.append(status)
                if target is not None:
                    written.append((target, len(outcome.data)))
                progress.advance()
    except Interrupted:
        progress.close()
        line = summary(jobs, written, len(statuses) - len(written), directory, interrupted=True)
        print("quillmark: %s" % line, file=sys.stderr)
        raise
    progress.close()
    line = summary(jobs, written, len(jobs) - len(written), directory)
    if line is not None:
        print(line, file=sys.stderr)
    return max(statuses)


def main(argv=None):
    args = parse_arguments(argv)
    handlers = {signum: signal.signal(signum, _interrupt) for signum in (signal.SIGINT, signal.SIGTERM)}
    try:
        return run(args)
    except Interrupted as stop:
        return stop.status
    finally:
        for signum, handler in handlers.items():
            signal.signal(signum, handler)


if __name__ == "__main__":
    sys.exit(main())
