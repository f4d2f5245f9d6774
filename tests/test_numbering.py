"""The outline numbering scheme that replaces the default template's lists."""

import docx
import pytest

from helpers import Config, Quillmark, W, generate, part_xml, w


def attributes(element):
    return {k.replace("{%s}" % W, "w:"): v for k, v in element.attrib.items()}


def outline(element):
    """An element as (tag, attributes, children), recursively."""
    return (element.tag.replace("{%s}" % W, "w:"), attributes(element), [outline(c) for c in element])


def level(ilvl, text, p_style):
    # Children in the schema's sequence for a level.
    return ("w:lvl", {"w:ilvl": ilvl}, [
        ("w:start", {"w:val": "1"}, []),
        ("w:numFmt", {"w:val": "chineseCountingThousand"}, []),
        ("w:pStyle", {"w:val": p_style}, []),
        ("w:lvlText", {"w:val": text}, []),
    ])


EXPECTED_ABSTRACT = ("w:abstractNum", {"w:abstractNumId": "1"}, [
    level("0", "%1\u3001", "Heading1"), level("1", "\uff08%1\uff09", "Heading2")])
EXPECTED_NUM = ("w:num", {"w:numId": "1"}, [("w:abstractNumId", {"w:val": "1"}, [])])


def definitions(root):
    return list(root.iter(w("abstractNum"), w("num")))


def test_generated_package_has_exactly_the_outline_scheme():
    root = part_xml(generate([]), "word/numbering.xml")
    assert [outline(e) for e in definitions(root)] == [EXPECTED_ABSTRACT, EXPECTED_NUM]
    assert [outline(e) for e in root[-2:]] == [EXPECTED_ABSTRACT, EXPECTED_NUM]


def test_running_twice_leaves_one_definition_of_each():
    doc = docx.Document()
    q = Quillmark(Config())
    q._init_numbering(doc)
    q._init_numbering(doc)
    root = doc.part.numbering_part.element
    assert [outline(e) for e in definitions(root)] == [EXPECTED_ABSTRACT, EXPECTED_NUM]


def test_other_children_of_the_root_stay_in_front():
    doc = docx.Document()
    root = doc.part.numbering_part.element
    for child in definitions(root):
        root.remove(child)
    other = root.makeelement(w("numIdMacAtCleanup"), {w("val"): "0"})
    root.append(other)
    Quillmark(Config())._init_numbering(doc)
    assert [outline(e) for e in root] == [outline(other), EXPECTED_ABSTRACT, EXPECTED_NUM]


def test_an_unreadable_numbering_part_raises_the_reads_error_and_attaches_nothing():
    error = OSError("numbering part unavailable")
    reads = []

    class Part:
        @property
        def numbering_part(self):
            reads.append(1)
            raise error

    class Doc:
        part = Part()

    with pytest.raises(OSError) as raised:
        Quillmark(Config())._init_numbering(Doc())
    assert raised.value is error
    assert len(reads) == 2  # the presence test, then the unprotected read
