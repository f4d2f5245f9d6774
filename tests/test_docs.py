"""The README and the manual say what is true: every fenced block marked
`<!-- runs in tests/test_docs.py -->` runs as a reader would run it from the
top of a checkout (Python with the installed modules, shell commands with the
installed quillmark command), and every package it writes validates; the
README's links lead to files. (The manual's own links are checked by
`mkdocs build --strict`.)"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from schema import assert_schema_valid

ROOT = Path(__file__).resolve().parent.parent
PAGES = [ROOT / "README.md"] + sorted((ROOT / "docs").rglob("*.md"))
MARK = "<!-- runs in tests/test_docs.py -->"
MARKED_BLOCK = re.compile(re.escape(MARK) + r"\n```(\w+)\n(.*?)\n```\n", re.S)
# LibreOffice does not start with a sanitizer's runtime preloaded.
RENDERS = shutil.which("soffice") is not None and "asan" not in os.environ.get("LD_PRELOAD", "")


def marked_blocks():
    for page in PAGES:
        text = page.read_text(encoding="utf-8")
        for found in MARKED_BLOCK.finditer(text):
            line = text.count("\n", 0, found.start()) + 2
            yield pytest.param(found.group(1), found.group(2), id="%s:%d" % (page.relative_to(ROOT), line))


BLOCKS = list(marked_blocks())


def test_the_marked_blocks_are_found():
    # A mark the pattern misses would leave its block unchecked.
    marks = sum(page.read_text(encoding="utf-8").count(MARK) for page in PAGES)
    assert len(BLOCKS) == marks
    readme = [block.id for block in BLOCKS if block.id.startswith("README.md")]
    assert len(readme) >= 3


@pytest.mark.parametrize("language, code", BLOCKS)
def test_the_example_runs(language, code, tmp_path):
    shutil.copytree(str(ROOT / "examples"), str(tmp_path / "examples"))  # links copied as the files they name
    if language == "python":
        command = [sys.executable, "-c", code]
    else:
        assert language == "sh"
        if not RENDERS:
            code = "\n".join(line for line in code.splitlines() if ".pdf" not in line)
        command = ["bash", "-e", "-u", "-o", "pipefail", "-c", code]
    env = dict(os.environ, PATH=os.path.dirname(sys.executable) + os.pathsep + os.environ["PATH"])
    done = subprocess.run(command, cwd=str(tmp_path), env=env, capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stderr
    assert "Traceback" not in done.stderr
    written = [path for path in tmp_path.rglob("*") if path.suffix in (".docx", ".pdf")]
    assert written, "the example wrote nothing"
    for path in written:
        if path.suffix == ".docx":
            assert_schema_valid(path.read_bytes())
        else:
            assert path.read_bytes().startswith(b"%PDF")


def test_the_readme_links_lead_to_files():
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    targets = [target for target in re.findall(r"\]\(([^)\s]+)\)", text) if "://" not in target]
    assert targets
    for target in targets:
        assert (ROOT / target.split("#")[0]).exists(), target
