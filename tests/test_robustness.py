"""Robustness: the native generator against the plain-Python one on random
input, characters XML cannot hold, leaks and threads.

QUILLMARK_THOROUGH=1 runs many more cases than the default run in CI.
"""

import gc
import io
import os
import sys
import threading
import zipfile
from pathlib import Path

import docx
import pytest
from docx.enum.style import WD_STYLE_TYPE
from hypothesis import HealthCheck, given, settings, strategies as st

from helpers import (
    AlignmentTypes, Config, Document, Element, ElementTypes, FaithfulQuillmark, Font, ParagraphFormat, Quillmark, Run,
    Style, StyleName, StyleNames, Template, font_faults, frozen_clock, generate, header, official_template, paragraph,
    read,
)

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "bench"))
from reference_generator import PyQuillmark  # noqa: E402
from schema import assert_schema_valid  # noqa: E402

THOROUGH = os.environ.get("QUILLMARK_THOROUGH") == "1"


def parts(result):
    with zipfile.ZipFile(io.BytesIO(result.data)) as package:
        return {name: package.read(name) for name in package.namelist()}


def outcome(generator_class, config, document, template, message=False):
    """The package's parts, or the exception's type (and message)."""
    try:
        result = generator_class(config).generate(document, template)
    except Exception as error:
        return (type(error), str(error)) if message else type(error)
    assert result.name == "output.docx"
    return parts(result)


def package(generator_class, config, items, template, one_shot=False):
    """The package's bytes (the elements given as an iterator with
    `one_shot`, which keeps generate off its package path), or the
    exception's type and message."""
    elements = iter(list(items)) if one_shot else list(items)
    try:
        return generator_class(config).generate(Document(elements), template).data
    except Exception as error:
        return type(error), str(error)


# --- random input -----------------------------------------------------------

ODD_TEXT = st.text(alphabet=st.sampled_from(list(
    "ab z中文[]()🔗&<>\"'\t\n\r\u0301\u200d" "\U0001d518\U0001f600\u3000")), max_size=40)
# Few targets, so that documents repeat them.
URLS = st.sampled_from(["https://a.example/x?a=1&b=2", "u", "http://x.example/🔗", "mailto:a@b.example", "a b",
                        "t\tab"])
LINKS = st.builds(lambda text, url: "[%s](%s)" % (text, url), st.text(alphabet="x 🔗中&<", min_size=1, max_size=8),
                  URLS)
# Texts where a link may start at every "[" and end at none.
BRACKETS = st.text(alphabet=st.sampled_from(list("[]()a\n🔗")), max_size=40)
TEXTS = st.one_of(st.none(), st.just(""), ODD_TEXT, BRACKETS,
                  st.lists(st.one_of(ODD_TEXT, LINKS, BRACKETS), max_size=6).map("".join))
NAMES = ["正文", "Heading 1", "Heading 2", "Title", "Quote Text", "A", "Heading 3", "Strong",
         # the default paragraph and character styles, a lower-case built-in
         # name, names differing only by spaces, a table style
         "Normal", "Default Paragraph Font", "heading 1", "QuoteText", "Quote  Text", "Table Grid",
         # more of the default template's styles, those naming their fonts by
         # theme among them (a table style too)
         "Heading 9", "Subtitle", "Quote", "List Paragraph", "Medium List 2"]
STYLE_NAMES = st.one_of(st.sampled_from(NAMES), st.just('x"y'), st.just(""))
MAYBE_BOOL = st.sampled_from([True, False, None])
# Run settings also of types python-docx accepts or refuses on its own terms.
RUN_SETTING = st.sampled_from([True, False, None, True, False, None, 1, "x"])
RUN_TEXT = st.one_of(st.none(), st.just(""), ODD_TEXT, st.just(5))
LENGTHS = st.sampled_from([None, 0, 12, 10.5, -3, 28])


@st.composite
def styles(draw):
    name = draw(STYLE_NAMES)
    member = next((m for m in StyleNames if m.value == name), None)
    font = Font(draw(st.sampled_from(["宋体", "Arial", "仿宋_GB2312"])),
                draw(st.sampled_from(["000000", "ff0000", "1F3864", "#123456", "12345"])),
                draw(st.sampled_from([16, 10.5, 22, 0.5])), draw(MAYBE_BOOL), draw(MAYBE_BOOL), draw(MAYBE_BOOL))
    p_format = ParagraphFormat(
        alignment=draw(st.sampled_from(list(AlignmentTypes) + ["bogus"])),
        left_indent=draw(LENGTHS), right_indent=draw(LENGTHS), first_line_indent=draw(LENGTHS),
        line_spacing=draw(LENGTHS), space_before=draw(st.sampled_from([None, 0, 6])),
        space_after=draw(st.sampled_from([None, 0, 6, 6, 6, -1])),
        keep_with_next=draw(MAYBE_BOOL), page_break_before=draw(MAYBE_BOOL))
    return Style(member or StyleName(name), font, p_format)


