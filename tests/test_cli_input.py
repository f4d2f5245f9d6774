"""Bad input through the installed command: characters a Word document cannot
hold, encodings, numbers and patterns the schema lets through, Markdown the
parser would drop or misread, and style names of the wrong kind. Each is one
line naming its place, exit status 2, and nothing written."""

import codecs
import json
import zipfile

import pytest

from test_cli import minimal, run, write_json


def refused(tmp_path, name, content, message):
    path = tmp_path / name
    if isinstance(content, bytes):
        path.write_bytes(content)
    else:
        path.write_text(content, encoding="utf-8")
    done = run(name, cwd=tmp_path)
    assert (done.returncode, done.stderr) == (2, "%s: %s\n" % (name, message))
    assert not (tmp_path / "output.docx").exists()


def with_link(text):
    return minimal([{"type": "paragraph", "style_name": "正文", "text": text}])


class TestCharacters:
    @pytest.mark.parametrize("data, message", [
        (with_link("a\x00b"), "document.elements[0].text: U+0000 cannot be written into a Word document (character 2)"),
        (with_link("[a](u\x1f)"), "document.elements[0].text: U+001F cannot be written into a Word document "
                                   "(character 6)"),
        (minimal([{"type": "paragraph", "runs": [{"text": "ok"}, {"text": "\ufffe"}]}]),
         "document.elements[0].runs[1].text: U+FFFE cannot be written into a Word document (character 1)"),
        (minimal([{"type": "paragraph", "style_name": "\x0b", "text": "x"}]),
         "document.elements[0].style_name: U+000B cannot be written into a Word document (character 1)"),
        (dict(minimal(), template={"styles": [{"name": "正文", "font": {"name": "宋\ud800", "color": "000000",
                                                                        "size": 12}}]}),
         "template.styles[0].font.name: U+D800 cannot be written into a Word document (character 2)"),
    ], ids=["NUL", "link target", "U+FFFE in a run", "style name", "lone surrogate in a font name"])
    def test_in_json_with_its_path(self, tmp_path, data, message):
        refused(tmp_path, "in.json", json.dumps(data), message)

    @pytest.mark.parametrize("markdown, message", [
        ("# T\n\nok\nbad \x01 here\n", "line 4 column 5: U+0001 cannot be written into a Word document"),
        ("# T\n\nform &#12; feed\n", "line 3: U+000C cannot be written into a Word document (character 6)"),
        ("---\nstyles:\n  paragraph: \"x\\u0002\"\n---\ntext\n",
         "front matter: styles: paragraph: U+0002 cannot be written into a Word document (character 2)"),
    ], ids=["raw", "character reference", "front matter"])
    def test_in_markdown_with_its_line(self, tmp_path, markdown, message):
        refused(tmp_path, "in.md", markdown, message)


class TestEncodings:
    def test_text_that_is_not_utf8_is_placed(self, tmp_path):
        refused(tmp_path, "in.json", b'{\n  "document": "\xe4\xb8\xad\xff"}', "line 2 column 17: not UTF-8 text "
                                                                             "(byte 0xff)")

    @pytest.mark.parametrize("codec", ["utf-16", "utf-32", "utf-8-sig"])
    def test_unicode_with_a_byte_order_mark_is_read(self, tmp_path, codec):
        source = tmp_path / "in.json"
        source.write_bytes(json.dumps(with_link("中文"), ensure_ascii=False).encode(codec))
        assert run(source, cwd=tmp_path).returncode == 0

    def test_utf16_without_a_byte_order_mark_is_named(self, tmp_path):
        refused(tmp_path, "in.json", json.dumps(minimal()).encode("utf-16-le"),
                "UTF-16 or UTF-32 text without a byte-order mark: save it as UTF-8")
        assert codecs.BOM_UTF16_LE not in json.dumps(minimal()).encode("utf-16-le")[:2]


