"""generate's direct path: byte-identical to the faithful path, and left for
the faithful path whenever an override, a replaced python-docx function, a
document subclass or an uncovered release could tell the difference."""

import io
import subprocess
import sys
import tracemalloc
import zipfile
from contextlib import contextmanager

import docx
import docx.blkcntnr
import docx.opc.constants
import docx.opc.part
import docx.text.paragraph
import pytest

import tolvek.doc.generator.generate.generators.quillmark as quillmark_module
from helpers import (
    Config, Document, Element, ElementTypes, FaithfulQuillmark, Quillmark, Run, Template, header, official_template,
    paragraph, style, title,
)


def parts(result):
    with zipfile.ZipFile(io.BytesIO(result.data)) as package:
        return {name: package.read(name) for name in package.namelist()}


def notice(size=40):
    """Titles, numbered headers, repeated and distinct links, tabs and line
    breaks, rich runs and default-style paragraphs."""
    items = [title("通知")]
    for i in range(size):
        items += [
            header("第%d部分" % i, 1 + i % 3),
            paragraph("见[附件🔗](https://a.example/%d)和[规则](https://a.example/rules)。\t第二行\n第三行\r" % i),
            paragraph(runs=[Run("加粗", bold=True), Run(" 斜体\t", italic=True, underline=True), Run(None)]),
            paragraph("正文 %d" % i, style_name="Normal"),
            paragraph("[ 两端空格 ](u%d)" % (i % 3), style_name="Heading 2"),
        ]
    return items


def both(items, template=None, markdown=True):
    template = official_template() if template is None else template
    document = Document(items)
    direct = parts(Quillmark(Config(markdown=markdown)).generate(document, template))
    faithful = parts(FaithfulQuillmark(Config(markdown=markdown)).generate(document, template))
    return direct, faithful


@contextmanager
def calls_to(function):
    """Counts the calls of a Python function without replacing it (replacing
    it would itself turn the direct path off)."""
    code, count = function.__code__, [0]

    def profile(frame, event, _arg):
        if event == "call" and frame.f_code is code:
            count[0] += 1

    sys.setprofile(profile)
    try:
        yield count
    finally:
        sys.setprofile(None)


def test_the_notice_is_identical_on_both_paths():
    direct, faithful = both(notice())
    assert direct == faithful


def test_one_generator_shares_nothing_between_calls():
    q = Quillmark(Config(markdown=True))
    first_template = official_template()
    second_template = Template(styles=[style("正文", bold=True), style("Heading 1", size=30)])
    items = notice(3)
    q.generate(Document(items), first_template)
    again = parts(q.generate(Document(items), second_template))
    assert again == parts(FaithfulQuillmark(Config(markdown=True)).generate(Document(items), second_template))


def test_the_direct_path_skips_python_docx_high_level_paragraphs():
    """The guard tests below are only meaningful if the two paths differ."""
    add_paragraph = docx.blkcntnr.BlockItemContainer.add_paragraph
    with calls_to(add_paragraph) as direct:
        Quillmark(Config(markdown=True)).generate(Document(notice(2)), official_template())
    with calls_to(add_paragraph) as faithful:
        FaithfulQuillmark(Config(markdown=True)).generate(Document(notice(2)), official_template())
    assert direct[0] == 0 and faithful[0] == 11


@pytest.mark.parametrize("method", ["add_paragraph", "_add_text_content", "_add_hyperlink", "_add_runs",
                                    "set_styles"])
@pytest.mark.parametrize("how", ["subclass", "instance attribute"])
def test_an_override_is_called_and_the_output_unchanged(method, how):
    seen = []

    def wrapper(self, *args):
        seen.append(method)
        return getattr(Quillmark, method)(self, *args)

    if how == "subclass":
        generator = type("Custom", (Quillmark,), {method: wrapper})(Config(markdown=True))
    else:
        generator = Quillmark(Config(markdown=True))
        setattr(generator, method, wrapper.__get__(generator))
    items = notice(3)
    result = parts(generator.generate(Document(items), official_template()))
    assert seen
    assert result == parts(FaithfulQuillmark(Config(markdown=True)).generate(Document(items), official_template()))


def test_an_override_that_changes_the_document_is_seen_by_later_elements():
    """An override between elements renames a style's identifier and adds a
    relationship: later paragraphs must see both, as python-docx would (no
    stale cache)."""
    def _add_runs(self, paragraph, runs):
        doc = paragraph.part.document
        doc.styles["Late"].style_id = "Renamed"
        doc.styles["TvLate"].style_id = "TvRenamed"
        paragraph.part.relate_to("https://b.example", docx.opc.constants.RELATIONSHIP_TYPE.HYPERLINK,
                                 is_external=True)
        return Quillmark._add_runs(self, paragraph, runs)

    template = Template(styles=official_template().styles + [style("Late")])
    items = [paragraph("a [x](https://a.example)", "Late"), paragraph(runs=[Run("r")]),
             paragraph("b [y](https://b.example) [z](https://c.example)", "Late")]
    direct = type("Direct", (Quillmark,), {"_add_runs": _add_runs})(Config(markdown=True))
    faithful = type("Faithful", (FaithfulQuillmark,), {"_add_runs": _add_runs})(Config(markdown=True))
    result = parts(direct.generate(Document(items), template))
    assert result == parts(faithful.generate(Document(items), template))
    assert b'w:val="Renamed"' in result["word/document.xml"]