@st.composite
def elements(draw):
    runs = draw(st.one_of(st.none(), st.lists(st.builds(Run, RUN_TEXT, RUN_SETTING, RUN_SETTING, RUN_SETTING),
                                              max_size=3)))
    return Element(draw(st.sampled_from(list(ElementTypes) + ["other"])), draw(st.one_of(st.none(), STYLE_NAMES)),
                   draw(TEXTS), runs, draw(st.sampled_from([1, 2, 3, 2.0, None])))


TEMPLATES = st.one_of(st.just(official_template()), st.lists(styles(), max_size=4).map(lambda s: Template(styles=s)))


@settings(max_examples=1000 if THOROUGH else 250, deadline=None, suppress_health_check=list(HealthCheck))
@given(markdown=st.sampled_from([True, False, None, 1, "true"]), template=TEMPLATES,
       items=st.lists(elements(), max_size=8))
def test_the_three_ways_and_plain_python_agree(markdown, template, items):
    """generate's package path, its direct element path, its faithful path
    and the plain-Python generator give the same package to the last byte
    (zipfile's clock stopped), or fail alike."""
    config = Config(markdown=markdown)
    with frozen_clock():
        native = package(Quillmark, config, items, template)
        assert native == package(Quillmark, config, items, template, one_shot=True)
        assert native == package(FaithfulQuillmark, config, items, template)
        python = package(PyQuillmark, config, items, template)
    assert (native[0] if isinstance(native, tuple) else native) == (
        python[0] if isinstance(python, tuple) else python)
    if isinstance(native, bytes):
        result = generate(items, template, markdown)
        read(result)  # the package opens
        assert_schema_valid(result.data)
        assert font_faults(result.data, template) == []


# Every paragraph style of python-docx's default template, edited in place
# when a template names it, and two names of the template's own.
DEFAULT_PARAGRAPH_STYLES = [s.name for s in docx.Document().styles if s.type == WD_STYLE_TYPE.PARAGRAPH]
FONT_NAMES = st.one_of(st.sampled_from(["宋体", "Arial", "仿宋_GB2312", "方正小标宋简体"]),
                       st.text(alphabet="黑体 A&<\"'", min_size=1, max_size=6))


@st.composite
def valid_templates(draw):
    names = draw(st.lists(st.sampled_from(DEFAULT_PARAGRAPH_STYLES + ["正文", "A"]), min_size=1, max_size=8,
                          unique=True))
    return Template(styles=[
        Style(next((m for m in StyleNames if m.value == name), None) or StyleName(name),
              Font(draw(FONT_NAMES), draw(st.sampled_from(["000000", "1f3864"])), draw(st.sampled_from([16, 10.5])),
                   draw(MAYBE_BOOL), draw(MAYBE_BOOL), draw(MAYBE_BOOL)),
              ParagraphFormat(alignment=draw(st.sampled_from(list(AlignmentTypes)))))
        for name in names])


@settings(max_examples=300 if THOROUGH else 40, deadline=None, suppress_health_check=list(HealthCheck))
@given(template=valid_templates(), data=st.data())
def test_templates_naming_default_styles_show_their_fonts(template, data):
    """Templates that register: on every way and in plain Python the same
    package, in which each template style names the template's font with no
    theme reference over it."""
    names = [item.name.value for item in template.styles]
    items = [Element(data.draw(st.sampled_from([ElementTypes.TITLE, ElementTypes.HEADER, ElementTypes.PARAGRAPH])),
                     data.draw(st.sampled_from(names)), "文字 [链接](u)", level=1) for _ in range(3)]
    config = Config(markdown=True)
    with frozen_clock():
        native = package(Quillmark, config, items, template)
        assert isinstance(native, bytes), native
        assert native == package(Quillmark, config, items, template, one_shot=True)
        assert native == package(FaithfulQuillmark, config, items, template)
        assert native == package(PyQuillmark, config, items, template)
    assert font_faults(native, template) == []
    assert_schema_valid(native)


