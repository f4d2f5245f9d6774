"""quillmark: convert JSON documents into .docx packages.

Exit status: 0 when every input was converted, 2 when an input (or the
command line) was bad, 1 when the generator or the file system failed.
"""

import argparse
import sys
from pathlib import Path

from quillmark_cli import __version__
from quillmark_cli.loading import EXAMPLE_PATH, SCHEMA_PATH, InputError, load_input, load_template
from quillmark_cli.progress import Progress
from quillmark_cli.writing import write_atomically

OK, FAILED, BAD_INPUT = 0, 1, 2


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="quillmark",
        description="Convert JSON documents into Word (.docx) packages. "
                    "With no INPUT, the bundled example is converted.")
    parser.add_argument("inputs", nargs="*", metavar="INPUT", type=Path, help="a JSON input file")
    target = parser.add_mutually_exclusive_group()
    target.add_argument("-o", "--output", type=Path,
                        help="where to write the package (default: its own name, output.docx, here)")
    target.add_argument("-d", "--output-dir", type=Path,
                        help="write each INPUT's package into this directory as INPUT-NAME.docx")
    parser.add_argument("-t", "--template", type=Path,
                        help="a JSON template used instead of the inputs' own templates")
    markdown = parser.add_mutually_exclusive_group()
    markdown.add_argument("--markdown", dest="markdown", action="store_const", const=True,
                          help="turn [text](url) links into hyperlinks, whatever the input says")
    markdown.add_argument("--no-markdown", dest="markdown", action="store_const", const=False,
                          help="keep [text](url) as plain text, whatever the input says")
    parser.add_argument("--print-schema", action="store_true", help="print the input's JSON Schema and exit")
    parser.add_argument("--version", action="version", version="%(prog)s " + __version__)
    args = parser.parse_args(argv)
    if len(args.inputs) > 1 and args.output_dir is None:
        parser.error("several inputs need --output-dir")
    return args


def report(name, message):
    print("%s: %s" % (name, message), file=sys.stderr)


def convert(path, name, args, template):
    """Converts one input; returns (status, the path written or None)."""
    try:
        config, document, own_template = load_input(path, template, args.markdown)
    except InputError as error:
        report(name, error)
        return BAD_INPUT, None

    # Imported here so that --help and --print-schema work without the modules.
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark

    try:
        result = Quillmark(config).generate(document, own_template)
    except Exception as error:  # reported with its type, as the generator raised it
        report(name, "%s: %s" % (type(error).__name__, error))
        return FAILED, None

    if args.output is not None:
        target = args.output
    elif args.output_dir is not None:
        target = args.output_dir / (path.stem + ".docx")
    else:
        target = Path(result.name)
    try:
        write_atomically(target, result.data)
    except OSError as error:
        report(target, "cannot write: %s" % (error.strerror or error))
        return FAILED, None
    return OK, target


def main(argv=None):
    args = parse_arguments(argv)
    if args.print_schema:
        sys.stdout.write(SCHEMA_PATH.read_text(encoding="utf-8"))
        return OK

    template = None
    if args.template is not None:
        try:
            template = load_template(args.template)
        except InputError as error:
            report(args.template, error)
            return BAD_INPUT
    if args.output_dir is not None:
        try:
            args.output_dir.mkdir(parents=True, exist_ok=True)
        except OSError as error:
            report(args.output_dir, "cannot create: %s" % (error.strerror or error))
            return FAILED

    inputs = [(path, str(path)) for path in args.inputs] or [(EXAMPLE_PATH, "bundled example")]
    progress = Progress(len(inputs))
    statuses, written = [], []
    for path, name in inputs:
        status, target = convert(path, name, args, template)
        statuses.append(status)
        if target is not None:
            written.append(target)
        progress.advance(name)
    progress.close()

    if len(inputs) == 1:
        if written:
            print("wrote %s (%d bytes)" % (written[0], written[0].stat().st_size), file=sys.stderr)
    else:
        failed = len(inputs) - len(written)
        print("converted %d of %d documents into %s%s" % (
            len(written), len(inputs), args.output_dir, ", %d failed" % failed if failed else ""), file=sys.stderr)
    return max(statuses)


if __name__ == "__main__":
    sys.exit(main())
