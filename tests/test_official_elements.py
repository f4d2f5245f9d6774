"""What an official document may hold besides its text: attachments (their
list under the text and their own pages), a seal or the signer's signature
stamp, joint issuing, and a note — each read from the rendered PDF where
the standard places it."""

import json
import math
import struct
import textwrap
import zipfile
import zlib

import pytest

from pdf_pages import MM, Pixels, pages, red
from schema import assert_schema_valid
from test_cli import run, write_json
from test_official import LEFT, RENDERS, RIGHT, assert_official_refused, needs_libreoffice

CHARACTER = 156 * MM / 28
LINE = 579 / 20
BODY = "一二三四五六七八九十" * 3


def png(width, height, pixel):
    """A PNG with transparency, written by hand: a seal's picture."""
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) + \
        chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def ring(x, y, size=120):
    distance = math.hypot(x - size / 2, y - size / 2)
    return (220, 20, 20, 230) if size / 2 - 8 <= distance <= size / 2 else (0, 0, 0, 0)


ATTACHMENT = "# 安全生产检查要点\n\n## 基本要求\n\n%s\n\n### 重点内容\n\n%s\n" % (BODY, BODY)
LONG_NAME = "各区县安全生产检查情况汇总表及重点企业隐患排查治理工作台账"
SEALED = textwrap.dedent("""\
    ---
    styles:
      quote: 落款
    official:
      authority: [某市应急管理局, 某市财政局, 某市人力资源和社会保障局]
      number: 某应急〔2026〕12号
      seal: stamp
      seal_image: seal.png
      note: 此件公开发布
      attachments:
        - name: 安全生产检查要点
          file: a1.md
        - %s
      copies_to: [市安全生产委员会各成员单位]
      printed_by: 某市应急管理局办公室
      printed_on: 2026-12-08
    ---

    # 关于开展安全生产检查工作的通知

    各区县应急管理局：

    ## 总体要求

    %s

    > 某市应急管理局
    >
    > 2026年12月8日
    """) % (LONG_NAME, BODY)


@pytest.fixture(scope="module")
def sealed(tmp_path_factory):
    work = tmp_path_factory.mktemp("sealed")
    (work / "seal.png").write_bytes(png(120, 120, ring))
    (work / "a1.md").write_text(ATTACHMENT, encoding="utf-8")
    (work / "notice.md").write_text(SEALED, encoding="utf-8")
    for target in ("notice.docx", "notice.pdf") if RENDERS else ("notice.docx",):
        done = run("notice.md", "-o", target, cwd=work)
        assert done.returncode == 0, done.stderr
    assert_schema_valid((work / "notice.docx").read_bytes(), laid_out=True)
    return work, pages(work / "notice.pdf") if RENDERS else None


def find(rendered, text, last=False, exact=False):
    """(page number, line) of the first (or last) line starting with `text`
    (or, `exact`, reading `text`)."""
    found = [(number, line) for number, page in enumerate(rendered, 1) for line in page.lines
             if (line.text == text if exact else line.text.startswith(text))]
    if not found:
        raise AssertionError("%r is not on the pages" % text)
    return found[-1] if last else found[0]


def spread(page, y_min, before):
    """The text of the pieces pdftotext reads as lines of their own at one
    height left of `before`: a line whose characters are spread to a width."""
    return "".join(line.text for line in sorted(page.lines, key=lambda line: line.x_min)
                   if abs(line.y_min - y_min) < 1 and line.x_max < before)