@pytest.mark.parametrize("text", [
    "长" * 200000,
    " ".join("[link %d🔗](https://a.example/%d)" % (i, i) for i in range(3000)),
    "(" * 500 + "[" * 500 + "]" * 500 + ")" * 500,
])
def test_large_texts_agree(text):
    document = Document([paragraph(text)])
    native = outcome(Quillmark, Config(markdown=True), document, official_template())
    assert isinstance(native, dict)
    assert native == outcome(PyQuillmark, Config(markdown=True), document, official_template())


@pytest.mark.parametrize("bad", ["\x00", "\x0b", "a\ufffeb", "\ud800"])
@pytest.mark.parametrize("place", ["text", "link text", "link target", "run", "style name"])
def test_characters_xml_cannot_hold_end_in_an_exception(bad, place):
    items = {
        "text": [paragraph("x" + bad)],
        "link text": [paragraph("[a%s](u)" % bad)],
        "link target": [paragraph("[a](u%s)" % bad)],
        "run": [paragraph(runs=[Run(bad)])],
        "style name": [paragraph("x")],
    }[place]
    template = Template(styles=[Style(StyleName(bad), Font("f", "000000", 10))]) if place == "style name" else None
    with pytest.raises((ValueError, UnicodeError)):
        generate(items, template)


# --- leaks ------------------------------------------------------------------

class Broken:
    """An element that fails deep inside the generator, after runs were written."""
    type, style_name, level = ElementTypes.PARAGRAPH, "正文", None
    runs = [Run("ok"), object()]


def test_inputs_keep_their_reference_counts():
    def fresh(text):
        return "".join(list(text))  # a string no other code shares

    config, template = Config(markdown=True), official_template()
    for item in template.styles:
        item.font.name, item.font.color = fresh(item.font.name), fresh(item.font.color)
    good = Document([paragraph(fresh("a [b](c) d")), paragraph(runs=[Run(fresh("r"), bold=True)])])
    bad = Document([paragraph(fresh("x")), Broken()])
    q = Quillmark(config)
    watched = [config, template, good, bad, good.elements, bad.elements, Broken.runs] + Broken.runs
    for element in good.elements:
        watched += [element, element.text, element.runs] + (element.runs or [])
    for item in template.styles:
        watched += [item, item.font, item.p_format, item.font.name, item.font.color]
    watched = [o for o in watched if o is not None]
    gc.collect()
    before = [sys.getrefcount(o) for o in watched]
    for _ in range(50):
        q.generate(good, template)
        with pytest.raises(AttributeError):
            q.generate(bad, template)
    gc.collect()
    assert [sys.getrefcount(o) for o in watched] == before


@pytest.mark.skipif(sys.getallocatedblocks() == 0, reason="Python's allocator is bypassed (PYTHONMALLOC=malloc)")
def test_memory_stays_flat_over_many_calls():
    # One style keeps each call cheap, so that many calls fit in the run.
    q, template = Quillmark(Config(markdown=True)), Template(styles=[official_template().styles[-1]])
    good = Document([paragraph("a [b](c) d"), paragraph(runs=[Run("r", bold=True)]), header("z", 1, "正文")])
    bad = Document([paragraph("x"), Broken()])

    def cycle(n):
        for _ in range(n):
            q.generate(good, template)
            try:
                q.generate(bad, template)
            except AttributeError:
                pass
        gc.collect()
        return sys.getallocatedblocks()

    per_mark = 300 if THOROUGH else 100
    cycle(200)  # until the interpreter's free lists and caches are mostly full
    marks = [cycle(per_mark) for _ in range(8)]
    # Free lists and caches make the count swing by about a hundred blocks and
    # creep up while they fill; the minimum of each window removes the swings.
    # A leak of one small object per call adds at least 3 * per_mark blocks
    # between the two windows.
    growth = min(marks[-3:]) - min(marks[:3])
    assert growth < 2.5 * per_mark, marks


# --- threads ----------------------------------------------------------------

def test_threads_give_the_same_packages_as_one_thread():
    items = [paragraph("t%d [l](https://a.example/%d)" % (i, i)) for i in range(30)]
    expected = parts(generate(items))
    results, errors = [], []

    def work():
        try:
            for _ in range(3):
                results.append(parts(generate(items)))
        except Exception as error:  # pragma: no cover - reported below
            errors.append(error)

    threads = [threading.Thread(target=work) for _ in range(4)]
    old = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)  # switch threads as often as possible
    try:
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(old)
    assert errors == [] and len(results) == 12
    assert all(r == expected for r in results)
