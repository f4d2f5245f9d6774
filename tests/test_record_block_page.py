"""The record block on an even page: counted on the rendered pages, moved
to the next page or after a blank one, and neither page numbered; the .docx
gets the same pages, and without LibreOffice it is refused."""

import json
import os
import subprocess
import sys
import zipfile

import pytest

from pdf_pages import convert_with_libreoffice, pages
from schema import assert_schema_valid
from test_cli import EXAMPLES, run
from test_official import needs_libreoffice

NOTICE = (EXAMPLES / "notice.md").read_text(encoding="utf-8")
SENTENCE = "各单位要按照要求认真组织开展安全生产检查工作，确保各项措施落到实处。"


def longer_notice(paragraphs):
    """The example notice with more paragraphs after its first."""
    first = NOTICE.index("\n\n", NOTICE.index("\n---", 4) + 4)
    return NOTICE[:first] + "".join("\n\n" + SENTENCE * 3 for _ in range(paragraphs)) + NOTICE[first:]


def members(path):
    """A package's members, the time of conversion in its properties and
    the zip timestamps aside."""
    with zipfile.ZipFile(str(path)) as package:
        return {name: package.read(name) for name in package.namelist() if name != "docProps/core.xml"}


def numbered(page):
    return any(line.text.startswith("—") and line.text.endswith("—") for line in page.lines)


def record_block_only(page):
    return [line.text for line in page.lines][:1] == ["抄送：市安全生产委员会各成员单位，各区县人民政府。"]


@pytest.fixture(scope="module")
def work(tmp_path_factory):
    work = tmp_path_factory.mktemp("even")
    template = json.loads((EXAMPLES / "official-template.json").read_text(encoding="utf-8"))
    template["page"] = dict(template.get("page") or {}, record_block="even")
    (work / "even.json").write_text(json.dumps(template, ensure_ascii=False), encoding="utf-8")
    (work / "long.md").write_text(longer_notice(14), encoding="utf-8")
    (work / "notice.md").write_text(NOTICE, encoding="utf-8")
    return work


@pytest.fixture(scope="module")
def rendered(work):
    """The long notice as laid out normally, and with the record block
    on an even page, as PDF and as .docx."""
    for args in (["-o", "plain.pdf"], ["-t", "even.json", "-o", "even.pdf"], ["-t", "even.json", "-o", "even.docx"]):
        done = run("long.md", *args, cwd=work)
        assert done.returncode == 0, done.stderr
    return work


@needs_libreoffice
class TestOnTheRenderedPages:
    def test_an_odd_last_page_gives_the_record_block_a_page_of_its_own(self, rendered):
        plain, even = pages(rendered / "plain.pdf"), pages(rendered / "even.pdf")
        assert len(plain) % 2 == 1, "the notice must run to an odd number of pages for this test"
        assert len(even) == len(plain) + 1
        assert record_block_only(even[-1]) and not numbered(even[-1])
        assert all(numbered(page) for page in even[:-1])
        # The text is where it was; the block stands where it stood.
        assert [line.text for line in even[-2].lines][:-1] == [line.text for line in plain[-1].lines][:-4]
        assert [round(line.y_min, 1) for line in even[-1].lines] == [round(line.y_min, 1)
                                                                   for line in plain[-1].lines[-4:-1]]

    def test_the_docx_holds_the_same_pages(self, rendered, tmp_path):
        assert_schema_valid((rendered / "even.docx").read_bytes(), laid_out=True)
        converted = convert_with_libreoffice(rendered / "even.docx", tmp_path, stand_ins=True)
        assert [[line.text for line in page.lines] for page in pages(converted)] == \
               [[line.text for line in page.lines] for page in pages(rendered / "even.pdf")]

    def test_a_blank_page_when_the_text_ends_on_an_even_page(self, work, tmp_path):
        from quillmark_cli.official.record_block_page import on_even_page

        done = run("notice.md", "-o", tmp_path / "notice.docx", cwd=work)
        assert done.returncode == 0, done.stderr
        moved = on_even_page((tmp_path / "notice.docx").read_bytes(), blank=True)
        assert_schema_valid(moved, laid_out=True)
        (tmp_path / "moved.docx").write_bytes(moved)
        shown = pages(convert_with_libreoffice(tmp_path / "moved.docx", tmp_path, stand_ins=True))
        assert len(shown) == 4 and numbered(shown[0]) and numbered(shown[1])
        assert shown[2].lines == [] and record_block_only(shown[3]) and not numbered(shown[3])

    def test_an_even_page_count_leaves_the_package_as_it_was(self, work):
        assert run("notice.md", "-o", "plain.docx", cwd=work).returncode == 0
        done = run("notice.md", "-t", "even.json", "-o", "even.docx", cwd=work)
        assert done.returncode == 0, done.stderr
        assert members(work / "even.docx") == members(work / "plain.docx")


def test_the_rounds_of_rendering(monkeypatch):
    """As laid out; still odd once moved, after a blank page; an even count
    or a failure ends the rounds, and packages that need no count are
    rendered once."""
    import quillmark_cli.output.pdf.pagination as pagination
    from quillmark_cli.output.delivery import Rendering
    from quillmark_cli.output.pdf.faults import RenderError

    counts = {b"odd": 3, b"odd+": 4, b"odd+b": 4, b"spill": 5, b"spill+": 5, b"spill+b": 6, b"even": 2,
              b"other": 1}
    rendered = []

    class Batch:
        def __init__(self, packages, *_):
            self.packages, self.stand_ins = packages, [("宋体", "Noto Serif CJK SC")]

        def __enter__(self):
            return self

        def __exit__(self, *_):
            pass

        def results(self):
            rendered.append(list(self.packages))
            for package in self.packages:
                yield RenderError("hung") if package == b"bad" else b"/Type /Page " * counts[package]

    monkeypatch.setattr(pagination, "Batch", Batch)
    monkeypatch.setattr(pagination, "on_even_page", lambda package, blank: package + (b"+b" if blank else b"+"))
    packages, results, stand_ins = pagination.render_on_even_pages(
        [b"odd", b"spill", b"even", b"bad", b"other"], [True, True, True, True, False], Rendering("soffice", 1, False, 1))
    assert packages == [b"odd+", b"spill+b", b"even", b"bad", b"other"]
    assert [None if isinstance(pdf, RenderError) else pagination.page_count(pdf) for pdf in results] == \
        [4, 6, 2, None, 1]
    assert rendered == [[b"odd", b"spill", b"even", b"bad", b"other"], [b"odd+", b"spill+"], [b"spill+b"]]
    assert stand_ins == [("宋体", "Noto Serif CJK SC")]


def test_without_libreoffice_a_docx_that_needs_its_pages_is_refused(work, tmp_path):
    env = dict(os.environ, PATH=os.path.dirname(sys.executable))
    done = subprocess.run([sys.executable, "-m", "quillmark_cli", "notice.md", "-t", "even.json", "-o",
                           str(tmp_path / "even.docx")], cwd=str(work), env=env, capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 1
    assert done.stderr.splitlines()[-1] == (
        "notice.md: template.page.record_block: even: which page the record block falls on is known only where "
        "LibreOffice lays the document out: install it, for example with 'apt-get install "
        "libreoffice-writer-nogui', or leave record_block out")
    assert not (tmp_path / "even.docx").exists()