@needs_libreoffice
class TestTheSealedJointNotice:
    def test_every_authority_in_the_mark_with_文件_to_their_right(self, sealed):
        _, rendered = sealed
        first = rendered[0]
        word = next(line for line in first.lines if line.text == "文件")
        tops = sorted({round(line.y_min, 1) for line in first.lines if line.x_max < word.x_min and
                       line.y_min < word.y_max + 40 and line.y_max > word.y_min - 40})
        assert [spread(first, top, word.x_min) for top in tops] == ["某市应急管理局", "某市财政局", "某市人力资源和社会保障局"]
        rows = [[line for line in first.lines if round(line.y_min, 1) == top and line.x_max < word.x_min]
                for top in tops]
        # Spread to one width, "文件" to their right, centred on them.
        lefts, rights = [min(l.x_min for l in row) for row in rows], [max(l.x_max for l in row) for row in rows]
        assert max(lefts) - min(lefts) < 1 and max(rights) - min(rights) < 1
        assert (word.y_min + word.y_max) / 2 == pytest.approx((tops[0] + tops[-1] + word.y_max - word.y_min) / 2,
                                                              abs=3)

    def test_the_list_of_attachments(self, sealed):
        _, rendered = sealed
        _, first = find(rendered, "附件：1.安全生产检查要点")
        _, second = find(rendered, "2.各区县")
        assert first.x_min == pytest.approx(LEFT + 2 * CHARACTER, abs=1 * MM)
        # Each next number under the first one's, and a wrapped name under its first character.
        assert second.x_min == pytest.approx(LEFT + 5 * CHARACTER, abs=1 * MM)
        page = next(p for p in rendered if any(line.text.startswith("2.各区县") for line in p.lines))
        index = [line.text for line in page.lines].index(second.text)
        wrapped = page.lines[index + 1]
        assert wrapped.x_min == pytest.approx(LEFT + 5 * CHARACTER + 2 * 7.75, abs=1 * MM)  # after "2."
        assert (second.text + wrapped.text).startswith("2." + LONG_NAME)

    def test_the_attachment_on_pages_of_its_own(self, sealed):
        _, rendered = sealed
        number, label = find(rendered, "附件1")
        _, title = find(rendered, "安全生产检查要点")
        page = rendered[number - 1]
        assert label is page.lines[0] or label.y_min == min(line.y_min for line in page.lines)
        assert label.x_min == pytest.approx(LEFT, abs=1 * MM)
        # On the third line (the title's characters are larger than the label's).
        assert (title.y_min + title.y_max) / 2 == pytest.approx((label.y_min + label.y_max) / 2 + 2 * LINE, abs=4)
        assert (title.x_min + title.x_max) / 2 == pytest.approx((LEFT + 210 * MM - RIGHT) / 2, abs=1 * MM)
        text = [line.text for line in page.lines]
        assert "一、基本要求" in text and "（一）重点内容" in text  # numbered afresh
        footer = [line.text for line in page.lines if line.y_min > page.height - 35 * MM]
        assert footer == ["—%d—" % number]  # page numbers go on
        assert any(line.text.startswith("抄送") for line in rendered[-1].lines)

    def test_the_seal_over_the_signature_and_date(self, sealed, tmp_path):
        work, rendered = sealed
        number, signature = find(rendered, "某市应急管理局", last=True, exact=True)  # the mark's is first
        _, date = find(rendered, "2026年12月8日")
        assert date.x_max == pytest.approx(210 * MM - RIGHT - 4 * CHARACTER, abs=1 * MM)
        centre = (date.x_min + date.x_max) / 2
        assert (signature.x_min + signature.x_max) / 2 == pytest.approx(centre, abs=1 * MM)
        rows = Pixels(work / "notice.pdf", number, tmp_path).rows(red, signature.y_min - 100, date.y_max + 60)
        top, bottom = min(rows), max(rows)
        assert bottom - top == pytest.approx(42 * MM, abs=2 * MM)
        # The signature and the date a little below the seal's centre, its top within a line of the text.
        assert top < signature.y_min < (top + bottom) / 2 < date.y_max
        _, note = find(rendered, "（此件公开发布）")
        assert note.y_min == pytest.approx(date.y_max, abs=LINE)
        assert note.x_min == pytest.approx(LEFT + 2 * CHARACTER, abs=1.5 * MM)


@needs_libreoffice
def test_a_signature_stamp(tmp_path):
    (tmp_path / "stamp.png").write_bytes(png(100, 50, lambda x, y: (200, 30, 30, 230)))
    (tmp_path / "notice.md").write_text(textwrap.dedent("""\
        ---
        styles:
          quote: 落款
        official:
          seal: signature
          signer_title: 局长
          seal_image: stamp.png
        ---

        # 通知

        %s

        > 2026年12月8日
        """) % BODY, encoding="utf-8")
    done = run("notice.md", "-o", "notice.pdf", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    rendered = pages(tmp_path / "notice.pdf")
    _, title = find(rendered, "局长")
    _, date = find(rendered, "2026年12月8日")
    stamp_left = 210 * MM - RIGHT - 4 * CHARACTER - 20 * MM
    assert date.x_max == pytest.approx(210 * MM - RIGHT - 4 * CHARACTER, abs=1 * MM)
    assert title.x_max == pytest.approx(stamp_left - 2 * CHARACTER, abs=1 * MM)
    assert date.y_min - title.y_max > LINE  # one empty line under the stamp


class TestTheInput:
    def test_markdown_and_json_give_the_same_document(self, tmp_path):
        (tmp_path / "seal.png").write_bytes(png(20, 20, ring))
        (tmp_path / "a1.md").write_text(ATTACHMENT, encoding="utf-8")
        (tmp_path / "notice.md").write_text(SEALED, encoding="utf-8")
        done = run("notice.md", "--print-json", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        description = json.loads(done.stdout)
        assert description["official"]["attachments"][0] == {"name": "安全生产检查要点", "file": "a1.md"}
        write_json(tmp_path / "notice.json", description)
        documents = []
        for name in ("notice.md", "notice.json"):
            done = run(name, "-o", name + ".docx", cwd=tmp_path)
            assert done.returncode == 0, done.stderr
            with zipfile.ZipFile(str(tmp_path / (name + ".docx"))) as package:
                documents.append(package.read("word/document.xml"))
                assert any(n.startswith("word/media/seal") for n in package.namelist())
        assert documents[0] == documents[1]

    @pytest.mark.parametrize("official, message", [
        ({"seal": "signature"}, "official.signer_title: missing"),
        ({"seal_image": "seal.png"}, "official.seal_image: a picture of a seal needs seal: stamp"),
        ({"seal": "stamp", "seal_image": "a1.md"}, "official.seal_image: a1.md is not a PNG image"),
        ({"attachments": [{"name": "甲", "file": "missing.md"}]}, "official.attachments[0].file: "),
        ({"attachments": [{"file": "a1.md"}]}, "official.attachments[0]"),
        ({"seal": "sealed"}, "official.seal: expected one of"),
    ])
    def test_bad_official_files_are_refused_with_their_place(self, tmp_path, official, message):
        (tmp_path / "a1.md").write_text(ATTACHMENT, encoding="utf-8")
        assert_official_refused(tmp_path, official, message)
