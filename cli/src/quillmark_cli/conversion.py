"""Converting inputs into packages, in this process or in worker processes;
results come back in input order either way."""

from dataclasses import dataclass, field
from pathlib import Path
from typing import List, Optional

from quillmark_cli.errors import BAD_INPUT_STATUS, FAILED_STATUS, OUT_OF_MEMORY, InputError
from quillmark_cli.input.reading import read_file, read_standard_input
from quillmark_cli.output.streams import STDIN, was_closed

OK, FAILED, BAD_INPUT = 0, FAILED_STATUS, BAD_INPUT_STATUS
MARKDOWN_SUFFIXES = (".md", ".markdown")


@dataclass
class Outcome:
    status: int
    message: Optional[str] = None  # one line, for a failed input
    data: Optional[bytes] = None
    file_name: Optional[str] = None  # the name the generator gave its File
    warnings: List[str] = field(default_factory=list)  # lines about what the input lost
    where: Optional[str] = None  # the place in the input the message names, for bad input
    even_record_block: bool = False  # the record block must fall on an even page: its pages are counted


@dataclass
class Source:
    """An input: its path (or its bytes, for standard input), its format and
    the name messages give it."""
    path: Optional[Path]
    data: Optional[bytes]
    markdown_format: bool
    name: str
    reads_files: bool = True  # whether files the input names (a seal's picture, attachments) are read

    def read(self):
        return self.data if self.data is not None else read_file(self.path)

    @property
    def folder(self):
        """Where the paths the input gives start (None where no file may be
        read)."""
        if not self.reads_files:
            return None
        return self.path.parent if self.path is not None else Path()


def is_markdown(path, input_format):
    if input_format is not None:
        return input_format == "markdown"
    return path is not STDIN and path.suffix.lower() in MARKDOWN_SUFFIXES


def source_of(path, name, input_format):
    """The Source for an input (a Path or STDIN); standard input is read
    now, once."""
    markdown_format = is_markdown(path, input_format)
    if path is STDIN:
        if was_closed(STDIN):
            raise InputError(None, "cannot read: it is closed")
        return Source(None, read_standard_input(), markdown_format, name)
    return Source(path, None, markdown_format, name)


def describe(source, template=None):
    """(the input's JSON description, warnings); `template`, a
    CommandTemplate, is the command line's, when it gives one."""
    raw = source.read()
    if not source.markdown_format:
        from quillmark_cli.input.json_parsing import parse_json

        return parse_json(raw), []
    from quillmark_cli.input.markdown.converter import markdown_to_description

    base = source.path.parent if source.path is not None else Path()
    given = None if template is None else {style.name.value for style in template.model.styles}
    return markdown_to_description(raw, source.name, base, given)


def load(source, description, template=None, markdown=None):
    """The Loaded input from the description `source` became."""
    from quillmark_cli.input.loading import load_description

    return load_description(description, template, markdown, converted=source.markdown_format)


def convert(source, template, markdown):
    """One Source into an Outcome."""
    try:
        return _convert(source, template, markdown)
    except MemoryError:
        pass
    # Out of the handler, what was built for the input is freed (the
    # traceback held it), and the rest of a batch can go on.
    return Outcome(FAILED, OUT_OF_MEMORY + " converting it")


def _convert(source, template, markdown):
    from quillmark_cli.input.official_files import read_official_files
    from quillmark_cli.input.official_formats import check_format

    warnings = []
    try:
        description, warnings = describe(source, template)
        loaded = load(source, description, template, markdown)
        loaded = loaded._replace(official=check_format(loaded.official, source.markdown_format))
        files = read_official_files(loaded.official, source.folder, loaded.template, source.markdown_format)
    except InputError as error:
        return Outcome(error.status, str(error), warnings=warnings, where=error.where)
    del description  # not kept while the package is made
    warnings = warnings + ["%s: %s" % (source.name, line) for line in files.warnings + _replaced_signatures(loaded)]

    # Imported here so that --help and --print-schema work without the modules.
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark

    from quillmark_cli.official.layout import DoesNotFit, lay_out
    from quillmark_cli.official.record_block_page import has_record_block
    from quillmark_cli.official.roles import styles_of

    try:
        generator = Quillmark(loaded.config)
        result = generator.generate(loaded.document, loaded.template)
        attachments = [None if text is None else generator.generate(text, loaded.template).data
                       for text in files.attachments]
        data = lay_out(result.data, loaded.page, loaded.official, styles_of(loaded.document), files.seal_image,
                       attachments)
        even = loaded.page is not None and loaded.page.record_block == "even" and has_record_block(data)
    except DoesNotFit as error:  # the input asks for more than a page holds
        where = ("front matter: official: %s" if source.markdown_format else "official.%s") % error.where
        return Outcome(BAD_INPUT, str(InputError(where, error.message)), warnings=warnings, where=where)
    except MemoryError:
        raise
    except Exception as error:  # reported with its type, as the generator or the layout raised it
        return Outcome(FAILED, "%s: %s" % (type(error).__name__, error), warnings=warnings)
    return Outcome(OK, data=data, file_name=result.name, warnings=warnings, even_record_block=even)


def _replaced_signatures(loaded):
    """A warning for signature lines that a signer's signature stamp takes
    the place of (the signer's title and the stamp stand there instead)."""
    if (loaded.official or {}).get("seal") != "signature":
        return []
    lines = [element.text for element in loaded.document.elements
             if element.style_name == "落款" and (element.text or "").strip()]
    if len(lines) < 2:
        return []
    return ["official.seal: signature: the signer's title and signature stamp take the place of %s" %
            "，".join(repr(text) for text in lines[:-1])]


def prepare_workers(sources):
    """Imports, before the workers are forked, what converting the sources
    needs: the workers then share it instead of each importing it again."""
    from quillmark_cli.input.schema import load_schema_validators

    if not all(source.markdown_format for source in sources):
        load_schema_validators()  # Markdown descriptions are not validated again
    if any(source.markdown_format for source in sources):
        import quillmark_cli.input.markdown.converter  # noqa: F401
    import quillmark_cli.input.loading  # noqa: F401
    import quillmark_cli.official.layout  # noqa: F401
    import tolvek.doc.generator.generate.generators.quillmark  # noqa: F401


def outcomes(sources, template, markdown, workers):
    """Outcome of each source, in order, converting up to `workers` at once."""
    tasks = [(source, template, markdown) for source in sources]
    if workers <= 1:
        for task in tasks:
            yield convert(*task)
        return
    from quillmark_cli.running.workers import WorkerDied, WorkerPool

    prepare_workers(sources)

    with WorkerPool(workers, convert) as pool:
        for result in pool.results(tasks):
            yield Outcome(FAILED, str(result)) if isinstance(result, WorkerDied) else result
