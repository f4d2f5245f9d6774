"""Template styles registered as paragraph and "Tv" character styles, with their
font and paragraph settings."""

from pathlib import Path

import docx
import pytest
from docx.enum.text import WD_ALIGN_PARAGRAPH
from docx.shared import Pt
from lxml import etree
from quillmark_cli.input.loading import load_input

from helpers import (
    AlignmentTypes, Config, ParagraphFormat, Quillmark, Style, StyleNames, Template, default_styles_template,
    font_faults, generate, read, style, w,
)

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"


@pytest.fixture
def doc():
    return docx.Document()


def register(doc, *styles):
    Quillmark(Config()).set_styles(doc, Template(styles=list(styles)))
    return doc


def rpr_tags(doc_style):
    return [(child.tag.split("}")[1], child.get(w("val"))) for child in doc_style._element.rPr]


class TestRegistration:
    def test_each_style_gives_a_paragraph_and_a_character_style_in_order(self, doc):
        before = len(doc.styles._element.style_lst)
        register(doc, style("A"), style("B"))
        added = [(s.name, s.type) for s in list(doc.styles)[before:]]
        assert [(name, int(kind)) for name, kind in added] == [("A", 1), ("TvA", 2), ("B", 1), ("TvB", 2)]

    def test_a_default_style_is_edited_in_place(self, doc):
        register(doc, style(StyleNames.HEADING_1, "黑体", size=18))
        headings = [s for s in doc.styles if s.name == "Heading 1"]
        assert len(headings) == 1 and headings[0].font.name == "黑体" and headings[0].font.size == Pt(18)
        assert doc.styles["TvHeading 1"].style_id == "TvHeading1"

    def test_the_character_style_has_the_same_font_and_no_paragraph_settings(self, doc):
        register(doc, style("正文", "仿宋", "1F2F3F", 15, bold=True, italic=True, underline=True, left_indent=10))
        paragraph_style, character_style = doc.styles["正文"], doc.styles["Tv正文"]
        assert rpr_tags(paragraph_style) == rpr_tags(character_style)
        assert character_style._element.pPr is None

    def test_a_repeated_name_fails_at_its_character_style(self, doc):
        with pytest.raises(ValueError, match="document already contains style 'TvA'"):
            register(doc, style("A", size=10), style("B"), style("A", size=12))
        assert doc.styles["A"].font.size == Pt(12)  # the second occurrence was applied first
        assert "TvB" in doc.styles

    def test_a_name_with_a_double_quote_is_refused_before_touching_the_document(self, doc):
        count = len(doc.styles._element.style_lst)
        bad = 'x" or "1"="1'
        with pytest.raises(ValueError, match="x\" or") as raised:
            register(doc, style("A"), style(bad, size=30))
        assert "'\"'" in str(raised.value)
        assert len(doc.styles._element.style_lst) == count + 2  # A and TvA only
        assert all(s.font.size != Pt(30) for s in doc.styles if s.type == 1)

    @pytest.mark.parametrize("names, refused, kind, identifier, holder", [
        (["BodyText"], "BodyText", "paragraph", "BodyText", "Body Text"),
        (["Heading1"], "Heading1", "paragraph", "Heading1", "heading 1"),
        (["A B", "AB"], "AB", "paragraph", "AB", "A B"),
        (["Tv A", "A"], "A", "character", "TvA", "Tv A"),
    ])
    def test_a_clashing_identifier_is_refused_before_touching_the_document(self, doc, names, refused, kind,
                                                                           identifier, holder):
        before = [s.style_id for s in doc.styles]
        with pytest.raises(ValueError) as raised:
            register(doc, *[style(name) for name in names])
        message = str(raised.value)
        assert message.startswith("template style %r cannot be registered: its %s style" % (refused, kind))
        assert "identifier %r, which style %r already holds" % (identifier, holder) in message
        added = [s.style_id for s in doc.styles][len(before):]
        expected = [x for name in names[:-1] for x in (name.replace(" ", ""), "Tv" + name.replace(" ", ""))]
        assert added == expected  # the styles before it, and nothing of the refused one

    @pytest.mark.parametrize("name", ["   ", ""])
    def test_a_name_that_gives_an_empty_identifier_is_refused(self, doc, name):
        with pytest.raises(ValueError, match="would get an empty identifier"):
            register(doc, style(name))

    def test_a_default_style_name_is_still_edited_in_place(self, doc):
        register(doc, style(StyleNames.HEADING_1, size=20))
        assert doc.styles["Heading 1"].font.size == Pt(20)
        assert [s.style_id for s in doc.styles].count("Heading1") == 1

    def test_a_name_held_by_a_character_style_fails_at_the_paragraph_format(self, doc):
        with pytest.raises(AttributeError):
            register(doc, style("Strong"))


