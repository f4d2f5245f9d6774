"""Paragraph content: text runs, Markdown links as hyperlinks, rich runs, and
how add_paragraph picks style, numbering and bold."""

import io
import random
import re
import zipfile
from types import SimpleNamespace

import pytest

import tolvek.doc.generator.generate.generators.quillmark as quillmark_module
from helpers import (
    Config, Element, ElementTypes, Quillmark, R, Run, StyleNames, Template, generate, header, official_template,
    paragraph, style, w,
)


def package_parts(data):
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        return {name: package.read(name) for name in package.namelist()}

HYPERLINK = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink"


def children(p):
    """The paragraph's runs and hyperlinks as (kind, text) in order."""
    out = []
    for child in p._p:
        if child.tag == w("r"):
            out.append(("run", "".join(t.text or "" for t in child.iter(w("t")))))
        elif child.tag == w("hyperlink"):
            out.append(("link", "".join(t.text or "" for t in child.iter(w("t")))))
    return out


def run_style(r):
    rpr = r.find(w("rPr"))
    node = None if rpr is None else rpr.find(w("rStyle"))
    return None if node is None else node.get(w("val"))


def bold_of(r):
    rpr = r.find(w("rPr"))
    node = None if rpr is None else rpr.find(w("b"))
    return None if node is None else node.get(w("val"), "on")


def targets(p):
    rels = p.part.rels
    return [(rels[h.get("{%s}id" % R)].target_ref, rels[h.get("{%s}id" % R)].is_external)
            for h in p._p.iter(w("hyperlink"))]


def write(blank, text, markdown=True, style_name="正文", bold=False):
    p = blank.add_paragraph(style=style_name)
    Quillmark(Config(markdown=markdown))._add_text_content(p, text, style_name, bold)
    return p


class TestTextAndLinks:
    def test_text_link_text_keeps_spaces_style_and_bold(self, blank):
        p = write(blank, "见 [官网](https://a.example/x?a=1&b=2) 说明", bold=True)
        assert children(p) == [("run", "见 "), ("link", "官网"), ("run", " 说明")]
        runs = p._p.findall(w("r"))
        assert [run_style(r) for r in runs] == ["Tv正文", "Tv正文"]
        assert [bold_of(r) for r in runs] == ["on", "on"]
        assert targets(p) == [("https://a.example/x?a=1&b=2", True)]
        assert [h.text for h in p.runs] == ["见 ", " 说明"]

    @pytest.mark.parametrize("text, expected", [
        ("[a](u)", [("link", "a")]),
        ("[a](u)[b](v)", [("link", "a"), ("link", "b")]),
        ("x [](u) and [a]() y", [("run", "x [](u) and [a]() y")]),
        ("[x](y(z))", [("link", "x"), ("run", ")")]),
        ("no link [here] (there)", [("run", "no link [here] (there)")]),
    ])
    def test_link_boundaries(self, blank, text, expected):
        assert children(write(blank, text)) == expected

    def test_a_target_ends_at_its_first_closing_parenthesis(self, blank):
        assert targets(write(blank, "[x](y(z))")) == [("y(z", True)]

    @pytest.mark.parametrize("markdown", [False, None, 1, "true"])
    def test_only_true_itself_turns_conversion_on(self, blank, markdown):
        p = write(blank, "a [b](c) d", markdown=markdown)
        assert children(p) == [("run", "a [b](c) d")]
        assert targets(p) == []

    def test_the_link_symbol_is_replaced_in_the_text_only(self, blank):
        p = write(blank, "[a🔗b🔗](https://x.example/🔗)")
        assert children(p) == [("link", "a(查看原文)b(查看原文)")]
        assert targets(p) == [("https://x.example/🔗", True)]

    def test_empty_text_gives_one_styled_run_without_text(self, blank):
        p = write(blank, "")
        assert [run_style(r) for r in p._p.findall(w("r"))] == ["Tv正文"]
        assert children(p) == [("run", "")]

    def test_links_are_found_as_the_pattern_finds_them(self, monkeypatch):
        """The linear scan gives what the regular expression's own matches
        give, on bracket-heavy texts; a pattern object that is not exactly
        re's is asked as before."""
        class OwnPattern:
            def __init__(self, pattern):
                self.search, self.finditer = pattern.search, pattern.finditer

        chance = random.Random(9704)
        texts = ["".join(chance.choice("[]()a\n🔗") for _ in range(chance.randrange(24))) for _ in range(400)]
        texts += ["[" * 3000 + "](x)", "[a](" * 500 + ")", "[a]" * 500 + "(b)"]
        elements = [paragraph(text) for text in texts]
        scanned = generate(elements).data
        monkeypatch.setattr(quillmark_module, "re", SimpleNamespace(compile=lambda s: OwnPattern(re.compile(s))))
        assert package_parts(generate(elements).data) == package_parts(scanned)

    def test_a_missing_markdown_setting_fails_before_writing(self, blank):
        p = blank.add_paragraph()
        with pytest.raises(AttributeError):
            Quillmark(object())._add_text_content(p, "x", "正文", False)
        assert children(p) == []


