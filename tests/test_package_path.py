"""generate's package path: the package's bytes written directly, identical to
the element path's and the faithful path's to the last byte of the container
(with zipfile's clock stopped), and left for them whenever a guard cannot
vouch for that. The direct element path is reached by giving the elements as
an iterator, which the package path does not take."""

import copy
import gc
import os
import shutil
import subprocess
import sys
import threading
import zipfile
from pathlib import Path

import docx
import docx.opc.pkgwriter
import pytest

import tolvek.doc.generator.generate.generators.quillmark as quillmark_module
from helpers import (
    Config, Document, FaithfulQuillmark, Quillmark, Run, Template, default_styles_template, frozen_clock, header,
    official_template, paragraph, style, title,
)
from test_robustness import THOROUGH, PyQuillmark

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "bench"))
from benchmark import document as notice_document, template as notice_template  # noqa: E402


def every_way(items, template, markdown=True):
    """The package bytes from the package path, the direct element path, the
    faithful path and the plain-Python generator."""
    config = Config(markdown=markdown)
    with frozen_clock():
        return [
            Quillmark(config).generate(Document(list(items)), template).data,
            Quillmark(config).generate(Document(iter(list(items))), template).data,
            FaithfulQuillmark(config).generate(Document(list(items)), template).data,
            PyQuillmark(config).generate(Document(list(items)), template).data,
        ]


def many_styles(count):
    """`count` styles of their own, and the fallback body style."""
    return Template(styles=[style("样式%d" % i, size=10 + i % 7, bold=bool(i % 2) or None, line_spacing=12 + i,
                                  first_line_indent=i) for i in range(count)] + [style("正文")])


def load_example(name):
    from quillmark_cli.input.loading import load_input

    return load_input(HERE.parent / "examples" / name)[:3]


@pytest.mark.parametrize("shape", ["notice of 10", "notice of 300", "0 styles", "1 style", "30 styles",
                                   "default styles", "notice.json", "english.json", "default.json"])
def test_the_ways_give_the_same_bytes(shape):
    if shape == "default styles":  # every default paragraph style edited in place
        template, markdown = default_styles_template(), True
        items = [title("标题"), header("一", 1), header("二", 3, "Heading 3"), paragraph("副", "Subtitle"),
                 paragraph("引 [链接](https://a.example)", "Quote")]
    elif shape.endswith(".json"):
        config, document, template = load_example(shape)
        items, markdown = list(document.elements), config.markdown
    elif shape.startswith("notice"):
        items, template, markdown = notice_document(int(shape.split()[-1])).elements, notice_template(), True
    else:
        count = int(shape.split()[0])
        items = [title("标题"), header("一", 1), paragraph("正文 [链接](https://a.example)", "样式0"),
                 paragraph(runs=[Run("粗", bold=True)], style_name="样式%d" % max(count - 1, 0))]
        template, markdown = many_styles(count), True
    packages = every_way(items, template, markdown)
    assert packages[1:] == packages[:1] * 3


def test_a_template_is_shared_only_while_its_values_are_the_same():
    generator, template = Quillmark(Config(markdown=True)), official_template()
    items = [title("题"), paragraph("文 [链](u)"), header("节", 1)]
    with frozen_clock():
        first = generator.generate(Document(items), template).data
        assert generator.generate(Document(items), template).data == first  # the same object again
        assert generator.generate(Document(items), copy.deepcopy(template)).data == first  # equal in value
        template.styles[0].font.size = 30  # changed between two calls
        changed = generator.generate(Document(items), template).data
        assert changed != first
        assert changed == FaithfulQuillmark(Config(markdown=True)).generate(Document(items), template).data


def test_a_template_that_raises_raises_every_time():
    bad = Template(styles=official_template().styles + [style("坏", color="#12345")])
    outcomes = []
    for generator in (Quillmark, Quillmark, FaithfulQuillmark):
        with pytest.raises(ValueError) as raised:
            generator(Config(markdown=True)).generate(Document([paragraph("x")]), bad)
        outcomes.append(str(raised.value))
    assert len(set(outcomes)) == 1


@pytest.mark.parametrize("replaced", ["zipfile writestr", "zlib compressobj", "package writer", "module re",
                                      "model property"])
def test_a_broken_guard_takes_a_slower_path_with_the_same_result(monkeypatch, replaced):
    items, template = notice_document(40).elements, notice_template()
    with frozen_clock():
        expected = Quillmark(Config(markdown=True)).generate(Document(list(items)), template).data
    calls = []

    def counting(function):
        def wrapper(*args, **kwargs):
            calls.append(replaced)
            return function(*args, **kwargs)
        return wrapper

    if replaced == "zipfile writestr":
        monkeypatch.setattr(zipfile.ZipFile, "writestr", counting(zipfile.ZipFile.writestr))
    elif replaced == "zlib compressobj":
        monkeypatch.setattr(zipfile.zlib, "compressobj", counting(zipfile.zlib.compressobj))
    elif replaced == "package writer":
        writer = docx.opc.pkgwriter.PackageWriter
        monkeypatch.setattr(writer, "write", staticmethod(counting(writer.write)))
    elif replaced == "module re":
        import re

        monkeypatch.setattr(quillmark_module, "re", type(re)("re"))
        quillmark_module.re.compile = counting(re.compile)
    else:  # a property on the model's own class: reading it runs code
        element = type(items[0])

        def text(self):
            calls.append(replaced)
            return self.__dict__["text"]

        monkeypatch.setattr(element, "text", property(text))
    with frozen_clock():
        result = Quillmark(Config(markdown=True)).generate(Document(list(items)), template).data
    assert calls and result == expected


