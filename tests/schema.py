"""Validation of generated packages against the WordprocessingML schemas
(ISO/IEC 29500 Transitional, RELAX NG) kept in tests/schemas/."""

import functools
import io
import zipfile
from pathlib import Path

from lxml import etree

SCHEMAS = Path(__file__).resolve().parent / "schemas"
MC_IGNORABLE = "{http://schemas.openxmlformats.org/markup-compatibility/2006}Ignorable"

# The parts the generator writes, and the grammar each must follow.
GRAMMARS = {
    "word/document.xml": "WordprocessingML_Main_Document.rng",
    "word/styles.xml": "WordprocessingML_Style_Definitions.rng",
    "word/numbering.xml": "WordprocessingML_Numbering_Definitions.rng",
}
# Parts a laid-out package also has (the settings, footers), each checked
# against the main document's grammar started at its own root element.
OTHER_ROOTS = {"word/settings.xml": "w_settings", "word/footer": "w_ftr", "word/header": "w_hdr"}
MAIN = "WordprocessingML_Main_Document.rng"


@functools.lru_cache(maxsize=None)
def grammar(name, start=None):
    tree = etree.parse(str(SCHEMAS / name))
    if start is not None:
        tree.find("{http://relaxng.org/ns/structure/1.0}start/{http://relaxng.org/ns/structure/1.0}ref").set(
            "name", start)
    return etree.RelaxNG(tree)


def ignore_markup_compatibility(root):
    """Drops the mc:Ignorable attribute and every element and attribute in
    the namespaces it names."""
    ignored = {root.nsmap.get(prefix) for prefix in root.attrib.pop(MC_IGNORABLE, "").split()} - {None}
    for element in list(root.iter()):
        if isinstance(element.tag, str) and etree.QName(element).namespace in ignored:
            element.getparent().remove(element)
            continue
        for name in [n for n in element.attrib if etree.QName(n).namespace in ignored]:
            del element.attrib[name]


def _grammars(names, laid_out):
    for part in names:
        if part in GRAMMARS:
            yield part, grammar(GRAMMARS[part])
        elif laid_out:
            for prefix, start in OTHER_ROOTS.items():
                if part.startswith(prefix) and part.endswith(".xml"):
                    yield part, grammar(MAIN, start)


def schema_errors(data, laid_out=False):
    """{part: first error} for every written part of the package `data` that
    does not validate; empty when all do. With `laid_out`, the settings,
    footers and headers are checked too."""
    errors = {}
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        for part, validator in _grammars(package.namelist(), laid_out):
            root = etree.fromstring(package.read(part))
            # Markup compatibility is processed before validation, as a
            # consuming application does.
            ignore_markup_compatibility(root)
            if not validator.validate(root):
                errors[part] = str(validator.error_log.last_error)
    return errors


def assert_schema_valid(data, laid_out=False):
    errors = schema_errors(data, laid_out)
    assert not errors, errors