class TestHyperlink:
    def link(self, blank, text="t", style_name="正文", **kwargs):
        p = blank.add_paragraph()
        Quillmark(Config())._add_hyperlink(p, "https://a.example", text, style_name, **kwargs)
        return p._p.find(w("hyperlink"))

    @pytest.mark.parametrize("bold, properties", [
        (True, ["rStyle", "b", "color", "u"]), (False, ["rStyle", "color", "u"]), (None, ["rStyle", "color", "u"]),
    ])
    def test_run_properties(self, blank, bold, properties):
        rpr = self.link(blank, bold=bold).find("%s/%s" % (w("r"), w("rPr")))
        assert [c.tag.split("}")[1] for c in rpr] == properties
        assert [(c.tag.split("}")[1], c.get(w("val"))) for c in rpr][-2:] == [("color", "0000FF"), ("u", "single")]
        if bold:
            assert rpr.find(w("b")).get(w("val")) == "true"

    def test_structure_and_relationship(self, blank):
        hyperlink = self.link(blank)
        assert list(hyperlink.attrib) == ["{%s}id" % R]
        assert [c.tag for c in hyperlink] == [w("r")]
        assert [c.tag for c in hyperlink[0]] == [w("rPr"), w("t")]
        rel = blank.part.rels[hyperlink.get("{%s}id" % R)]
        assert (rel.reltype, rel.target_ref, rel.is_external) == (HYPERLINK, "https://a.example", True)

    def test_an_empty_style_name_gives_tv(self, blank):
        assert self.link(blank, style_name="").find(".//" + w("rStyle")).get(w("val")) == "Tv"

    def test_links_come_after_existing_runs_in_call_order(self, blank):
        p = blank.add_paragraph("before")
        q = Quillmark(Config())
        q._add_hyperlink(p, "u1", "one", "正文")
        q._add_hyperlink(p, "u2", "two", "正文")
        assert children(p) == [("run", "before"), ("link", "one"), ("link", "two")]

    @pytest.mark.parametrize("args, message", [
        ((None, "t", "s"), "Argument 'url' has incorrect type (expected str, got NoneType)"),
        (("u", type("Text", (str,), {})("t"), "s"), "Argument 'text' has incorrect type (expected str, got Text)"),
        (("u", "t", 1), "Argument 'style_name' has incorrect type (expected str, got int)"),
    ])
    def test_type_errors_change_nothing(self, blank, args, message):
        p = blank.add_paragraph()
        rels = len(blank.part.rels)
        with pytest.raises(TypeError) as raised:
            Quillmark(Config())._add_hyperlink(p, *args)
        assert str(raised.value) == message
        assert children(p) == [] and len(blank.part.rels) == rels


class TestMendedFaults:
    def test_a_style_name_with_spaces_refers_to_the_registered_identifier(self, blank):
        Quillmark(Config()).set_styles(blank, Template(styles=[style("Quote Text")]))
        p = write(blank, "a [b](c)", style_name="Quote Text")
        link_style = p._p.find(".//%s/%s/%s" % (w("hyperlink"), w("r"), w("rPr"))).find(w("rStyle")).get(w("val"))
        assert link_style == blank.styles["TvQuote Text"].style_id == "TvQuoteText"
        assert run_style(p._p.find(w("r"))) == "TvQuoteText"

    @pytest.mark.parametrize("text, preserved", [(" a", True), ("a ", True), ("a b", False), ("a", False)])
    def test_outer_white_space_of_a_link_text_is_preserved(self, blank, text, preserved):
        p = write(blank, "[%s](u)" % text)
        t = p._p.find(".//" + w("t"))
        space = "{http://www.w3.org/XML/1998/namespace}space"
        assert dict(t.attrib) == ({space: "preserve"} if preserved else {})

    def test_a_header_with_level_none_is_not_numbered(self, generator, blank):
        generator.add_paragraph(blank, header("h", level=None), official_template())
        assert blank.paragraphs[-1]._p.pPr.numPr is None


