"""A realistic notice generated end to end and read back as a reader would."""

from helpers import Element, ElementTypes, Run, generate, header, paragraph, read, title
from schema import assert_schema_valid


def test_official_notice():
    elements = [
        title("关于开展年度检查工作的通知"),
        paragraph("各有关单位："),
        header("总体要求", 1),
        paragraph("请登录[申报系统](https://example.gov.cn/apply?id=1&t=2)填报，详见[附件🔗](https://example.gov.cn/a.pdf)。"),
        header("工作安排", 2, "Heading 2"),
        Element(ElementTypes.IMAGE, "正文", "not written"),
        header("时间节点", 3, "Heading 2"),
        paragraph(runs=[Run("特别提醒：", bold=True), Run("逾期不予受理", underline=True)]),
        header("联系方式", 1),
        paragraph("电话 010-12345678"),
    ]
    result = generate(elements)
    assert_schema_valid(result.data)
    doc = read(result)
    paragraphs = doc.paragraphs
    assert [(p.style.name, p.text) for p in paragraphs] == [
        ("Title", "关于开展年度检查工作的通知"),
        ("正文", "各有关单位："),
        ("Heading 1", "总体要求"),
        ("正文", "请登录申报系统填报，详见附件(查看原文)。"),
        ("Heading 2", "工作安排"),
        ("Heading 2", "时间节点"),
        ("正文", "特别提醒：逾期不予受理"),
        ("Heading 1", "联系方式"),
        ("正文", "电话 010-12345678"),
    ]
    links = paragraphs[3].hyperlinks
    assert [(h.text, h.address) for h in links] == [
        ("申报系统", "https://example.gov.cn/apply?id=1&t=2"), ("附件(查看原文)", "https://example.gov.cn/a.pdf")]

    def list_level(p):
        num_pr = p._p.pPr.numPr
        return None if num_pr is None else (num_pr.ilvl.val, num_pr.numId.val)

    assert [list_level(p) for p in paragraphs if p.style.name.startswith("Heading")] == [
        (0, 1), None, (2, 1), (0, 1)]
    assert [(r.bold, r.underline) for r in paragraphs[6].runs] == [(True, None), (None, True)]
    assert all(r.style.name == "Tv正文" for r in paragraphs[3].runs)
    assert doc.styles["Title"].font.bold is True
