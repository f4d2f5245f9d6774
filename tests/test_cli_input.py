"""Bad input through the installed command: characters a Word document cannot
hold, encodings, numbers and patterns the schema lets through, Markdown the
parser would drop or misread, and style names of the wrong kind. Each is one
line naming its place, exit status 2, and nothing written."""

import codecs
import json
import subprocess
import sys
import textwrap
import zipfile

import pytest
from quillmark_cli.input.schema import load_schema

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


def front_matter(lines):
    return "---\n%s\n---\n\n正文\n" % lines


class TestPatterns:
    # Each pattern of the schema, with a place in an input and a value it
    # matches.
    PLACES = {
        "^A4$": (("template", "page", "paper"), "A4"),
        "^[0-9A-Fa-f]{6}$": (("template", "styles", 0, "font", "color"), "00aaFF"),
        "^[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}$|^[0-9]{4}年[0-9]{1,2}月[0-9]{1,2}日$": (("official", "printed_on"),
                                                                                 "2026-12-08"),
    }

    @staticmethod
    def patterns(node):
        if isinstance(node, dict):
            if isinstance(node.get("pattern"), str):
                yield node["pattern"], node.get("x-expected")
            for value in node.values():
                yield from TestPatterns.patterns(value)
        elif isinstance(node, list):
            for value in node:
                yield from TestPatterns.patterns(value)

    @staticmethod
    def placed(path, value):
        data = minimal()
        node = data
        for key in path[:-1]:
            if isinstance(node, dict):
                node = node.setdefault(key, {})
            else:
                node = node[key]
        node[path[-1]] = value
        return data

    def test_no_pattern_matches_before_a_final_newline(self, tmp_path):
        found = dict(self.patterns(load_schema()))
        assert set(found) == set(self.PLACES)  # a new pattern needs its case here
        for pattern, (path, value) in self.PLACES.items():
            place = ".".join(str(key) for key in path).replace(".0.", "[0].")
            source = write_json(tmp_path / "good.json", self.placed(path, value))
            done = run(source, "-o", "good.docx", cwd=tmp_path)
            assert done.returncode == 0, done.stderr
            refused(tmp_path, "in.json", json.dumps(self.placed(path, value + "\n")),
                    "%s: expected %s" % (place, found[pattern]))


