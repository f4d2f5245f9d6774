"""Markdown input: the mapping onto the document model, the warnings for what
the model cannot hold, front matter, and the bundled notice written both
ways."""

import io
import json
import re
import subprocess
import sys
import textwrap
import zipfile
from pathlib import Path

import jsonschema
import pytest
from hypothesis import given, settings, strategies as st
from quillmark_cli.errors import InputError
from quillmark_cli.input.links import iter_links
from quillmark_cli.input.markdown.converter import markdown_to_description
from quillmark_cli.input.markdown.front_matter import OFFICIAL_KEYS, Settings
from quillmark_cli.input.schema import load_schema, validate

from test_cli import EXAMPLES, run


def convert(markdown, tmp_path=None, name="in.md"):
    """(elements, warnings) of a Markdown text."""
    data = textwrap.dedent(markdown).encode("utf-8")
    description, warnings = markdown_to_description(data, name, tmp_path or ".")
    return description["document"]["elements"], warnings


def texts(elements):
    return [e.get("text", [r["text"] for r in e.get("runs") or []]) for e in elements]


class TestMapping:
    def test_headings(self):
        elements, warnings = convert("""\
            # 标题
            ## 一级
            ### 二级
            #### 三级
            ##### 四级
            ###### 更深
            # 又一个标题
            """)
        assert [(e["type"], e["style_name"], e.get("level"), e["text"]) for e in elements] == [
            ("title", "公文标题", None, "标题"), ("header", "Heading 1", 1, "一级"),
            ("header", "Heading 2", 2, "二级"), ("header", "Heading 3", 3, "三级"), ("header", "Heading 4", 4, "四级"),
            ("header", "Heading 4", 4, "更深"), ("title", "公文标题", None, "又一个标题")]
        assert warnings == ["in.md:6: heading of level 6 written as level 4: headers go four levels deep"]

    def test_paragraphs_quotes_and_lines(self):
        elements, warnings = convert("""\
            第一行，
            第二行 and
            English text  
            after a hard break

            > 引用
            """)
        assert [(e["style_name"], e["text"]) for e in elements] == [
            ("正文", "第一行，第二行 and English text\nafter a hard break"), ("Quote Text", "引用")]
        assert warnings == []

    def test_lists(self):
        elements, _ = convert("""\
            3. 三
            4. 四
               - 子项
                 1) 孙项

               续段

            - 甲
            """)
        indent = "\u3000\u3000"
        assert texts(elements) == ["3. 三", "4. 四", indent + "\u2022 子项", indent * 2 + "1) 孙项", indent + "续段",
                                   "\u2022 甲"]
        assert {e["style_name"] for e in elements} == {"正文"}

    def test_emphasis_becomes_runs(self):
        elements, _ = convert("须于<u>**12月20日前**</u>完成，并将*报告*报送。")
        assert elements[0]["runs"] == [
            {"text": "须于"}, {"text": "12月20日前", "bold": True, "underline": True}, {"text": "完成，并将"},
            {"text": "报告", "italic": True}, {"text": "报送。"}]

    def test_links_stay_markdown_for_the_generator(self):
        elements, warnings = convert("见[附件🔗](https://a.example/x?a=1&b=2)和<https://b.example>。")
        assert elements[0]["text"] == "见[附件🔗](https://a.example/x?a=1&b=2)和[https://b.example](https://b.example)。"
        assert warnings == []

    @pytest.mark.parametrize("markdown", ["\\[a](b) literally", "code `[a](b)` span", "[a]\\(b)"])
    def test_text_the_link_pattern_would_misread_stays_literal(self, markdown):
        elements, _ = convert(markdown)
        assert "text" not in elements[0] and "[a](b)" in elements[0]["runs"][0]["text"]

    def test_styles_from_the_front_matter(self):
        elements, _ = convert("""\
            ---
            styles:
              paragraph: Body
              heading1: H
            ---
            ## h

            p
            """)
        assert [e["style_name"] for e in elements] == ["H", "Body"]


class TestWarnings:
    @pytest.mark.parametrize("markdown, warning, kept", [
        ("**粗体** 和 [链接](u)", "in.md:1: emphasis dropped: a paragraph with links cannot also carry bold or italic",
         ["粗体 和 [链接](u)"]),
        ("![流程图](chart.png)", "in.md:1: image chart.png skipped: the generator does not write images", ["流程图"]),
        ("```\ncode [a](b)\n\nline\n```", "in.md:1: code block written as plain paragraphs: the document model has "
                                           "no code", [["code [a](b)"], "", ["line"]]),
        ("| a | b |\n|---|---|\n| 1 | [l](u) |", "in.md:1: table written as plain paragraphs, one a row with cells "
                                                  "separated by tabs", [["a\tb"], ["1\tl (u)"]]),
        ("<div>x</div>", "in.md:1: HTML dropped: only <u>…</u> is understood", []),
        ("a <span>b</span>", "in.md:1: HTML <span> dropped: only <u>…</u> is understood", ["a b"]),
        ("---", "in.md:1: thematic break dropped: the document model has none", []),
        ("见注[^1]\n\n[^1]: 注释", "in.md:1: footnote reference [^1] written as plain text", ["见注[^1]", ["[^1]: 注释"]]),
    ])
    def test_what_the_model_cannot_hold_is_said(self, markdown, warning, kept):
        elements, warnings = convert(markdown)
        assert warnings[0] == warning
        assert texts(elements) == kept

    def test_an_image_becomes_an_element_the_generator_skips(self):
        elements, _ = convert("文字 ![图](p.png)")
        assert [(e["type"], e["text"]) for e in elements] == [("paragraph", "文字 "), ("image", "图")]

    def test_warnings_name_the_file_and_line_on_the_command_line(self, tmp_path):
        (tmp_path / "doc.md").write_text("# T\n\n正文\n\n![x](y.png)\n", encoding="utf-8")
        done = run("doc.md", cwd=tmp_path)
        assert done.returncode == 0
        assert done.stderr.splitlines()[0] == "doc.md:5: image y.png skipped: the generator does not write images"