class TestFontStyle:
    def test_fonts_color_size_and_emphasis(self, doc):
        register(doc, style("S", "方正仿宋", "ff0000", 10.5, italic=True, underline=True))
        s = doc.styles["S"]
        assert s.font.name == "方正仿宋"
        assert s._element.rPr.rFonts.get(w("eastAsia")) == "方正仿宋"
        assert str(s.font.color.rgb) == "FF0000"
        assert s.font.size == Pt(10.5) and s._element.rPr.sz.get(w("val")) == "21"
        assert (s.font.bold, s.font.italic, s.font.underline) == (None, True, True)

    @pytest.mark.parametrize("bold", [True, 1])
    def test_bold_is_one_explicit_element_at_its_schema_place(self, doc, bold):
        register(doc, style("S", bold=bold))
        for name in ("S", "TvS"):
            tags = rpr_tags(doc.styles[name])
            assert [tag for tag in tags if tag[0] == "b"] == [("b", "true")]
            order = [tag for tag, _ in tags]
            assert order.index("b") < order.index("color") < order.index("sz")

    def test_bold_false_or_none_adds_no_element(self, doc):
        register(doc, style("F", bold=False), style("N", bold=None))
        assert [tag for tag in rpr_tags(doc.styles["F"]) if tag[0] == "b"] == [("b", "0")]
        assert [tag for tag in rpr_tags(doc.styles["N"]) if tag[0] == "b"] == []

    def test_a_bold_default_style_keeps_one_bold_element(self, doc):
        register(doc, style(StyleNames.HEADING_1, bold=True))
        assert [tag for tag in rpr_tags(doc.styles["Heading 1"]) if tag[0] == "b"] == [("b", "true")]

    def test_none_clears_what_a_reused_style_had(self, doc):
        doc.styles["Title"].font.italic = True
        doc.styles["Title"].font.underline = True
        register(doc, style(StyleNames.TITLE))
        title = doc.styles["Title"]
        assert (title.font.italic, title.font.underline) == (None, None)

    def test_named_fonts_replace_the_default_styles_theme_references(self):
        """Every paragraph style of the default template named by the
        template: each names the template's font, with no theme reference
        left that a reader would take instead. The complex-script reference
        stays, and the styles the template does not name stay as the default
        template has them."""
        template = default_styles_template()
        data = generate([], template).data
        assert font_faults(data, template) == []
        result, default = read(generate([], template)), docx.Document()
        font = next(item.font.name for item in template.styles if item.name.value == "Heading 1")
        heading = dict(result.styles["Heading 1"].element.rPr.rFonts.attrib)
        assert heading == {w("cstheme"): "majorBidi", w("ascii"): font, w("hAnsi"): font, w("eastAsia"): font}
        named = {item.name.value for item in template.styles}
        untouched = [s for s in default.styles if s.name not in named]
        assert {"Heading 1 Char", "Title Char", "Medium List 2"} <= {s.name for s in untouched}
        for s in untouched:
            assert etree.tostring(result.styles.element.get_by_id(s.style_id)) == etree.tostring(s.element)

    def test_a_name_that_fails_leaves_the_theme_references(self, doc):
        """The theme references go only once all three names are written: a
        name that is text for the Latin fonts and not for the East Asian one
        fails with the references still there."""
        class ChangingFont:
            color, size, bold, italic, underline = "000000", 16, None, None, None
            reads = 0

            @property
            def name(self):
                self.reads += 1
                return "黑体" if self.reads == 1 else 5

        with pytest.raises(TypeError):
            register(doc, Style(StyleNames.HEADING_1, ChangingFont(), ParagraphFormat()))
        fonts = doc.styles["Heading 1"].element.rPr.rFonts
        assert (fonts.get(w("ascii")), fonts.get(w("asciiTheme")), fonts.get(w("eastAsiaTheme"))) == (
            "黑体", "majorHAnsi", "majorEastAsia")

    @pytest.mark.parametrize("font, error", [
        (dict(color="#FF0000"), ValueError), (dict(color="F00"), ValueError), (dict(size=None), TypeError),
    ])
    def test_invalid_fonts_fail(self, doc, font, error):
        with pytest.raises(error):
            register(doc, style("S", **font))


