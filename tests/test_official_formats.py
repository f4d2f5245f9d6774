"""The standard's formats besides a document's: a letter, an order and
minutes, each read from the rendered PDF where the standard places its
elements; a batch of all four formats converted in one run; and what the
input may say in each format."""

import json
import textwrap
import zipfile

import pytest

from pdf_pages import MM, Pixels, convert_with_libreoffice, dark, layout, pages, red
from schema import assert_schema_valid
from test_cli import EXAMPLES, run
from test_official import BOTTOM, LEFT, RENDERS, RIGHT, TOP, assert_official_refused, needs_libreoffice

CHARACTER = 156 * MM / 28
LINE = 579 / 20
TEXT_CENTRE = LEFT + 156 * MM / 2
PAGE_WIDTH, PAGE_HEIGHT = 210 * MM, 297 * MM
ELEMENT_GAP = 7 / 8 * 16  # 7/8 of a 3号 character's height, in points
BODY = "一二三四五六七八九十" * 10

LETTER = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      format: letter
      authority: 某市应急管理局
      number: 某应急函〔2026〕5号
      copy_number: "000001"
      secrecy: 机密★1年
      urgency: 特急
      addressees: 某市财政局
      copies_to: [市人民政府办公室]
    ---

    # 关于商请支持安全生产专项检查工作的函

    %s

    %s

    %s

    %s

    > 某市应急管理局
    >
    > 2026年12月8日
    """) % (BODY, BODY, BODY, BODY)
ORDER = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      format: order
      authority: 某市人民政府
      order_number: 第12号
      signer_title: 市长
    ---

    《某市安全生产监督管理办法》已经市人民政府常务会议通过，现予公布。

    > 2026年12月8日
    """)
ATTENDEES = ["张某某", "李某某", "王某某", "赵某某", "钱某某", "孙某某", "周某某", "吴某某", "郑某某", "冯某某"]
MINUTES = textwrap.dedent("""\
    ---
    official:
      format: minutes
      authority: 某市人民政府常务会议
      number: 第15期
      attendees: [%s]
      absent: [蒋某某]
      observers: [市政府办公室主任沈某某]
    ---

    会议审议通过《某市安全生产监督管理办法》。
    """) % ", ".join(ATTENDEES)
