"""The quillmark command, run as a user runs it."""

import json
import os
import subprocess
import sys
import zipfile
from pathlib import Path

import docx
import pytest

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"
COMMAND = Path(sys.executable).with_name("quillmark")


def run(*args, cwd):
    return subprocess.run([sys.executable, "-m", "quillmark_cli", *map(str, args)], cwd=str(cwd),
                          capture_output=True, text=True, timeout=120)


def minimal(elements=None, **extra):
    data = {
        "template": {"styles": [{"name": "正文", "font": {"name": "宋体", "color": "000000", "size": 12}}]},
        "document": {"elements": elements if elements is not None else [
            {"type": "paragraph", "style_name": "正文", "text": "see [a](https://a.example)"}]},
    }
    data.update(extra)
    return data


def write_json(path, data):
    path.write_text(json.dumps(data, ensure_ascii=False), encoding="utf-8")
    return path


def body(path):
    with zipfile.ZipFile(str(path)) as package:
        return package.read("word/document.xml")


def paragraphs(path):
    return [p.text for p in docx.Document(str(path)).paragraphs]


class TestConversion:
    def test_the_bundled_example_is_the_official_notice(self, tmp_path):
        done = subprocess.run([str(COMMAND)], cwd=str(tmp_path), capture_output=True, text=True, timeout=120)
        assert done.returncode == 0, done.stderr
        assert "wrote output.docx" in done.stderr
        doc = docx.Document(str(tmp_path / "output.docx"))
        section = doc.sections[0]
        assert (round(section.page_width.mm), round(section.page_height.mm)) == (210, 297)
        texts = [p.text for p in doc.paragraphs]
        assert texts[0] == "某市应急管理局文件" and "关于开展2026年度安全生产检查工作的通知" in texts
        assert "PAGE" in section.footer._element.xml
        assert doc.tables and doc.tables[-1].cell(0, 0).text.startswith("抄送：")
        # It is examples/notice.md, converted with the template it names.
        assert run(EXAMPLES / "notice.md", "-o", tmp_path / "notice.docx", cwd=tmp_path).returncode == 0
        assert body(tmp_path / "output.docx") == body(tmp_path / "notice.docx")

    def test_one_input_to_a_chosen_path(self, tmp_path):
        done = run(EXAMPLES / "notice.json", "-o", tmp_path / "notice.docx", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        doc = docx.Document(str(tmp_path / "notice.docx"))
        assert [p.style.name for p in doc.paragraphs if p.text.startswith("关于")] == ["公文标题"]
        assert any(p.hyperlinks for p in doc.paragraphs)

    def test_several_inputs_with_a_shared_template(self, tmp_path):
        done = run(EXAMPLES / "notice.json", EXAMPLES / "english.json", "-t", EXAMPLES / "official-template.json",
                   "-d", tmp_path / "out", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert sorted(os.listdir(str(tmp_path / "out"))) == ["english.docx", "notice.docx"]
        assert "converted 2 of 2 documents" in done.stderr
        english = docx.Document(str(tmp_path / "out" / "english.docx"))
        assert "落款" in [s.name for s in english.styles]  # the shared template's, not the file's own

    @pytest.mark.parametrize("flag, links", [("--markdown", 1), ("--no-markdown", 0)])
    def test_markdown_can_be_overridden(self, tmp_path, flag, links):
        source = write_json(tmp_path / "in.json", minimal(config={"markdown": not links}))
        assert run(source, flag, cwd=tmp_path).returncode == 0
        doc = docx.Document(str(tmp_path / "output.docx"))
        assert len(doc.paragraphs[0].hyperlinks) == links

    def test_print_schema(self, tmp_path):
        done = run("--print-schema", cwd=tmp_path)
        assert json.loads(done.stdout)["title"] == "quillmark input"


class TestBadInput:
    @pytest.mark.parametrize("content, message", [
        ('{"document": ', "in.json: line 1 column 14: Expecting value"),
        (json.dumps(minimal([{"type": "header", "level": "2"}])),
         "in.json: document.elements[0].level: expected an integer or null"),
        (json.dumps(minimal([{"type": "paragraph", "txt": "x"}])), "in.json: document.elements[0]: unexpected 'txt'"),
        (json.dumps(minimal([{"text": "x"}])), "in.json: document.elements[0]: missing 'type'"),
        (json.dumps({"document": {"elements": []}}), "in.json: template: missing"),
        (json.dumps(dict(minimal(), template={"styles": [
            {"name": "x", "font": {"name": "f", "color": "#000000", "size": 1}}]})),
         "in.json: template.styles[0].font.color: expected six hexadecimal digits"),
        (json.dumps(dict(minimal(), template={"styles": [
            {"name": "x", "font": {"name": "f", "color": "000000", "size": 1}, "p_format": {"alignment": "middle"}}]})),
         'in.json: template.styles[0].p_format.alignment: expected one of "left", "center"'),
    ])
    def test_one_clear_line_and_status_2(self, tmp_path, content, message):
        (tmp_path / "in.json").write_text(content, encoding="utf-8")
        done = run("in.json", cwd=tmp_path)
        assert done.returncode == 2
        assert done.stderr.startswith(message), done.stderr
        assert len(done.stderr.splitlines()) == 1
        assert not (tmp_path / "output.docx").exists()

    def test_a_missing_file(self, tmp_path):
        done = run("absent.json", cwd=tmp_path)
        assert done.returncode == 2 and done.stderr.startswith("absent.json: cannot read")

    def test_several_inputs_need_an_output_directory(self, tmp_path):
        assert run("a.json", "b.json", cwd=tmp_path).returncode == 2

    def test_a_generator_error_is_reported_with_its_type_and_status_1(self, tmp_path):
        style = {"name": "正文", "font": {"name": "f", "color": "000000", "size": 10}}
        source = write_json(tmp_path / "in.json", dict(minimal(), template={"styles": [style, style]}))
        done = run(source, cwd=tmp_path)
        assert done.returncode == 1
        assert done.stderr.strip() == "%s: ValueError: document already contains style 'Tv正文'" % source

    def test_a_failed_run_leaves_an_existing_output_untouched(self, tmp_path):
        target = tmp_path / "keep.docx"
        target.write_bytes(b"previous")
        source = write_json(tmp_path / "in.json", minimal([{"type": "header", "level": 0}]))
        assert run(source, "-o", target, cwd=tmp_path).returncode == 2
        style = {"name": "正文", "font": {"name": "f", "color": "000000", "size": 10}}
        source = write_json(tmp_path / "in.json", dict(minimal(), template={"styles": [style, style]}))
        assert run(source, "-o", target, cwd=tmp_path).returncode == 1
        assert target.read_bytes() == b"previous"
        assert sorted(os.listdir(str(tmp_path))) == ["in.json", "keep.docx"]

    def test_a_batch_goes_on_after_a_bad_input(self, tmp_path):
        good = write_json(tmp_path / "good.json", minimal())
        bad = write_json(tmp_path / "bad.json", minimal([{"type": 1}]))
        done = run(bad, good, "-d", tmp_path / "out", cwd=tmp_path)
        assert done.returncode == 2
        assert os.listdir(str(tmp_path / "out")) == ["good.docx"]
        assert "converted 1 of 2 documents" in done.stderr and "1 failed" in done.stderr
