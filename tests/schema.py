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


@functools.lru_cache(maxsize=None)
def grammar(name):
    return etree.RelaxNG(etree.parse(str(SCHEMAS / name)))


def schema_errors(data):
    """{part: first error} for every written part of the package `data` that
    does not validate; empty when all do."""
    errors = {}
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        for part, name in GRAMMARS.items():
            root = etree.fromstring(package.read(part))
            # Markup compatibility is processed before validation, as a
            # consuming application does.
            root.attrib.pop(MC_IGNORABLE, None)
            validator = grammar(name)
            if not validator.validate(root):
                errors[part] = str(validator.error_log.last_error)
    return errors


def assert_schema_valid(data):
    errors = schema_errors(data)
    assert not errors, errors
