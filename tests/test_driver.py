"""generate() and save(): the document driver."""

import pytest

from helpers import (
    Config, Document, Element, ElementTypes, Quillmark, Template, body_paragraphs, generate, header, official_template,
    paragraph, part_xml, read, title,
)
from tolvek.doc.generator.generate.generators import quillmark


def texts(result):
    return [p.text for p in read(result).paragraphs]


class TestGenerate:
    def test_empty_document_is_a_complete_package(self):
        result = generate([])
        assert result.name == "output.docx" and isinstance(result.data, bytes)
        assert body_paragraphs(result) == []
        doc = read(result)
        assert "Tv正文" in [s.name for s in doc.styles]
        assert part_xml(result, "word/numbering.xml").find("{*}num") is not None

    def test_unknown_types_are_skipped_and_order_is_kept(self):
        elements = [title("一"), Element(ElementTypes.IMAGE, "正文", "skipped"), paragraph("二"), Element("x"),
                    header("三", level=2)]
        assert texts(generate(elements)) == ["一", "二", "三"]

    def test_elements_may_be_a_one_shot_iterator(self):
        result = Quillmark(Config()).generate(Document(iter([paragraph("a"), paragraph("b")])), official_template())
        assert texts(result) == ["a", "b"]

    def test_an_element_without_type_aborts_the_call(self):
        class Typeless:
            style_name = "正文"

        with pytest.raises(AttributeError):
            generate([paragraph("a"), Typeless()])

    def test_calls_are_independent(self):
        q = Quillmark(Config())
        document = Document([paragraph("once")])
        first, second = q.generate(document, official_template()), q.generate(document, official_template())
        assert first is not second
        assert texts(first) == texts(second) == ["once"]

    def test_template_is_required(self):
        with pytest.raises(TypeError):
            Quillmark(Config()).generate(Document([]))


class TestOverrides:
    """Every step is looked up on the object, so subclasses change what generate() does."""

    def test_add_paragraph(self):
        class Upper(Quillmark):
            def add_paragraph(self, doc, element, template):
                doc.add_paragraph(element.text.upper())

        assert texts(generate([paragraph("abc")], generator_class=Upper)) == ["ABC"]

    def test_set_styles_and_init_numbering(self):
        calls = []

        class Recording(Quillmark):
            def _init_numbering(self, doc):
                calls.append("numbering")

            def set_styles(self, doc, template):
                calls.append("styles")

        result = generate([], generator_class=Recording)
        assert calls == ["numbering", "styles"]
        assert "Tv正文" not in [s.name for s in read(result).styles]

    def test_save(self):
        class Fixed(Quillmark):
            def save(self, doc):
                return b"fixed"

        assert generate([], generator_class=Fixed).data == b"fixed"


class TestSave:
    @pytest.fixture
    def stream_returning(self, monkeypatch):
        def install(value):
            class Stream:
                def write(self, data):
                    pass

                def getvalue(self):
                    return value

            monkeypatch.setattr(quillmark, "BytesIO", Stream)
            monkeypatch.setattr(quillmark, "PyDocxDocument", FakeDocument)

        return install

    def test_anything_but_bytes_or_none_is_refused(self, stream_returning):
        stream_returning(bytearray(b"x"))
        with pytest.raises(TypeError, match=r"^Expected bytes, got bytearray$"):
            Quillmark(Config()).save(FakeDocument())

    def test_none_is_accepted(self, stream_returning):
        stream_returning(None)
        assert Quillmark(Config()).save(FakeDocument()) is None


class FakeDocument:
    def save(self, stream):
        stream.write(b"")


def test_an_empty_template_leaves_the_default_styles(generator):
    result = generator.generate(Document([]), Template(styles=[]))
    assert not any(s.name.startswith("Tv") for s in read(result).styles)