class TestRichRuns:
    def test_each_item_becomes_a_run_without_character_style(self, generator, blank):
        p = blank.add_paragraph()
        generator._add_runs(p, [Run("a", bold=True), Run("b", italic=True, underline=True), Run("c", bold=False)])
        runs = p.runs
        assert [r.text for r in runs] == ["a", "b", "c"]
        assert [(r.bold, r.italic, r.underline) for r in runs] == [
            (True, None, None), (None, True, True), (False, None, None)]
        assert [run_style(r._r) for r in runs] == [None, None, None]

    @pytest.mark.parametrize("runs, type_name", [((Run("a"),), "tuple"), (None, "NoneType")])
    def test_only_a_list_is_accepted(self, generator, blank, runs, type_name):
        p = blank.add_paragraph()
        with pytest.raises(TypeError, match=r"^Argument 'runs' has incorrect type \(expected list, got %s\)$" % type_name):
            generator._add_runs(p, runs)
        assert p.runs == []

    def test_a_value_the_library_refuses_raises(self, generator, blank):
        with pytest.raises(ValueError):
            generator._add_runs(blank.add_paragraph(), [Run("a", underline="wavy-ish")])


def numbering(p):
    num_pr = p._p.pPr.numPr if p._p.pPr is not None else None
    if num_pr is None:
        return None
    ilvl = num_pr.ilvl
    return (None if ilvl is None else ilvl.val, num_pr.numId.val)


class TestAddParagraph:
    def add(self, generator, blank, element, template=None):
        generator.add_paragraph(blank, element, template or official_template())
        return blank.paragraphs[-1]

    @pytest.mark.parametrize("level, expected", [(1, (0, 1)), (2, None), (2.0, None), (3, (2, 1)), (None, None)])
    def test_header_numbering_by_level(self, generator, blank, level, expected):
        assert numbering(self.add(generator, blank, header("h", level))) == expected

    def test_a_header_without_level_and_a_paragraph_with_one_are_not_numbered(self, generator, blank):
        class Bare:
            type, style_name, text = ElementTypes.HEADER, "Heading 1", "h"

        assert numbering(self.add(generator, blank, Bare())) is None
        assert numbering(self.add(generator, blank, Element(ElementTypes.PARAGRAPH, "正文", "p", level=1))) is None

    def test_a_fractional_level_is_refused_after_the_list_reference(self, generator, blank):
        with pytest.raises((TypeError, ValueError)):
            self.add(generator, blank, header("h", 1.0))
        assert blank.paragraphs[-1]._p.pPr.numPr.numId.val == 1

    @pytest.mark.parametrize("style_name, expected", [
        ("Heading 1", "Heading 1"), ("Heading 3", "正文"), (None, "正文"), ("Nowhere", "正文"),
    ])
    def test_style_resolution(self, generator, blank, style_name, expected):
        assert self.add(generator, blank, paragraph("x", style_name)).style.name == expected

    def test_a_template_style_missing_from_the_document_falls_back(self, generator, blank):
        template = Template(styles=official_template().styles + [style("Only In Template")])
        assert self.add(generator, blank, paragraph("x", "Only In Template"), template).style.name == "正文"

    def test_bold_comes_from_the_first_template_style_of_that_name(self, generator, blank):
        template = Template(styles=[style(StyleNames.TEXT, bold=True), style(StyleNames.TEXT, bold=False)])
        p = self.add(generator, blank, paragraph("x"), template)
        assert p.runs[0].bold is True

    def test_runs_win_over_text_unless_empty(self, generator, blank):
        assert self.add(generator, blank, paragraph("text", runs=[Run("rich")])).text == "rich"
        assert self.add(generator, blank, paragraph("text", runs=[])).text == "text"

    def test_neither_runs_nor_text_gives_an_empty_styled_paragraph(self, generator, blank):
        class Empty:
            type, style_name, level = ElementTypes.HEADER, "Heading 1", 1

        p = self.add(generator, blank, Empty())
        assert (p.text, p.style.name, numbering(p), len(p._p)) == ("", "Heading 1", (0, 1), 1)

    def test_only_an_attribute_error_on_text_means_no_text(self, generator, blank):
        class Failing:
            type, style_name = ElementTypes.PARAGRAPH, "正文"

            @property
            def text(self):
                raise KeyError("text")

        with pytest.raises(KeyError):
            self.add(generator, blank, Failing())