@pytest.mark.parametrize("owner, name", [
    (docx.text.paragraph.Paragraph, "add_run"),
    (docx.opc.part.Part, "relate_to"),
    (docx.blkcntnr.BlockItemContainer, "add_paragraph"),
])
def test_a_replaced_python_docx_function_is_called_as_often_as_the_faithful_path_calls_it(monkeypatch, owner,
                                                                                              name):
    original, count = getattr(owner, name), [0]

    def counting(*args, **kwargs):
        count[0] += 1
        return original(*args, **kwargs)

    monkeypatch.setattr(owner, name, counting)
    items = notice(3)
    direct = parts(Quillmark(Config(markdown=True)).generate(Document(items), official_template()))
    direct_count, count[0] = count[0], 0
    faithful = parts(FaithfulQuillmark(Config(markdown=True)).generate(Document(items), official_template()))
    assert direct_count == count[0] > 0
    assert direct == faithful


def test_replaced_module_names_are_honoured(monkeypatch):
    made = []
    original = quillmark_module.OxmlElement

    def counting(tag, *args, **kwargs):
        made.append(tag)
        return original(tag, *args, **kwargs)

    monkeypatch.setattr(quillmark_module, "OxmlElement", counting)
    items = [paragraph("[a](u) [b](v) [c](u)")]
    direct = parts(Quillmark(Config(markdown=True)).generate(Document(items), official_template()))
    direct_made, made[:] = list(made), []
    faithful = parts(FaithfulQuillmark(Config(markdown=True)).generate(Document(items), official_template()))
    assert direct_made == made and made.count("w:hyperlink") == 3
    assert direct == faithful


def test_a_document_subclass_takes_the_faithful_path(monkeypatch):
    class MyDocument(docx.document.Document):
        pass

    def make():
        doc = docx.Document()
        doc.__class__ = MyDocument
        return doc

    monkeypatch.setattr(quillmark_module, "PyDocxDocument", make)
    add_paragraph = docx.blkcntnr.BlockItemContainer.add_paragraph
    with calls_to(add_paragraph) as count:
        direct = parts(Quillmark(Config(markdown=True)).generate(Document(notice(2)), official_template()))
    assert count[0] == 11
    with calls_to(add_paragraph):
        assert direct == parts(FaithfulQuillmark(Config(markdown=True)).generate(Document(notice(2)),
                                                                                 official_template()))


def test_an_uncovered_python_docx_release_takes_the_faithful_path():
    script = (
        "import docx, docx.blkcntnr, sys\n"
        "docx.__version__ = '99.0.0'\n"
        "sys.path.insert(0, %r)\n"
        "from test_direct_path import calls_to, notice\n"
        "from helpers import Config, Document, Quillmark, official_template\n"
        "with calls_to(docx.blkcntnr.BlockItemContainer.add_paragraph) as count:\n"
        "    Quillmark(Config(markdown=True)).generate(Document(notice(2)), official_template())\n"
        "print(count[0])\n" % str(__import__("pathlib").Path(__file__).parent))
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "11"


def test_errors_are_the_same_on_both_paths():
    cases = [
        ([paragraph("x", style_name="Bdy")], Template(styles=[style("Other")])),  # missing fallback style
        ([paragraph("ok"), paragraph("bad\x00")], None),
        ([paragraph("[a](u\x00)")], None),
        ([paragraph(runs=[Run("a", bold="yes")])], None),
        ([paragraph(runs=(Run("a"),))], None),
        ([Element(ElementTypes.PARAGRAPH, "正文", 5)], None),
        ([header("h", 1.0)], None),
        ([title("t")], Template(styles=[style("Title", None)])),  # no font name for a themed style
    ]
    for items, template in cases:
        template = official_template() if template is None else template
        outcomes = []
        for generator_class in (Quillmark, FaithfulQuillmark):
            with pytest.raises(Exception) as raised:
                generator_class(Config(markdown=True)).generate(Document(items), template)
            outcomes.append((type(raised.value), str(raised.value)))
        assert outcomes[0] == outcomes[1], items


def test_peak_memory_is_no_higher_than_the_faithful_paths():
    document, template = Document(notice(200)), official_template()

    def peak(generator_class):
        generator_class(Config(markdown=True)).generate(document, template)  # warm up
        tracemalloc.start()
        try:
            generator_class(Config(markdown=True)).generate(document, template)
            return tracemalloc.get_traced_memory()[1]
        finally:
            tracemalloc.stop()

    assert peak(Quillmark) <= peak(FaithfulQuillmark) * 1.02
