"""The official layout works on the package's bytes: it gives, member for
member, what the object-model layout it replaced gave (compared after XML
canonicalisation) on a corpus of random documents with random official
mappings and page settings; and as a public call it takes any package the
generator wrote.

Since the byte layout replaced it, the layout has learnt what the
object-model layout never did — headings numbered at four levels, long
titles broken into balanced lines, addressees, signatures measured with
half-width numerals at their own width, and spaced from Chinese text as
readers space them — so the corpus holds what both lay out alike: paragraphs and titles that fit a line, no headings, and
signatures of Chinese text."""

import io
import json
import random
import re
import threading
import zipfile
from pathlib import Path

import pytest
from lxml import etree

from object_model_layout.layout import generator as object_model_generator
from schema import assert_schema_valid
from test_robustness import THOROUGH
from tolvek.doc.generator.generate.generators.quillmark import Quillmark

from quillmark_cli.conversion import Source, describe
from quillmark_cli.errors import InputError
from quillmark_cli.input.loading import load_description
from quillmark_cli.official.layout import DoesNotFit, NotAPackage, lay_out

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"
OFFICIAL_TEMPLATE = json.loads((EXAMPLES / "official-template.json").read_text(encoding="utf-8"))
TEXTS = ["某市应急管理局", "A&B <x> \"q\" 'a'", " 前后空格 ", "2026-12-08", "2026-02-30", "Tab\there", "某应急〔2026〕12号",
         "机密★1年", "特急", "000001", "很长的发文机关名称" * 5, "x", "一二三四五六七八九十" * 3, "December 8, 2026",
         "二行\n文字", "＆全角"]
# Titles that fit a line, and signatures and dates of wide characters only.
TITLES = ["关于开展检查工作的通知", "A&B <x>", "二行\n标题", "x"]
SIGNATURES = ["某市应急管理局", "二〇二六年十二月八日", "市应急管理局（印）", "", " "]
DATES = ["2026-12-08", "2026-1-5", "2026年12月8日", "2000年02月29日"]


def canonical(data):
    return etree.tostring(etree.fromstring(data), method="c14n", exclusive=True)


def members(data):
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        return {name: package.read(name) for name in package.namelist()}


W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"


def without_signature_spacing(document):
    """The main document with the signature's paragraphs no longer keeping
    readers from spacing Chinese text and numerals (which the object-model
    layout asked of them)."""
    root = etree.fromstring(document)
    for style in root.iter(W + "pStyle"):
        if style.get(W + "val") == "落款":
            for tag in ("autoSpaceDE", "autoSpaceDN", "snapToGrid"):
                for found in style.getparent().findall(W + tag):
                    style.getparent().remove(found)
    return etree.tostring(root)




def without_preview_and_properties(parts):
    """The members less the file properties and the preview picture (with
    its relationship and content type): the byte layout writes properties
    of the document's own, which the object-model layout did not, and drops
    the default template's picture (test_pdf_rendering.py checks what it
    writes instead)."""
    parts = {name: data for name, data in parts.items() if not name.startswith("docProps/")}
    for name, pattern in (("_rels/.rels", rb'<Relationship [^>]*relationships/metadata/thumbnail"[^>]*/>'),
                          ("[Content_Types].xml", rb'<Default Extension="jpeg" [^>]*/>')):
        if name in parts:
            parts[name] = re.sub(pattern, b"", parts[name])
    return parts


def differences(expected, actual):
    """The names of the members that differ, or that only one package has,
    file properties and preview picture aside."""
    expected = without_preview_and_properties(members(expected))
    actual = without_preview_and_properties(members(actual))
    expected["word/document.xml"] = without_signature_spacing(expected["word/document.xml"])
    found = sorted(set(expected) ^ set(actual))
    for name in sorted(set(expected) & set(actual)):
        if expected[name] == actual[name]:
            continue
        if not name.endswith((".xml", ".rels")) or canonical(expected[name]) != canonical(actual[name]):
            found.append(name)
    return found


def both_ways(loaded):
    """(the object-model layout's package, the byte layout's package)."""
    before = object_model_generator(loaded.config, loaded.page, loaded.official)
    plain = Quillmark(loaded.config).generate(loaded.document, loaded.template).data
    return before.generate(loaded.document, loaded.template).data, lay_out(plain, loaded.page, loaded.official)