class TestFrontMatter:
    def test_a_template_relative_to_the_file(self, tmp_path):
        (tmp_path / "sub").mkdir()
        template = {"styles": [{"name": "正文", "font": {"name": "宋体", "color": "000000", "size": 12}}]}
        (tmp_path / "sub" / "t.json").write_text(json.dumps(template), encoding="utf-8")
        (tmp_path / "sub" / "doc.md").write_text("---\ntemplate: t.json\n---\ntext\n", encoding="utf-8")
        done = run("sub/doc.md", "-o", "out.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        with zipfile.ZipFile(str(tmp_path / "out.docx")) as package:
            assert "宋体".encode("utf-8") in package.read("word/styles.xml")

    @pytest.mark.parametrize("front, message", [
        ("template: missing.json", "front matter: template: missing.json: cannot read: No such file or directory"),
        ("styles:\n  sidebar: X", "front matter: styles: unknown block kind 'sidebar' (expected one of title, "
                                  "heading1, heading2, heading3, heading4, paragraph, quote, list, code, table)"),
        ("title: x", "front matter: unexpected 'title' (expected template, markdown, styles, official)"),
        ("a: [", "front matter: not valid YAML"),
        ("markdown: maybe", "front matter: markdown: expected true or false"),
    ])
    def test_bad_front_matter_is_one_line_and_writes_nothing(self, tmp_path, front, message):
        (tmp_path / "doc.md").write_text("---\n%s\n---\ntext\n" % front, encoding="utf-8")
        done = run("doc.md", cwd=tmp_path)
        assert done.returncode == 2
        assert len(done.stderr.splitlines()) == 1 and done.stderr.startswith("doc.md: " + message)
        assert sorted(p.name for p in tmp_path.iterdir()) == ["doc.md"]


    @pytest.mark.parametrize("front, named", [
        ("# the template is the bundled one\nmarkdown: true", None),
        ("template: t.json", "t.json"),
        ("  # template\n{template: t.json}", "t.json"),
        ('"templat\\x65": t.json', "t.json"),
        ("? template\n: t.json", "t.json"),
    ])
    def test_the_template_a_front_matter_names_is_found_however_it_is_written(self, front, named):
        from quillmark_cli.input.markdown.front_matter import front_matter_template

        assert front_matter_template("---\n%s\n---\n\n# 标题\n" % front) == named

class TestCommand:
    def test_the_notice_in_markdown_is_the_notice_in_json(self, tmp_path):
        for name in ("notice.md", "notice.json"):
            done = run(EXAMPLES / name, "-o", tmp_path / (name + ".docx"), cwd=tmp_path)
            assert done.returncode == 0, done.stderr
        documents = [zipfile.ZipFile(str(tmp_path / name)).read("word/document.xml")
                     for name in ("notice.md.docx", "notice.json.docx")]
        assert documents[0] == documents[1]

    def test_print_json_gives_a_valid_description(self, tmp_path):
        done = run(EXAMPLES / "notice.md", "--print-json", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        description = json.loads(done.stdout)
        jsonschema.validate(description, load_schema())
        expected = json.loads((EXAMPLES / "notice.json").read_text(encoding="utf-8"))["document"]["elements"]

        def outline(elements):
            return [(e["type"], e["style_name"], e.get("level"), e.get("text")) for e in elements]

        assert outline(description["document"]["elements"]) == outline(expected)
        assert list(tmp_path.iterdir()) == []

    def test_markdown_on_standard_input(self, tmp_path):
        done = subprocess.run([sys.executable, "-m", "quillmark_cli", "-", "--from", "markdown", "-o", "-"],
                              input="# 标题\n\n正文 [链接](https://a.example)\n".encode("utf-8"),
                              capture_output=True, cwd=str(tmp_path), timeout=120)
        assert done.returncode == 0, done.stderr
        with zipfile.ZipFile(io.BytesIO(done.stdout)) as package:
            assert b"w:hyperlink" in package.read("word/document.xml")


@settings(max_examples=2000, deadline=None)
@given(st.text(alphabet=st.sampled_from(list("[]()a\n")), max_size=30))
def test_the_command_finds_links_as_the_generator_s_pattern_does(text):
    pattern = re.compile(r"\[([^\]]+)\]\(([^)]+)\)")
    assert list(iter_links(text)) == [(m.start(), m.end(), m.group(1), m.group(2)) for m in pattern.finditer(text)]


_yaml_scalars = st.one_of(st.text(max_size=8), st.sampled_from(["2026-12-08", "2026年12月8日", "2026-2-30", ""]),
                          st.integers(), st.booleans(), st.none(), st.dates(), st.floats(allow_nan=False))


@settings(max_examples=1500, deadline=None)
@given(st.dictionaries(st.sampled_from(OFFICIAL_KEYS + ("seal",)),
                       st.one_of(_yaml_scalars, st.lists(_yaml_scalars, max_size=3)), max_size=5))
def test_what_front_matter_accepts_as_official_the_schema_accepts(data):
    """The front matter's official mapping is checked as it is read, and
    not validated again: it must refuse all the schema refuses."""
    front_matter = Settings(Path("."), None)
    try:
        front_matter.read({"official": data})
    except InputError:
        return
    validate(front_matter.official, "official")
