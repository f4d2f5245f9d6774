"""The page a clerk reads: the addressees flush left under the title (or in
the record block when they would fill the first page), headings numbered
一、（一）1.（1） with no gap, long titles broken into balanced lines, and
the signature and date placed as the standard places them — read from the
rendered PDF."""

import json
import textwrap
import zipfile

import pytest

from pdf_pages import MM, pages
from schema import assert_schema_valid
from test_cli import EXAMPLES, run, write_json
from test_official import LEFT, RENDERS, RIGHT, needs_libreoffice

from quillmark_cli.official.title import line_breaks

BODY = "一二三四五六七八九十" * 4
CHARACTER = 156 * MM / 28
TITLE = "关于进一步加强全市安全生产检查工作的通知"  # 20 characters: more than a 2号 line holds
# Four levels of headings; the third-level numbers count afresh under each
# second-level heading.
NOTICE = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      authority: 某市应急管理局文件
      number: 某应急〔2026〕12号
    ---

    # 关于开展安全生产大检查工作和隐患排查治理工作的通知

    各区县应急管理局，各有关企业：

    """) + "".join(textwrap.dedent("""\
    ## 第{0}部分

    {1}

    ### 第{0}部分的第一节

    #### 第一项

    ##### 第一小项

    {1}

    ##### 第二小项

    #### 第二项

    ### 第{0}部分的第二节

    #### 第一项

    {1}

    """).format(n, BODY) for n in ("一", "二")) + textwrap.dedent("""\
    > 市应急管理局
    >
    > 2026年12月8日
    """)


def convert(tmp_path, text, name="notice"):
    (tmp_path / (name + ".md")).write_text(text, encoding="utf-8")
    for target in (name + ".docx", name + ".pdf") if RENDERS else (name + ".docx",):
        done = run(name + ".md", "-o", target, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
    assert_schema_valid((tmp_path / (name + ".docx")).read_bytes(), laid_out=True)
    return pages(tmp_path / (name + ".pdf")) if RENDERS else None


@pytest.fixture(scope="module")
def notice(tmp_path_factory):
    return convert(tmp_path_factory.mktemp("text"), NOTICE)


def lines(rendered):
    return [line for page in rendered for line in page.lines]


@needs_libreoffice
class TestTheRenderedText:
    def test_addressees_flush_left_under_the_title(self, notice):
        first = notice[0].lines
        addressees = next(line for line in first if line.text == "各区县应急管理局，各有关企业：")
        title = [line for line in first if line.y_max < addressees.y_min and line.x_min > LEFT + 2 * CHARACTER]
        assert addressees.x_min == pytest.approx(LEFT, abs=1 * MM)
        # One empty line between the title's last line and the addressees.
        gap = addressees.y_min - title[-1].y_max
        assert 0.5 * 28.95 < gap < 2.5 * 28.95

    def test_the_title_breaks_into_balanced_lines(self, notice):
        first = notice[0].lines
        title = [line for line in first if "通知" in line.text or "关于" in line.text]
        assert len(title) == 2
        assert "".join(line.text for line in title) == "关于开展安全生产大检查工作和隐患排查治理工作的通知"
        assert all(len(line.text) >= 3 for line in title)
        assert len(title[0].text) >= len(title[1].text)

    def test_headings_numbered_at_four_levels_with_no_gap(self, notice):
        headings = [line for line in lines(notice) if line.text.endswith(("部分", "节", "项")) and "第" in line.text]
        assert [line.text for line in headings] == [
            "一、第一部分", "（一）第一部分的第一节", "1.第一项", "（1）第一小项", "（2）第二小项", "2.第二项",
            "（二）第一部分的第二节", "1.第一项",
            "二、第二部分", "（一）第二部分的第一节", "1.第一项", "（1）第一小项", "（2）第二小项", "2.第二项",
            "（二）第二部分的第二节", "1.第一项"]
        # Each number directly followed by its heading, two characters in.
        assert all(line.words == 1 for line in headings)
        for line in headings:
            assert line.x_min == pytest.approx(LEFT + 2 * CHARACTER, abs=1.5 * MM)

    def test_the_date_starts_two_characters_right_of_the_signature(self, notice):
        last = notice[-1].lines
        signature = next(line for line in last if line.text == "市应急管理局")
        date = next(line for line in last if line.text == "2026年12月8日")
        # The date is the longer: it ends two characters in from the right,
        # and the signature starts two characters left of it.
        assert date.x_max == pytest.approx(210 * MM - RIGHT - 2 * CHARACTER, abs=1 * MM)
        assert date.x_min - signature.x_min == pytest.approx(2 * CHARACTER, abs=1 * MM)


@needs_libreoffice
def test_addressees_that_fill_the_first_page_move_into_the_record_block(tmp_path):
    names = ["第%d区县应急管理局" % n for n in range(1, 37)]
    text = textwrap.dedent("""\
        ---
        official:
          authority: 某市应急管理局文件
          number: 某应急〔2026〕12号
          addressees: [{0}]
          copies_to: [市安全生产委员会各成员单位]
          printed_by: 某市应急管理局办公室
          printed_on: 2026-12-08
        ---

        # 关于开展检查工作的通知

        {1}
        """).format(", ".join(names), BODY)
    rendered = convert(tmp_path, text)
    first = [line.text for line in rendered[0].lines]
    assert any(BODY[:10] in line for line in first), "the first page shows the body"
    record = [line for line in rendered[-1].lines if line.text.startswith(("主送", "抄送"))]
    assert [line.text[:3] for line in record] == ["主送：", "抄送："]
    assert "".join(line.text for line in rendered[-1].lines).count("区县应急管理局") == len(names)


class TestAddresseesFromTheInput:
    def test_the_line_under_the_title_is_taken_unless_front_matter_gives_them(self, tmp_path):
        (tmp_path / "a.md").write_text("# 通知\n\n各单位：\n\n正文。\n", encoding="utf-8")
        (tmp_path / "b.md").write_text("---\nofficial:\n  addressees: []\n---\n\n# 通知\n\n各单位：\n\n正文。\n",
                                       encoding="utf-8")
        (tmp_path / "c.md").write_text("# 通知\n\n各单位\n续行：\n\n正文。\n", encoding="utf-8")
        found = {}
        for name in ("a", "b", "c"):
            done = run(name + ".md", "--print-json", cwd=tmp_path)
            assert done.returncode == 0, done.stderr
            description = json.loads(done.stdout)
            found[name] = (description.get("official", {}).get("addressees"),
                           [element["text"] for element in description["document"]["elements"]])
        assert found["a"] == ("各单位", ["通知", "正文。"])
        assert found["b"] == ([], ["通知", "各单位：", "正文。"])
        assert found["c"][0] is None  # two lines: a paragraph of the body

    def test_json_addressees_as_a_list(self, tmp_path):
        data = {"official": {"addressees": ["甲局", "乙局"]},
                "template": {"styles": [{"name": "正文", "font": {"name": "仿宋_GB2312", "color": "000000", "size": 16}},
                                        {"name": "公文标题", "font": {"name": "方正小标宋简体", "color": "000000",
                                                                  "size": 22}}]},
                "document": {"elements": [{"type": "title", "style_name": "公文标题", "text": "通知"},
                                          {"type": "paragraph", "style_name": "正文", "text": "正文。"}]}}
        done = run(write_json(tmp_path / "in.json", data), "-o", "out.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        with zipfile.ZipFile(str(tmp_path / "out.docx")) as package:
            document = package.read("word/document.xml").decode()
        assert document.index("通知") < document.index("甲局，乙局：") < document.index("正文。")


@pytest.mark.parametrize("title, capacity, expected", [
    ("关于开展安全生产大检查工作和隐患排查治理工作的通知", 20, ["关于开展安全生产大检查工作", "和隐患排查治理工作的通知"]),
    (TITLE, 20, []),
    ("关于做好2026年度全市安全生产检查工作的通知", 18, None),
    ("一二三四五六七八九十一二三四五六七八九十一二", 20, None),
])
def test_title_breaks(title, capacity, expected):
    breaks = line_breaks(title, capacity)
    parts = [title[start:end] for start, end in zip([0] + breaks, breaks + [len(title)])]
    if expected is not None:
        assert parts == expected or (expected == [] and breaks == [])
    if breaks:
        assert all(len(part) >= 3 for part in parts)
        assert not any(title[b - 1].isdigit() and title[b].isdigit() for b in breaks)  # numerals never split
        assert len(parts[0]) >= len(parts[-1])


class TestWhatAPageCannotHold:
    """A record block taller than a page, or a mark too long for one line in
    the smallest size it is set in, is refused with its place and status 2,
    and nothing is written (text would otherwise be lost or unreadable)."""

    @pytest.mark.parametrize("official, message", [
        ({"copies_to": ["第%d区县人民政府" % n for n in range(90)]},
         "official.copies_to: the record block would take 32 lines, and a page holds 21 beside a line of the body"),
        ({"authority": "某" * 21}, "official.authority: a mark of 21 characters does not fit one line in 22 pt"),
    ])
    def test_refused_with_its_place(self, tmp_path, official, message):
        template = json.loads((EXAMPLES / "official-template.json").read_text(encoding="utf-8"))
        data = {"template": template, "official": official,
                "document": {"elements": [{"type": "paragraph", "style_name": "正文", "text": "正文。"}]}}
        done = run(write_json(tmp_path / "in.json", data), "-o", "out.docx", cwd=tmp_path)
        assert done.returncode == 2 and message in done.stderr and len(done.stderr.splitlines()) == 1, done.stderr
        assert not (tmp_path / "out.docx").exists()

    def test_the_longest_that_fit_are_laid_out(self, tmp_path):
        template = json.loads((EXAMPLES / "official-template.json").read_text(encoding="utf-8"))
        data = {"template": template, "official": {"authority": "某" * 20,
                                                   "copies_to": ["第%d区县人民政府" % n for n in range(55)]},
                "document": {"elements": [{"type": "paragraph", "style_name": "正文", "text": "正文。"}]}}
        done = run(write_json(tmp_path / "in.json", data), "-o", "out.pdf" if RENDERS else "out.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        if RENDERS:
            text = "".join(line.text for page in pages(tmp_path / "out.pdf") for line in page.lines)
            assert text.count("区县人民政府") == 55 and "某" * 20 in text