def test_a_replaced_default_template_file_is_seen(tmp_path):
    """python-docx copied into a directory of its own, whose default template
    gets another app.xml between two calls: both packages are what the
    faithful path makes of the file as it is at the time."""
    shutil.copytree(str(Path(docx.__file__).parent), str(tmp_path / "docx"))
    script = """
import io, sys, zipfile
sys.path.insert(0, %r)
sys.path.insert(0, %r)
import docx
assert docx.__file__.startswith(%r)
from helpers import Config, Document, FaithfulQuillmark, Quillmark, frozen_clock, official_template, paragraph
def both():
    with frozen_clock():
        return [g(Config(markdown=True)).generate(Document([paragraph("x")]), official_template()).data
                for g in (Quillmark, FaithfulQuillmark)]
first = both()
path = %r
with zipfile.ZipFile(path) as old:
    members = [(i, old.read(i.filename)) for i in old.infolist()]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as new:
    for info, data in members:
        new.writestr(info, data.replace(b"Microsoft Macintosh Word", b"A word processor") if
                     info.filename == "docProps/app.xml" else data)
second = both()
print(first[0] == first[1], second[0] == second[1], first[0] != second[0])
""" % (str(tmp_path), str(HERE), str(tmp_path), str(tmp_path / "docx" / "templates" / "default.docx"))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["True", "True", "True"]


# AddressSanitizer keeps freed memory in quarantine: under it the resident
# size says nothing of what a call keeps.
measures_resident_size = pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                                            reason="AddressSanitizer's quarantine keeps freed memory resident")


def resident_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


@measures_resident_size
def test_the_memo_stays_within_its_bound():
    """Distinct templates each leave their styles in the memo until it is
    full. The allocator's own high-water mark settles within the first few
    hundred; after that, a memo without a bound would keep about 45 KiB more
    for each template."""
    generator, items = Quillmark(Config(markdown=True)), [paragraph("x")]
    half = 5000 if THOROUGH else 300
    base = official_template()

    def distinct(i):
        template = copy.deepcopy(base)
        template.styles[-1].font.size = 8 + (i % 1000) / 2
        template.styles[-1].p_format.line_spacing = 10 + i // 1000
        return template

    def convert(start, stop):
        for i in range(start, stop):
            generator.generate(Document(items), distinct(i))
            if i % 100 == 0:
                gc.collect()  # python-docx's documents are cycles: let them go
        gc.collect()
        return resident_kib()

    before = convert(0, half)
    assert convert(half, 2 * half) - before < 12 * 1024


@measures_resident_size
def test_many_calls_do_not_grow():
    generator, template = Quillmark(Config(markdown=True)), official_template()
    items = [title("题"), paragraph("文 [链](u)"), paragraph(runs=[Run("r", italic=True)])]
    calls = 100000 if THOROUGH else 10000
    for _ in range(2000):
        generator.generate(Document(items), template)
    before = resident_kib()
    for _ in range(calls):
        generator.generate(Document(items), template)
    assert resident_kib() - before < 4 * 1024


def test_threads_share_the_memo_and_give_identical_bytes():
    templates = [official_template(), many_styles(6), many_styles(30)]
    documents = [Document(notice_document(60).elements), Document([paragraph("t%d [l](u%d)" % (i, i))
                                                                   for i in range(40)])]
    with frozen_clock():
        expected = {(t, d): Quillmark(Config(markdown=True)).generate(documents[d], templates[t]).data
                    for t in range(3) for d in range(2)}
        results, errors = [], []

        def work(seed):
            try:
                for round_ in range(6):
                    key = ((seed + round_) % 3, (seed * round_) % 2)
                    # A fresh copy half of the time: equal values, another object.
                    template = templates[key[0]] if round_ % 2 else copy.deepcopy(templates[key[0]])
                    results.append((key, Quillmark(Config(markdown=True)).generate(documents[key[1]], template).data))
            except Exception as error:  # pragma: no cover - reported below
                errors.append(error)

        threads = [threading.Thread(target=work, args=(seed,)) for seed in range(16)]
        old = sys.getswitchinterval()
        sys.setswitchinterval(1e-5)
        try:
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
        finally:
            sys.setswitchinterval(old)
    assert errors == [] and len(results) == 96
    assert all(data == expected[key] for key, data in results)
