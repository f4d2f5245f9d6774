"""The files an input's `official` mapping names: the picture of the seal or
the signer's signature stamp (`seal_image`, a PNG), and the texts of the
attachments (`attachments[i].file`, Markdown or JSON). A relative path
starts at the input's folder (the working folder for standard input).

An attachment's text is written with the document's template; its own
front matter or template is not read. Its title, when it opens with one,
gives way to the attachment's name, which heads its pages as it does in the
list of attachments.
"""

from pathlib import Path

from quillmark_cli.errors import InputError
from quillmark_cli.input.reading import read_file

MARKDOWN_SUFFIXES = (".md", ".markdown")
_PNG = b"\x89PNG\r\n\x1a\n"


class OfficialFiles:
    """What the files hold: the seal's picture (bytes or None), and for
    each attachment its text as a Document, or None."""

    def __init__(self, seal_image=None, attachments=(), warnings=()):
        self.seal_image, self.attachments, self.warnings = seal_image, list(attachments), list(warnings)


def read_official_files(official, base, template, markdown_source):
    """The OfficialFiles of `official` (the input's mapping), paths starting
    at `base` (a Path; None where no file may be read); `template` is the
    Template the input is written with."""
    official = official or {}

    def where(*path):
        if markdown_source:
            return "front matter: official: " + ": ".join(str(step) for step in path)
        text = "official"
        for step in path:
            text += "[%d]" % step if isinstance(step, int) else "." + step
        return text

    files = OfficialFiles()
    seal = official.get("seal") or "none"
    if seal == "signature" and not official.get("signer_title"):
        raise InputError(where("signer_title"), "missing: a document signed with the signer's signature stamp "
                                                "gives the signer's title (e.g. 局长)")
    if official.get("seal_image") and seal == "none":
        raise InputError(where("seal_image"), "a picture of a seal needs seal: stamp (the authority's seal) or "
                                              "seal: signature (the signer's signature stamp)")
    if official.get("seal_image"):
        path = _path(official["seal_image"], base, where("seal_image"))
        data = _read(path, where("seal_image"))
        if not data.startswith(_PNG) or data[12:16] != b"IHDR":
            raise InputError(where("seal_image"), "%s is not a PNG image" % official["seal_image"])
        files.seal_image = data
    for index, item in enumerate(official.get("attachments") or ()):
        if not isinstance(item, dict) or not item.get("file"):
            files.attachments.append(None)
            continue
        place = where("attachments", index, "file")
        path = _path(item["file"], base, place)
        files.attachments.append(_attachment(path, item["name"], template, place, files.warnings))
    return files


def _path(name, base, place):
    if base is None:
        raise InputError(place, "files are not read here: give the document without file names")
    path = Path(name)
    return path if path.is_absolute() else base / path


def _read(path, place):
    try:
        return read_file(path)
    except InputError as error:
        raise type(error)(place, str(error)) from None


def _attachment(path, name, template, place, warnings):
    """The attachment's text as a Document of the template's styles."""
    from quillmark_cli.input.loading import build_document, template_names
    from quillmark_cli.input.schema import validate
    from quillmark_cli.input.style_checks import check_styles

    data = _read(path, place)
    label = "%s: %s" % (place, path.name)
    try:
        if path.suffix.lower() in MARKDOWN_SUFFIXES:
            from quillmark_cli.input.markdown.converter import markdown_to_description

            given = template_names(template)
            description, found = markdown_to_description(data, str(path), path.parent, given)
            warnings.extend(found)
        else:
            from quillmark_cli.input.json_parsing import parse_json

            description = parse_json(data)
            validate(description)
        check_styles(description["document"], template_names(template))
    except InputError as error:
        raise type(error)(label, str(error)) from None
    elements = description["document"]["elements"]
    if elements and elements[0].get("type") == "title":
        title = elements.pop(0)
        text = title.get("text") or "".join(run.get("text", "") for run in title.get("runs") or ())
        if text.strip() != name.strip():
            warnings.append("%s: its title %r gives way to the attachment's name %r" % (label, text, name))
    return build_document(description["document"])