class TestDates:
    @pytest.mark.parametrize("lines, message", [
        ("official:\n  printed_on: 2026-02-30", "official: printed_on: no such date: February 2026 has 28 days"),
        ("official:\n  printed_on: '2026-2-29'", "official: printed_on: no such date: February 2026 has 28 days"),
        ("official:\n  printed_on: 2025年4月31日", "official: printed_on: no such date: April 2025 has 30 days"),
        ("official:\n  printed_on: '0000-01-01'", "official: printed_on: no such date: there is no year 0"),
        ("official:\n  printed_on: December 8, 2026",
         "official: printed_on: expected a date (2026年12月8日 or 2026-12-08), got 'December 8, 2026'"),
        ("official:\n  printed_on: 2026-01-01 25:00:00",
         "official: printed_on: expected a date (2026年12月8日 or 2026-12-08), got 2026-01-01 25:00:00, written as "
         "a date, but there is no such time of day"),
        ("official:\n  number: 2026-13-01",
         "official: number: expected text, got 2026-13-01, written as a date, but there is no month 13 (put it in "
         "quotes)"),
        ("official:\n  number: 2026-12-08", "official: number: expected text, got the date 2026-12-08 (put it in "
                                            "quotes)"),
        ("official:\n  copies_to: [某局, 2026-12-08]",
         "official: copies_to: expected text, got the date 2026-12-08 (put it in quotes)"),
        ("official:\n  signer: yes", "official: signer: expected text, got true (put it in quotes)"),
        ("markdown: 2026-02-30", "markdown: expected true or false"),
        ("2026-02-30: x", "unexpected '2026-02-30' (expected template, markdown, styles, official)"),
        ("official:\n  signer: !!int abc", "not valid YAML (line 3): 'abc' cannot be read as int"),
        ("official:\n  signer: !!timestamp soon", "not valid YAML (line 3): 'soon' is not a date"),
    ], ids=["impossible YAML date", "quoted", "written form", "year 0", "words", "impossible time",
            "impossible date as text", "date as text", "date in a list", "YAML's yes", "markdown", "as a key",
            "bad tag", "bad timestamp tag"])
    def test_in_front_matter_each_gets_its_place(self, tmp_path, lines, message):
        refused(tmp_path, "in.md", front_matter(lines), "front matter: " + message)

    @pytest.mark.parametrize("printed_on, message", [
        ("2026-02-30", "no such date: February 2026 has 28 days"),
        ("2026年13月1日", "no such date: there is no month 13"),
        ("2026-12-00", "no such date: there is no day 0"),
        ("December 8, 2026", "expected a date (2026年12月8日 or 2026-12-08)"),
        (" 2026-12-08", "expected a date (2026年12月8日 or 2026-12-08)"),
        ("２０２６-12-08", "expected a date (2026年12月8日 or 2026-12-08)"),
    ])
    def test_in_json_with_its_path(self, tmp_path, printed_on, message):
        refused(tmp_path, "in.json", json.dumps(minimal(official={"printed_on": printed_on})),
                "official.printed_on: " + message)

    @pytest.mark.parametrize("printed_on", ["2026-12-08", "2026-12-8", "2026年12月08日", "2026年12月8日"])
    def test_a_date_is_written_as_the_standard_writes_it(self, tmp_path, printed_on):
        source = write_json(tmp_path / "in.json", minimal(official={"printed_by": "某局", "printed_on": printed_on}))
        done = run(source, "-o", "out.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        with zipfile.ZipFile(str(tmp_path / "out.docx")) as package:
            assert "2026年12月8日印发" in package.read("word/document.xml").decode("utf-8")

    def test_aliases_of_aliases_are_read_once(self, tmp_path):
        """Nine aliases of nine lists, eight deep, stand for 387 million
        strings: each list is read once."""
        lines = ["styles:", "  x0: &a0 [%s]" % ", ".join(["x"] * 9)]
        lines += ["  x%d: &a%d [%s]" % (i, i, ", ".join(["*a%d" % (i - 1)] * 9)) for i in range(1, 9)]
        refused(tmp_path, "in.md", front_matter("\n".join(lines)),
                "front matter: styles: unknown block kind 'x0' (expected one of title, heading1, heading2, "
                "heading3, heading4, paragraph, quote, list, code, table)")

    def test_a_batch_goes_on_after_an_impossible_date(self, tmp_path):
        (tmp_path / "bad.md").write_text(front_matter("official:\n  number: 2026-02-30"), encoding="utf-8")
        (tmp_path / "good.md").write_text(front_matter("official:\n  printed_on: 2026-02-28"), encoding="utf-8")
        done = run("bad.md", "good.md", "-d", "out", cwd=tmp_path)
        assert done.returncode == 2
        assert done.stderr.splitlines()[0].startswith("bad.md: front matter: official: number: expected text")
        assert sorted(p.name for p in (tmp_path / "out").iterdir()) == ["good.docx"]


class TestLimits:
    def test_markdown_with_too_much_markup_is_refused_unparsed(self, tmp_path):
        refused(tmp_path, "in.md", "[a](b) " * 250001, "more than 250,000 lines and markup characters "
                                                        "([ < * _ ` | \\ &) together: the limit for a Markdown input")

    def test_json_of_too_many_values_is_refused_unparsed(self, tmp_path):
        refused(tmp_path, "in.json", '{"document": {"elements": [%s]}}' % ",".join(["0"] * 1000001),
                "more than 1,000,000 values: the limit for a JSON file")

    @pytest.mark.parametrize("elements", [
        [{"type": "paragraph"}] * 100001,
        [{"type": "paragraph", "runs": [{"text": "a"}] * 50000}] * 2,
        [{"type": "paragraph", "text": "[a](b) " * 50001}] * 2,
    ], ids=["paragraphs", "runs", "links"])
    def test_a_document_of_too_many_parts_is_refused(self, tmp_path, elements):
        refused(tmp_path, "in.json", json.dumps(minimal(elements)),
                "document: more than 100,000 paragraphs, runs and links together: the limit for one document")

    def test_a_document_at_the_limit_is_converted(self, tmp_path):
        source = write_json(tmp_path / "in.json", minimal([{"type": "paragraph", "style_name": "正文",
                                                            "text": "[a](b) " * 49999}] * 2))
        done = run(source, "-o", "out.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr

    def test_running_out_of_memory_is_one_line_and_a_batch_goes_on(self, tmp_path):
        # The command with 64 MiB more address space than it has once its
        # modules are imported, and an input whose parse needs more.
        script = textwrap.dedent("""\
            import resource, sys
            import quillmark_cli.conversion, quillmark_cli.input.markdown.converter, quillmark_cli.input.loading
            import quillmark_cli.official.layout, tolvek.doc.generator.generate.generators.quillmark
            from quillmark_cli.main import main
            with open("/proc/self/status") as status:
                size = next(int(line.split()[1]) for line in status if line.startswith("VmSize:"))
            limit = size * 1024 + 64 * 2 ** 20
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
            sys.exit(main(sys.argv[1:]))
            """)
        (tmp_path / "big.md").write_text("a\n" * 240000, encoding="utf-8")
        (tmp_path / "small.md").write_text("# 标题\n\n正文\n", encoding="utf-8")
        done = subprocess.run([sys.executable, "-c", script, "big.md", "small.md", "-d", "out", "-j", "1"],
                              cwd=str(tmp_path), capture_output=True, text=True, timeout=300)
        assert (done.returncode, done.stderr.splitlines()) == (1, [
            "big.md: out of memory converting it", "converted 1 of 2 documents into out, 1 failed"])
        assert [p.name for p in (tmp_path / "out").iterdir()] == ["small.docx"]