def random_description(r):
    """An input as the command reads it: the official template's styles (some
    left out), a random page, a random official mapping and random elements,
    closing with signature lines."""
    styles = [style for style in OFFICIAL_TEMPLATE["styles"] if style["name"] == "正文" or r.random() < 0.9]
    template = {"styles": styles}
    if r.random() < 0.85:
        page = {}
        if r.random() < 0.3:
            page["paper"] = r.choice(["A4", {"width": r.choice([148, 210, 250.5]),
                                              "height": r.choice([210, 297, 353])}])
        if r.random() < 0.3:
            page["margins"] = {side: r.choice([10, 20, 37, 28.5])
                               for side in r.sample(["top", "bottom", "left", "right"], r.randint(1, 4))}
        if r.random() < 0.3:
            page["grid"] = r.choice([None, {"lines": r.randint(15, 30)}, {"characters": r.randint(20, 35)},
                                     {"lines": 22, "characters": 28}])
        if r.random() < 0.3:
            page["page_numbers"] = r.choice(["standard", "center", None])
        template["page"] = page
    official = {key: r.choice(DATES if key == "printed_on" else TEXTS)
                for key in ("authority", "number", "signer", "copy_number", "secrecy", "urgency", "printed_by",
                            "printed_on") if r.random() < 0.5}
    if r.random() < 0.5:
        official["copies_to"] = [r.choice(TEXTS) for _ in range(r.randint(0, 5))]
    titles = [style["name"] for style in styles if style["name"] in ("公文标题", "Title")]
    body = [style["name"] for style in styles if style["name"] not in titles + ["落款"] and
            not style["name"].startswith("Heading")]
    elements = []
    for _ in range(r.randint(0, 12)):
        if titles and r.random() < 0.3:
            elements.append({"type": "title", "style_name": r.choice(titles), "text": r.choice(TITLES)})
        else:
            elements.append({"type": "paragraph", "style_name": r.choice(body), "text": r.choice(TEXTS)})
    if any(style["name"] == "落款" for style in styles):
        elements += [{"type": "paragraph", "style_name": "落款", "text": r.choice(SIGNATURES)}
                     for _ in range(r.randint(0, 3))]
    description = {"config": {"markdown": r.random() < 0.5}, "template": template,
                   "document": {"elements": elements}}
    if official or r.random() < 0.5:
        description["official"] = official
    return description


@pytest.mark.parametrize("name", ["default.json", "english.json"])
def test_the_examples_are_laid_out_as_before(name):
    path = EXAMPLES / name
    source = Source(path, None, path.suffix == ".md", name)
    loaded = load_description(describe(source)[0])
    before, after = both_ways(loaded)
    assert differences(before, after) == []


def test_random_documents_are_laid_out_as_before():
    wanted, compared = (1000 if THOROUGH else 300), 0
    for seed in range(2 * wanted):
        if compared == wanted:
            break
        try:
            loaded = load_description(random_description(random.Random(seed)))
            before, after = both_ways(loaded)
        except (InputError, DoesNotFit):  # margins that leave no text block, a mark too long for a line
            continue
        assert differences(before, after) == [], "seed %d" % seed
        compared += 1
        if compared % 25 == 0:
            assert_schema_valid(after, laid_out=True)
    assert compared == wanted


@pytest.fixture(scope="module")
def notice():
    """The example notice as the generator wrote it, and its input."""
    source = Source(EXAMPLES / "notice.md", None, True, "notice.md")
    loaded = load_description(describe(source)[0])
    plain = Quillmark(loaded.config).generate(loaded.document, loaded.template).data
    return plain, loaded


class TestAsAPublicCall:
    def test_nothing_to_lay_out_gives_the_package_back(self, notice):
        plain, _ = notice
        assert lay_out(plain) is plain

    def test_threads_lay_out_alike(self, notice, monkeypatch):
        monkeypatch.setenv("SOURCE_DATE_EPOCH", "1000000000")  # one time for every call, as a build would fix it
        plain, loaded = notice
        expected = lay_out(plain, loaded.page, loaded.official)
        results = []

        def work():
            results.extend(lay_out(plain, loaded.page, loaded.official) for _ in range(20))

        threads = [threading.Thread(target=work) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert len(results) == 160 and all(result == expected for result in results)

    @pytest.mark.parametrize("data", [b"", b"not a zip", b"PK\x05\x06" + bytes(18)])
    def test_what_is_not_a_package_is_refused(self, notice, data):
        _, loaded = notice
        with pytest.raises(NotAPackage):
            lay_out(data, loaded.page, loaded.official)

    def test_a_damaged_member_is_refused(self, notice):
        plain, loaded = notice
        damaged = bytearray(plain)
        start = plain.index(b"word/document.xml") + len("word/document.xml")
        damaged[start + 40] ^= 0xFF  # inside the main document's compressed data
        with pytest.raises(NotAPackage):
            lay_out(bytes(damaged), loaded.page, loaded.official)

    def test_members_stored_uncompressed_are_read(self, notice, monkeypatch):
        """A package another tool rewrote without compression lays out as
        the generator's own does."""
        monkeypatch.setenv("SOURCE_DATE_EPOCH", "1000000000")
        plain, loaded = notice
        stored = io.BytesIO()
        with zipfile.ZipFile(io.BytesIO(plain)) as source, zipfile.ZipFile(stored, "w") as target:
            for item in source.infolist():
                target.writestr(item.filename, source.read(item), zipfile.ZIP_STORED)
        assert members(lay_out(stored.getvalue(), loaded.page, loaded.official)) == \
            members(lay_out(plain, loaded.page, loaded.official))
