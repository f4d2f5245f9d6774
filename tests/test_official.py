"""Official documents: a Markdown notice converted with no options is laid
out as GB/T 9704-2012 lays out an official document, and reads so when
LibreOffice renders it (PDF output as a Unix tool writes files is in
test_pdf_rendering.py)."""

import os
import shutil
import textwrap
import zipfile

import pytest
from quillmark_cli.input.loading import load_description
from quillmark_cli.input.markdown.converter import markdown_to_description

from helpers import font_faults
from pdf_pages import MM, Pixels, blue, convert_with_libreoffice, dark, layout, pages, red
from schema import assert_schema_valid
from test_cli import EXAMPLES, run, write_json

# LibreOffice does not start in reasonable time with a sanitizer's runtime
# preloaded (the sanitizer runs preload it for the interpreter, and the
# command's children inherit it); the plain runs render.
RENDERS = shutil.which("soffice") is not None and shutil.which("pdftotext") is not None and \
    "asan" not in os.environ.get("LD_PRELOAD", "")
needs_libreoffice = pytest.mark.skipif(not RENDERS, reason="LibreOffice and poppler-utils render and read the PDF")

BODY = "一二三四五六七八九十" * 10  # 100 characters: 26 after the indent, then 28, 28 and 18
NOTICE = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      authority: 某市应急管理局文件
      number: 某应急〔2026〕12号
      copies_to: [市安全生产委员会各成员单位, 各区县人民政府]
      printed_by: 某市应急管理局办公室
      printed_on: 2026-12-08
    ---

    # 关于开展安全生产检查工作的通知

    各区县应急管理局：

    """) + "".join("## 第%d部分\n\n%s\n\n%s\n\n%s\n\n" % (n, BODY, BODY, BODY) for n in (1, 2, 3)) + textwrap.dedent("""\
    > 市应急管理局
    >
    > 2026年12月8日
    """)

# The standard's page, in points.
LEFT, TOP, RIGHT, BOTTOM = 28 * MM, 37 * MM, 26 * MM, 35 * MM
TOLERANCE = 1.5 * MM
LINE_PITCH = 579 / 20  # the grid's 22 lines in the 225 mm text block


@pytest.fixture(scope="module")
def converted(tmp_path_factory):
    """The notice as a package, as the command's PDF and, where LibreOffice
    renders, as LibreOffice shows the package itself (lo/notice.pdf)."""
    work = tmp_path_factory.mktemp("notice")
    (work / "notice.md").write_text(NOTICE, encoding="utf-8")
    for target in ("notice.docx", "notice.pdf") if RENDERS else ("notice.docx",):
        done = run("notice.md", "-o", target, cwd=work)
        assert done.returncode == 0, done.stderr
    if RENDERS:
        convert_with_libreoffice(work / "notice.docx", work / "lo", stand_ins=True)
    return work


@pytest.fixture(scope="module", params=["notice.pdf", "lo/notice.pdf"], ids=["command-pdf", "docx-in-libreoffice"])
def notice(converted, request):
    """A rendering of the notice, as (its PDF's path, its pages): the
    command's PDF and the package as LibreOffice opens it are read alike."""
    if not RENDERS:
        pytest.skip("LibreOffice and poppler-utils render and read the PDF")
    return converted / request.param, pages(converted / request.param)


def body_lines(page):
    """The lines inside the text block (not the page number)."""
    return [line for line in page.lines if line.y_max < page.height - BOTTOM + 2]


def test_the_package_is_laid_out_and_validates(converted):
    work = converted
    data = (work / "notice.docx").read_bytes()
    assert_schema_valid(data, laid_out=True)
    with zipfile.ZipFile(str(work / "notice.docx")) as package:
        document = package.read("word/document.xml").decode()
        settings = package.read("word/settings.xml").decode()
        styles = package.read("word/styles.xml").decode()
        footers = [package.read(n).decode() for n in package.namelist() if n.startswith("word/footer")]
    assert '<w:pgSz w:w="11906" w:h="16838"/>' in document
    assert 'w:top="2098" w:right="1474" w:bottom="1984" w:left="1587"' in document
    # 22 lines of 579 twips fill the text block, and 28 characters of 16 pt less 0.25 pt fill its width.
    assert '<w:docGrid w:type="lines" w:linePitch="579"/>' in document
    defaults = styles[styles.index("<w:rPrDefault>"):styles.index("</w:rPrDefault>")]
    assert '<w:spacing w:val="-5"/>' in defaults and 'w:eastAsia="zh-CN"' in defaults
    assert '<w:themeFontLang w:val="en-US" w:eastAsia="zh-CN"/>' in settings
    assert "<w:evenAndOddHeaders/>" in settings
    assert len(footers) == 2 and all(" PAGE " in footer and "— " in footer for footer in footers)


@needs_libreoffice
class TestTheRenderedNotice:
    def test_paper_text_block_and_grid(self, notice):
        _, rendered = notice
        assert len(rendered) == 3
        for page in rendered:
            assert (page.width, page.height) == pytest.approx((210 * MM, 297 * MM), abs=1)
            lines = body_lines(page)
            assert min(line.x_min for line in lines) == pytest.approx(LEFT, abs=TOLERANCE)
        first = body_lines(rendered[1])
        # The first line's band starts 37 mm down; its characters sit in the middle of the band.
        assert first[0].middle == pytest.approx(TOP + LINE_PITCH / 2, abs=TOLERANCE)
        assert len(first) == 22
        full = [line for line in first if line.x_min < LEFT + 2 and len(line.text) > 20]
        assert full and all(len(line.text) == 28 for line in full[:-1])
        assert max(line.x_max for line in full) == pytest.approx(210 * MM - RIGHT, abs=TOLERANCE)

    def test_body_lines_have_no_gaps_between_characters(self, notice):
        """Every line of body text is its characters side by side: no
        character stands apart from the next (pdftotext would start a new
        word there)."""
        _, rendered = notice
        body = [line for page in rendered for line in page.lines if set(line.text) <= set(BODY)]
        assert len(body) > 30 and all(line.words == 1 for line in body)

    def test_page_numbers_at_the_outer_side_under_the_text_block(self, notice):
        _, rendered = notice
        for number, page in enumerate(rendered, 1):
            footer = [line for line in page.lines if line.y_min > page.height - BOTTOM]
            assert [line.text for line in footer] == ["—%d—" % number]
            assert footer[0].y_min == pytest.approx(page.height - BOTTOM + 7 * MM, abs=TOLERANCE)
            if number % 2:
                assert footer[0].x_max == pytest.approx(page.width - RIGHT - 14, abs=TOLERANCE)
            else:
                assert footer[0].x_min == pytest.approx(LEFT + 14, abs=TOLERANCE)

    def test_masthead_in_red_and_no_blue_under_the_title(self, notice, tmp_path):
        pdf, rendered = notice
        lines = {line.text: line for line in rendered[0].lines}
        mark, number, title = lines["某市应急管理局文件"], lines["某应急〔2026〕12号"], lines["关于开展安全生产检查工作的通知"]
        assert mark.y_min == pytest.approx(TOP + 35 * MM, abs=TOLERANCE)
        assert (mark.x_min + mark.x_max) / 2 == pytest.approx((LEFT + 210 * MM - RIGHT) / 2, abs=TOLERANCE)
        pixels = Pixels(pdf, 1, tmp_path)
        assert sum(pixels.rows(red, mark.y_min, mark.y_max).values()) > 500
        rule = pixels.rows(red, number.y_max, title.y_min)
        assert rule and min(rule) == pytest.approx(number.y_max + 4 * MM, abs=TOLERANCE)
        assert max(rule.values()) >= 156 * MM - 2  # across the text block
        assert not pixels.rows(blue)

    def test_signature_and_record_block_on_the_last_page(self, notice, tmp_path):
        pdf, rendered = notice
        last = rendered[-1]
        assert not any("抄送" in line.text for page in rendered[:-1] for line in page.lines)
        lines = {line.text: line for line in last.lines}
        signature, date = lines["市应急管理局"], lines["2026年12月8日"]
        character = (156 * MM) / 28
        # The date is the longer: 3 characters of 15.75 pt, 7 numerals of 7.75 pt and the space readers put
        # between numerals and Chinese text, 5 × 3.6 pt. It ends two characters in, and the signature
        # (6 characters) 2 + 2 characters and the difference in, so that the date starts two characters to its
        # right. (The starts depend on the faces a reader stands in; test_official_text compares them.)
        date_width = 3 * 15.75 + 7 * 7.75 + 5 * 3.6
        assert date.x_max == pytest.approx(210 * MM - RIGHT - 2 * character, abs=3)
        assert signature.x_max == pytest.approx(210 * MM - RIGHT - 4 * character - date_width + 6 * 15.75, abs=3)
        copies, printed_by, printed_on = (lines[text] for text in (
            "抄送：市安全生产委员会各成员单位，各区县人民政府。", "某市应急管理局办公室", "2026年12月8日印发"))
        assert copies.y_max < printed_by.y_min == printed_on.y_min and printed_by.x_min < printed_on.x_min
        lines_drawn = Pixels(pdf, len(rendered), tmp_path).rows(dark, signature.y_max + 5)
        rules = [y for y, count in lines_drawn.items() if count > 120 * MM]
        assert rules and max(rules) == pytest.approx(last.height - BOTTOM, abs=TOLERANCE)
        # The record block's lines run across the text block.
        assert max(lines_drawn.values()) >= 156 * MM - 2


@needs_libreoffice
@pytest.mark.parametrize("source", ["notice", "examples/notice.md"])
def test_the_package_and_the_pdf_are_the_same_document(converted, source, tmp_path):
    """What LibreOffice shows of the .docx, with the same faces standing in
    for the fonts the machine lacks, is, line for line, the command's PDF:
    one package serves both."""
    if source == "notice":
        work = converted
    else:
        work = tmp_path
        for target in ("notice.docx", "notice.pdf"):
            done = run(EXAMPLES / "notice.md", "-o", work / target, cwd=work)
            assert done.returncode == 0, done.stderr
        convert_with_libreoffice(work / "notice.docx", work / "lo", stand_ins=True)
    assert layout(work / "lo" / "notice.pdf") == layout(work / "notice.pdf")


@needs_libreoffice
def test_chinese_text_takes_the_chinese_forms(tmp_path):
    """直, 骨, 角 and 令 are drawn in their Chinese (not Japanese) forms:
    the package declares its East Asian text Chinese, so a reader without
    the template's fonts stands in the Chinese face of a CJK font."""
    (tmp_path / "forms.md").write_text("# 直骨角令\n\n直骨角令直骨角令\n", encoding="utf-8")
    done = run("forms.md", "-o", "forms.docx", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    ours = Pixels(convert_with_libreoffice(tmp_path / "forms.docx", tmp_path), 1, tmp_path)
    faces = {}
    for region, language in (("SC", "zh-CN"), ("JP", "ja-JP")):
        with zipfile.ZipFile(str(tmp_path / "forms.docx")) as package, \
                zipfile.ZipFile(str(tmp_path / ("forms-%s.docx" % region)), "w") as out:
            for item in package.infolist():
                data = package.read(item)
                if item.filename == "word/styles.xml":
                    data = data.replace("仿宋_GB2312".encode(), ("Noto Sans CJK " + region).encode())
                    data = data.replace(b'w:eastAsia="zh-CN"', ('w:eastAsia="%s"' % language).encode())
                out.writestr(item, data)
        faces[region] = Pixels(convert_with_libreoffice(tmp_path / ("forms-%s.docx" % region), tmp_path), 1,
                               tmp_path / region)
    assert faces["SC"].data != faces["JP"].data  # the two forms differ on this machine
    assert ours.data == faces["SC"].data


def test_the_example_notice_shows_the_fonts_it_names(tmp_path):
    """examples/notice.md as the command writes it: the official template's
    title and headings, edited in place from the default template, name
    their fonts with no theme reference over them, and so do the runs the
    layout writes (masthead, page numbers, record block)."""
    done = run(EXAMPLES / "notice.md", "-o", tmp_path / "notice.docx", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    description = markdown_to_description((EXAMPLES / "notice.md").read_bytes(), "notice.md", EXAMPLES)[0]
    template = load_description(description).template
    assert {"Title", "Heading 1", "Heading 2", "Heading 3"} <= {item.name.value for item in template.styles}
    data = (tmp_path / "notice.docx").read_bytes()
    assert font_faults(data, template) == []
    with zipfile.ZipFile(str(tmp_path / "notice.docx")) as package:
        layout_fonts = [package.read(n).count(b"<w:rFonts ") for n in ("word/document.xml", "word/footer1.xml")]
    assert all(layout_fonts)


def test_without_a_page_the_package_is_what_the_generator_writes(tmp_path):
    """A template without `page` and an input without `official` change
    nothing: the command writes the generator's own bytes."""
    done = run(EXAMPLES / "default.json", "-o", tmp_path / "a.docx", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    with zipfile.ZipFile(str(tmp_path / "a.docx")) as package:
        assert "word/footer1.xml" not in package.namelist()
        assert b"docGrid w:linePitch=\"360\"" in package.read("word/document.xml")


@pytest.mark.parametrize("official, message", [
    ({"authority": "某局", "stamp_colour": "x"}, "official: unexpected 'stamp_colour'"),
    ({"copies_to": "某局"}, "official.copies_to: expected a list"),
])
def test_a_bad_official_mapping_is_refused_with_its_place(tmp_path, official, message):
    assert_official_refused(tmp_path, official, message)


def assert_official_refused(tmp_path, official, message):
    """A JSON input with `official` is refused in one line holding
    `message`, and nothing is written."""
    data = {"template": {"styles": [{"name": "正文", "font": {"name": "仿宋_GB2312", "color": "000000", "size": 16}}]},
            "official": official, "document": {"elements": [{"type": "paragraph", "style_name": "正文", "text": "x"}]}}
    done = run(write_json(tmp_path / "in.json", data), "-o", "out.docx", cwd=tmp_path)
    assert done.returncode == 2 and message in done.stderr, done.stderr
    assert len(done.stderr.splitlines()) == 1
    assert not (tmp_path / "out.docx").exists()


def test_margins_that_leave_no_text_block_are_refused(tmp_path):
    template = {"page": {"margins": {"left": 120, "right": 100}},
                "styles": [{"name": "正文", "font": {"name": "宋体", "color": "000000", "size": 12}}]}
    data = {"template": template, "document": {"elements": []}}
    done = run(write_json(tmp_path / "in.json", data), cwd=tmp_path)
    assert done.returncode == 2
    assert done.stderr.strip().endswith("in.json: template.page.margins: left and right margins of 120 mm and "
                                        "100 mm leave no text on a page 210 mm wide")


def test_front_matter_dates_and_unquoted_numbers(tmp_path):
    (tmp_path / "a.md").write_text("---\nofficial:\n  printed_on: 2026-12-08\n  copy_number: 000123\n---\n\n正文\n",
                                   encoding="utf-8")
    done = run("a.md", "--print-json", cwd=tmp_path)
    assert done.returncode == 2
    assert "front matter: official: copy_number: expected text, got 83 (put it in quotes)" in done.stderr


@pytest.mark.parametrize("yaml, message", [
    ("seal: wax", 'front matter: official: seal: expected one of "none", "stamp", "signature"'),
    ("attachments: [{name: 附件, file: a.md, pages: 2}]",
     "front matter: official: attachments: expected an attachment's name, or a mapping of name and file"),
    ("printed_on: 2026-02-30", "front matter: official: printed_on: no such date: February 2026 has 28 days"),
])
def test_the_front_matter_official_mapping_is_checked_as_the_json_one(tmp_path, yaml, message):
    (tmp_path / "a.md").write_text("---\nofficial:\n  %s\n---\n\n正文\n" % yaml, encoding="utf-8")
    done = run("a.md", "-o", "a.docx", cwd=tmp_path)
    assert (done.returncode, done.stderr) == (2, "a.md: %s\n" % message)
    assert not (tmp_path / "a.docx").exists()