class TestParagraphFormat:
    def test_absent_lengths_are_explicit_zeros_and_line_spacing_is_exact(self, doc):
        register(doc, style("S"))
        pf = doc.styles["S"].paragraph_format
        assert (pf.left_indent, pf.right_indent, pf.first_line_indent) == (0, 0, 0)
        assert (pf.space_before, pf.space_after, pf.line_spacing) == (0, 0, 0)
        spacing = doc.styles["S"]._element.pPr.spacing
        assert (spacing.get(w("line")), spacing.get(w("lineRule"))) == ("0", "exact")

    def test_values_go_through_points(self, doc):
        register(doc, style("S", alignment=AlignmentTypes.JUSTIFY, left_indent=2, right_indent=-3,
                            first_line_indent=-32, line_spacing=1.5, space_before=6, space_after=12))
        pf = doc.styles["S"].paragraph_format
        assert pf.alignment == WD_ALIGN_PARAGRAPH.JUSTIFY
        assert (pf.left_indent, pf.right_indent, pf.first_line_indent) == (Pt(2), Pt(-3), Pt(-32))
        assert (pf.line_spacing, pf.space_before, pf.space_after) == (Pt(1.5), Pt(6), Pt(12))

    def test_flags_pass_through_and_none_clears(self, doc):
        assert doc.styles["Heading 1"].paragraph_format.keep_with_next is True
        register(doc, style(StyleNames.HEADING_1, keep_with_next=None, page_break_before=True),
                 style("K", alignment=AlignmentTypes.CENTER, keep_with_next=False))
        assert doc.styles["Heading 1"].paragraph_format.keep_with_next is None
        assert doc.styles["Heading 1"].paragraph_format.page_break_before is True
        k = doc.styles["K"]
        assert k.paragraph_format.keep_with_next is False and k._element.pPr.keepNext.get(w("val")) == "0"
        assert k.paragraph_format.alignment == WD_ALIGN_PARAGRAPH.CENTER

    def test_an_unknown_alignment_fails_before_any_setting(self, doc):
        with pytest.raises(KeyError):
            register(doc, style("S", alignment="middle", left_indent=5))
        assert doc.styles["S"]._element.pPr is None
        assert "TvS" not in doc.styles

    def test_a_negative_spacing_is_refused_by_the_library(self, doc):
        with pytest.raises(ValueError):
            register(doc, style("S", space_after=-1))


def test_a_five_style_template_opens_with_ten_styles_and_the_numbering():
    template = Template(styles=[
        style(StyleNames.TITLE, "方正小标宋简体", size=22, bold=True, alignment=AlignmentTypes.CENTER),
        style(StyleNames.HEADING_1, "黑体"), style(StyleNames.HEADING_2, "楷体"),
        style(StyleNames.TEXT, first_line_indent=32), style("Quote Text", italic=True),
    ])
    result = read(generate([], template))
    names = {s.name for s in result.styles}
    expected = {"Title", "Heading 1", "Heading 2", "正文", "Quote Text"}
    assert expected | {"Tv" + n for n in expected} <= names
    assert result.styles["TvQuote Text"].style_id == "TvQuoteText"
    assert len(result.part.numbering_part.element.xpath("./w:num")) == 1


@pytest.mark.parametrize("name", ["default.json", "english.json", "notice.json"])
def test_the_examples_show_their_template_fonts(name):
    config, document, template = load_input(EXAMPLES / name)[:3]
    assert font_faults(Quillmark(config).generate(document, template).data, template) == []
