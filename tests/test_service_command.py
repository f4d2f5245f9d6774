"""`quillmark serve` beside the command's inputs: the first word `serve`
starts the server, every other input is converted as before (a file named
serve is ./serve), and where the server cannot run it says why."""

import json
import shutil
import sys

import pytest

from test_cli import EXAMPLES, minimal, paragraphs, run


def test_serve_md_and_a_file_named_serve_are_still_inputs(tmp_path):
    shutil.copy(str(EXAMPLES / "notice.md"), str(tmp_path / "serve.md"))
    (tmp_path / "serve").write_text(json.dumps(minimal()), encoding="utf-8")
    assert run("serve.md", "-o", "a.docx", cwd=tmp_path).returncode == 0
    assert run("./serve", "-o", "b.docx", cwd=tmp_path).returncode == 0
    assert paragraphs(tmp_path / "a.docx") and paragraphs(tmp_path / "b.docx") == ["see [a](https://a.example)"]
    assert "./serve" in run("--help", cwd=tmp_path).stdout


def test_serve_has_its_own_help_and_usage_errors(tmp_path):
    helped = run("serve", "--help", cwd=tmp_path)
    assert helped.returncode == 0 and helped.stdout.startswith("usage: quillmark serve")
    assert "--max-body" in helped.stdout and "--workers" in helped.stdout
    wrong = run("serve", "--port", "eighty", cwd=tmp_path)
    assert wrong.returncode == 2 and "--port: expected a whole number, got eighty" in wrong.stderr
    assert run("serve", "--max-body", "2X", cwd=tmp_path).returncode == 2


@pytest.mark.skipif(sys.version_info >= (3, 9), reason="Python 3.8 only: the server runs on later versions")
def test_on_python_3_8_serve_says_which_python_it_needs(tmp_path):
    done = run("serve", cwd=tmp_path)
    assert done.returncode == 1
    assert done.stderr == "quillmark serve: needs Python 3.9 or later (its web libraries do); this is 3.8\n"