class TestSchemaGaps:
    def test_an_integral_float_level_is_an_integer(self, tmp_path):
        header = {"type": "header", "style_name": "正文", "text": "h", "level": 1}
        packages = []
        for level in ("1", "1.0"):
            source = tmp_path / ("level%s.json" % level)
            source.write_text(json.dumps(minimal([header])).replace('"level": 1', '"level": ' + level))
            done = run(source, "-o", tmp_path / (source.stem + ".docx"), cwd=tmp_path)
            assert done.returncode == 0, done.stderr
            packages.append(zipfile.ZipFile(str(tmp_path / (source.stem + ".docx"))).read("word/document.xml"))
        assert packages[0] == packages[1]

    def test_a_pattern_matches_the_whole_string(self, tmp_path):
        data = minimal()
        data["template"]["styles"][0]["font"]["color"] = "000000\n"
        refused(tmp_path, "in.json", json.dumps(data),
                "template.styles[0].font.color: expected six hexadecimal digits (RRGGBB, no '#')")

    def test_problems_are_reported_in_the_order_of_the_file(self, tmp_path):
        data = minimal([{"type": "header", "style_name": "正文", "text": "h", "level": 1}])
        data["template"]["styles"][0]["font"]["color"] = "#000000"
        text = json.dumps(data).replace('"level": 1', '"level": NaN')
        refused(tmp_path, "in.json", text,
                "template.styles[0].font.color: expected six hexadecimal digits (RRGGBB, no '#')")

    @pytest.mark.parametrize("name, kind", [("Default Paragraph Font", "a character"), ("Table Grid", "a table"),
                                            ("No List", "a numbering"), ("Intense Emphasis", "a character")])
    def test_a_style_name_word_uses_for_another_kind(self, tmp_path, name, kind):
        data = minimal()
        data["template"]["styles"].append({"name": name, "font": {"name": "宋体", "color": "000000", "size": 9}})
        refused(tmp_path, "in.json", json.dumps(data),
                "template.styles[1].name: %r names %s style of Word's default template; a template style must be "
                "a paragraph style: choose another name" % (name, kind))


class TestMarkdown:
    @pytest.mark.parametrize("markdown, line", [
        ("> " * 20 + "deep quote\n", 1),
        ("text\n\n" + "".join("  " * i + "- item %d\n" % i for i in range(10)), 12),
    ], ids=["block quotes", "lists"])
    def test_nesting_the_parser_would_drop_is_refused(self, tmp_path, markdown, line):
        refused(tmp_path, "in.md", markdown, "line %d: block quotes and lists nested too deeply to be read (at "
                                             "most 19 block quotes or 9 lists, one inside another)" % line)

    def test_deep_inline_nesting_keeps_its_text(self, tmp_path):
        markdown = "*" * 40 + "strong" + "*" * 40 + " " + "[" * 40 + "x" + "]" * 40 + "(u) end\n"
        (tmp_path / "in.md").write_text("> " * 19 + "quoted\n\n" + markdown, encoding="utf-8")
        done = run("in.md", "--print-json", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        text = json.dumps(json.loads(done.stdout)["document"], ensure_ascii=False)
        assert all(word in text for word in ("quoted", "strong", "[" * 40 + "x" + "]" * 40 + "(u) end"))

    @pytest.mark.parametrize("front", ["hello", "- a\n- b", "just: [broken"])
    def test_lines_between_rules_that_are_not_a_mapping_are_markdown(self, tmp_path, front):
        (tmp_path / "in.md").write_text("---\n%s\n---\ntext\n" % front, encoding="utf-8")
        done = run("in.md", "--print-json", cwd=tmp_path)
        if front == "just: [broken":  # broken YAML that begins like front matter is an error
            assert done.returncode == 2 and done.stderr.startswith("in.md: front matter: not valid YAML")
            return
        assert done.returncode == 0, done.stderr
        assert done.stderr.splitlines()[0] == ("in.md:1: the lines between the --- lines are not front matter "
                                               "(not a YAML mapping): read as Markdown")
        assert "text" in done.stdout

    def test_warnings_name_the_line_of_the_construct(self, tmp_path):
        (tmp_path / "in.md").write_text("first line\nsecond <span>x</span>\nthird ![i](p.png)\n", encoding="utf-8")
        done = run("in.md", "--print-json", cwd=tmp_path)
        assert [line.split(": ")[0] for line in done.stderr.splitlines()] == ["in.md:2", "in.md:2", "in.md:3"]