DOCUMENT = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      format: document
      authority: 某市应急管理局文件
      number: 某应急〔2026〕12号
    ---

    # 关于开展安全生产检查工作的通知

    为加强安全生产管理，现将有关事项通知如下。

    > 某市应急管理局
    >
    > 2026年12月8日
    """)
INPUTS = {"letter.md": LETTER, "order.md": ORDER, "minutes.md": MINUTES, "document.md": DOCUMENT}


@pytest.fixture(scope="module")
def batch(tmp_path_factory):
    """The four inputs converted in one run to .docx, and in one run to
    PDF where LibreOffice renders: (the folder, {name: its pages})."""
    work = tmp_path_factory.mktemp("formats")
    for name, text in INPUTS.items():
        (work / name).write_text(text, encoding="utf-8")
    targets = ("docx", "pdf") if RENDERS else ("docx",)
    for target in targets:
        done = run(*INPUTS, "-d", target, "--to", target, cwd=work)
        assert done.returncode == 0, done.stderr
        assert "converted 4 of 4 documents" in done.stderr
    for name in INPUTS:
        assert_schema_valid((work / "docx" / name.replace(".md", ".docx")).read_bytes(), laid_out=True)
    rendered = {name[:-3]: pages(work / "pdf" / name.replace(".md", ".pdf")) for name in INPUTS} if RENDERS else {}
    return work, rendered


def line_of(page, text, exact=True):
    found = [line for line in page.lines if (line.text == text if exact else line.text.startswith(text))]
    assert found, "%r is not on the page: %r" % (text, [line.text for line in page.lines])
    return found[0]


def footer(page):
    return [line.text for line in page.lines if line.y_min > page.height - BOTTOM]


def approx_mm(value, mm=1):
    return pytest.approx(value, abs=mm * MM)


def test_a_batch_of_all_four_formats_in_one_run(batch):
    work, rendered = batch
    marks = {"letter": "某市应急管理局", "order": "某市人民政府令", "minutes": "某市人民政府常务会议纪要",
             "document": "某市应急管理局文件"}
    for name, mark in marks.items():
        with zipfile.ZipFile(str(work / "docx" / (name + ".docx"))) as package:
            assert mark in package.read("word/document.xml").decode()
        if rendered:
            assert any(line.text == mark for line in rendered[name][0].lines)


@pytest.fixture(scope="module")
def letter(batch, tmp_path_factory):
    """The letter's rendering, its first page's red and dark bands at 300
    dots an inch."""
    if not RENDERS:
        pytest.skip("LibreOffice and poppler-utils render and read the PDF")
    work, rendered = batch
    pixels = Pixels(work / "pdf" / "letter.pdf", 1, tmp_path_factory.mktemp("letter"), resolution=300)
    return rendered["letter"], pixels.bands(red), pixels


@needs_libreoffice
class TestTheLetter:
    def test_the_mark_30_mm_below_the_page_edge(self, letter):
        rendered, bands, _ = letter
        mark = bands[0]
        assert mark[0] == approx_mm(30 * MM)
        text = line_of(rendered[0], "某市应急管理局")
        assert (text.x_min + text.x_max) / 2 == approx_mm(TEXT_CENTRE)
        assert text.y_min < mark[0] < mark[1] < text.y_max

    def test_the_red_double_lines(self, letter):
        _, bands, _ = letter
        mark, thick, thin = bands[:3]
        assert thick[0] - mark[1] == approx_mm(4 * MM)
        # Thick above thin under the mark; thin above thick 20 mm above the page's foot.
        assert thick[1] - thick[0] > 2 * (thin[1] - thin[0]) > 0
        assert thin[0] - thick[1] < 1 * MM
        low_thin, low_thick = bands[-2:]
        assert low_thick[1] - low_thick[0] > 2 * (low_thin[1] - low_thin[0]) > 0
        assert low_thin[1] < low_thick[0] < low_thin[1] + 1 * MM
        assert low_thick[1] == approx_mm(PAGE_HEIGHT - 20 * MM, 0.5)
        for rule in (thick, thin, low_thin, low_thick):
            assert rule[3] - rule[2] == approx_mm(170 * MM, 0.5)
            assert (rule[2] + rule[3]) / 2 == approx_mm(TEXT_CENTRE, 0.5)
            assert rule[4] == approx_mm(170 * MM, 0.5)  # unbroken
        assert len(bands) == 5  # nothing else red on the page

    def test_the_elements_under_the_first_line(self, letter):
        rendered, bands, pixels = letter
        first = rendered[0]
        copy_number, secrecy, urgency = (line_of(first, text) for text in ("000001", "机密★1年", "特急"))
        number = line_of(first, "某应急函〔2026〕5号")
        for line in (copy_number, secrecy, urgency):
            assert line.x_min == approx_mm(LEFT)
        assert number.x_max == approx_mm(PAGE_WIDTH - RIGHT)
        assert number.y_min == pytest.approx(copy_number.y_min, abs=1)
        assert secrecy.y_min - copy_number.y_min == pytest.approx(LINE, abs=1)
        assert urgency.y_min - secrecy.y_min == pytest.approx(LINE, abs=1)
        # The first one's characters 7/8 of a 3号 character's height under the line.
        thin = bands[2]
        ink = pixels.bands(dark, thin[1], urgency.y_max)
        assert ink[0][0] - thin[1] == approx_mm(ELEMENT_GAP)
        # The title two lines under the last of them.
        title = line_of(first, "关于商请支持安全生产专项检查工作的函")
        assert 2 * LINE < title.y_min - urgency.y_max < 3 * LINE

    def test_the_text_keeps_clear_of_the_second_line(self, letter):
        rendered, bands, _ = letter
        assert len(rendered) >= 2
        low_thin = bands[-2]
        assert max(line.y_max for line in rendered[0].lines) < low_thin[0] - ELEMENT_GAP

    def test_no_page_number_on_the_first_page(self, letter):
        rendered, _, _ = letter
        assert footer(rendered[0]) == []
        assert [footer(page) for page in rendered[1:]] == [["—%d—" % n] for n in range(2, len(rendered) + 1)]

    def test_the_record_block_has_no_printer_date_or_lines(self, batch, letter, tmp_path):
        rendered, _, _ = letter
        last = rendered[-1]
        copies = line_of(last, "抄送：市人民政府办公室。")
        assert copies.y_max == pytest.approx(last.height - BOTTOM, abs=3 * MM)
        assert not any("印发" in line.text for page in rendered for line in page.lines)
        work, _ = batch
        rows = Pixels(work / "pdf" / "letter.pdf", len(rendered), tmp_path).rows(dark, copies.y_min - LINE)
        assert max(rows.values()) < 120 * MM  # text, no line across the block

    def test_the_package_reads_alike_in_libreoffice(self, batch, tmp_path):
        work, _ = batch
        converted = convert_with_libreoffice(work / "docx" / "letter.docx", tmp_path, stand_ins=True)
        assert layout(converted) == layout(work / "pdf" / "letter.pdf")


@needs_libreoffice
class TestTheOrder:
    def test_the_mark_the_order_number_and_the_text(self, batch, tmp_path):
        work, rendered = batch
        first = rendered["order"][0]
        mark = line_of(first, "某市人民政府令")
        bands = Pixels(work / "pdf" / "order.pdf", 1, tmp_path, resolution=300).bands(red)
        assert len(bands) == 1  # the mark, and no red line
        assert bands[0][0] == approx_mm(TOP + 20 * MM)
        number = line_of(first, "第12号")
        text = line_of(first, "《某市", exact=False)
        for line in (mark, number):
            assert (line.x_min + line.x_max) / 2 == approx_mm(TEXT_CENTRE)
        assert 2 * LINE < number.y_min - mark.y_max < 3 * LINE
        assert 2 * LINE < text.y_min - number.y_max < 3 * LINE
        assert footer(first) == ["—1—"]

    def test_the_signers_title_the_stamp_and_the_date(self, batch):
        _, rendered = batch
        first = rendered["order"][0]
        title, date = line_of(first, "市长"), line_of(first, "2026年12月8日")
        stamp_left = PAGE_WIDTH - RIGHT - 4 * CHARACTER - 20 * MM
        assert date.x_max == approx_mm(PAGE_WIDTH - RIGHT - 4 * CHARACTER)
        assert title.x_max == approx_mm(stamp_left - 2 * CHARACTER)
        assert date.y_min - title.y_max > LINE


@needs_libreoffice
class TestTheMinutes:
    def test_the_mark_35_mm_down(self, batch, tmp_path):
        work, rendered = batch
        mark = line_of(rendered["minutes"][0], "某市人民政府常务会议纪要")
        assert (mark.x_min + mark.x_max) / 2 == approx_mm(TEXT_CENTRE)
        bands = Pixels(work / "pdf" / "minutes.pdf", 1, tmp_path, resolution=300).bands(red)
        assert bands[0][0] == approx_mm(TOP + 35 * MM)

    def test_who_attended_was_excused_and_sat_in(self, batch):
        _, rendered = batch
        lines = [line for page in rendered["minutes"] for line in page.lines]
        texts = [line.text for line in lines]
        start = next(i for i, text in enumerate(texts) if text.startswith("出席："))
        attended, wrapped, absent, observers = lines[start:start + 4]
        assert attended.x_min == approx_mm(LEFT + 2 * CHARACTER)
        # The names that wrap go on under the first name, after the colon.
        assert wrapped.x_min == approx_mm(LEFT + 5 * CHARACTER)
        assert (attended.text + wrapped.text) == "出席：" + "、".join(ATTENDEES)
        assert (absent.text, observers.text) == ("请假：蒋某某", "列席：市政府办公室主任沈某某")
        assert absent.x_min == observers.x_min == attended.x_min
        # One empty line under the text.
        text = lines[start - 1]
        assert text.text.startswith("会议审议通过")
        assert LINE < attended.y_min - text.y_max < 2 * LINE


def document_xml(path):
    with zipfile.ZipFile(str(path)) as package:
        return package.read("word/document.xml")


class TestTheInput:
    @pytest.mark.parametrize("name", ["letter", "order", "minutes"])
    def test_markdown_and_json_give_the_same_document(self, name, tmp_path):
        for source in (name + ".md", name + ".json"):
            done = run(EXAMPLES / source, "-o", tmp_path / (source + ".docx"), cwd=tmp_path)
            assert done.returncode == 0, done.stderr
        assert document_xml(tmp_path / (name + ".md.docx")) == document_xml(tmp_path / (name + ".json.docx"))
        assert_schema_valid((tmp_path / (name + ".md.docx")).read_bytes(), laid_out=True)
        done = run(EXAMPLES / (name + ".md"), "--print-json", cwd=tmp_path)
        assert json.loads(done.stdout) == json.loads((EXAMPLES / (name + ".json")).read_text(encoding="utf-8"))

    def test_the_document_format_is_the_default(self, tmp_path):
        for name, text in (("given", DOCUMENT), ("default", DOCUMENT.replace("  format: document\n", ""))):
            (tmp_path / (name + ".md")).write_text(text, encoding="utf-8")
            assert run(name + ".md", "-o", name + ".docx", cwd=tmp_path).returncode == 0
        assert document_xml(tmp_path / "given.docx") == document_xml(tmp_path / "default.docx")

    def test_addressees_that_would_fill_a_letters_first_page_move_into_the_record_block(self, tmp_path):
        names = ", ".join("某市某某局%d" % n for n in range(10, 65))
        (tmp_path / "letter.md").write_text(LETTER.replace("addressees: 某市财政局", "addressees: [%s]" % names),
                                            encoding="utf-8")
        assert run("letter.md", "-o", "letter.docx", cwd=tmp_path).returncode == 0
        assert "主送：某市某某局10，" in document_xml(tmp_path / "letter.docx").decode()

    @pytest.mark.parametrize("official, message", [
        ({"format": "letter", "authority": "某局", "printed_by": "某办公室"},
         "official.printed_by: a letter's record block has no printing authority"),
        ({"format": "letter", "authority": "某局", "signer": "张某"}, "official.signer: a letter names no signer"),
        ({"format": "letter", "authority": "某局文件"}, "official.authority: a letter's mark is the authority's name "
                                                      "without 文件"),
        ({"format": "letter", "authority": ["某局", "某厅"]}, "official.authority: expected text: a letter has one"),
        ({"format": "letter"}, "official.authority: missing: a letter's mark"),
        ({"format": "order", "authority": "某市人民政府", "signer_title": "市长", "number": "某〔2026〕1号"},
         "official.number: an order has an order number instead"),
        ({"format": "order", "authority": "某市人民政府", "signer_title": "市长", "seal": "stamp"},
         "official.seal: an order is signed with the signer's signature stamp"),
        ({"format": "order", "authority": "某市人民政府"}, "official.signer_title: missing: an order gives"),
        ({"format": "order", "authority": "某市人民政府", "signer_title": "市长", "urgency": "特急"},
         "official.urgency: an order's masthead holds its mark and its order number only"),
        ({"format": "minutes", "authority": "某会议", "seal": "stamp"}, "official.seal: minutes carry no seal"),
        ({"authority": "某局", "attendees": ["张某"]}, "official.attendees: only minutes list"),
        ({"authority": "某局", "order_number": "第1号"}, "official.order_number: only an order has"),
        ({"format": "memo"}, "official.format: expected one of"),
        ({"format": "minutes", "authority": "某会议", "attendees": "张某"}, "official.attendees: expected a list"),
    ])
    def test_a_field_the_format_does_not_take_is_refused_with_its_place(self, tmp_path, official, message):
        assert_official_refused(tmp_path, official, message)

    def test_in_front_matter_the_place_is_the_front_matters(self, tmp_path):
        (tmp_path / "letter.md").write_text(LETTER.replace("  copies_to:", "  printed_on: 2026-12-08\n  copies_to:"),
                                            encoding="utf-8")
        done = run("letter.md", "-o", "letter.docx", cwd=tmp_path)
        assert done.returncode == 2, done.stderr
        assert done.stderr.strip().endswith("letter.md: front matter: official: printed_on: a letter's record "
                                            "block has no printing authority or printing date")
