"""Reading a rendered PDF as a clerk reads the printed pages: the text lines
with their boxes (poppler's pdftotext -bbox-layout) and the colours of the
pixels (pdftoppm), in points from the top left corner of each page."""

import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path
from typing import List

from lxml import etree

MM = 72 / 25.4  # points in a millimetre
_XHTML = "{http://www.w3.org/1999/xhtml}"


@dataclass
class Line:
    x_min: float
    y_min: float
    x_max: float
    y_max: float
    text: str  # the words, joined without spaces
    words: int = 1  # pdftotext starts a new word where glyphs stand apart

    @property
    def middle(self):
        return (self.y_min + self.y_max) / 2


@dataclass
class Page:
    width: float
    height: float
    lines: List[Line]


def pages(pdf):
    """The pages of `pdf` (a path), each with its lines from top to bottom."""
    out = subprocess.run(["pdftotext", "-bbox-layout", str(pdf), "-"], capture_output=True, check=True).stdout
    found = []
    for page in etree.fromstring(out).iter(_XHTML + "page"):
        lines = []
        for line in page.iter(_XHTML + "line"):
            words = [word.text or "" for word in line.iter(_XHTML + "word")]
            lines.append(Line(*(float(line.get(k)) for k in ("xMin", "yMin", "xMax", "yMax")), "".join(words),
                              len(words)))
        lines.sort(key=lambda line: (line.y_min, line.x_min))
        found.append(Page(float(page.get("width")), float(page.get("height")), lines))
    return found


def convert_with_libreoffice(docx, outdir, stand_ins=False):
    """`docx` converted to PDF by LibreOffice itself, as an office or a
    script converts a package it was sent (a profile of its own, so that
    nothing of the user's is read); the PDF's path. With `stand_ins`, the
    profile stands in the faces the command's rendering does for the fonts
    the machine lacks, as an office that set them up would."""
    with tempfile.TemporaryDirectory(prefix="profile-") as profile:
        if stand_ins:
            from quillmark_cli.output.pdf.fonts import installed_families, substitutions
            from quillmark_cli.output.pdf.profile import make_profile

            chosen = substitutions(installed_families(None) or set())
            make_profile(Path(profile) / "stand-ins", {font: face.family for font, face in chosen.items()}, False)
            profile = str(Path(profile) / "stand-ins")
        subprocess.run(["soffice", "--headless", "--norestore", "-env:UserInstallation=" + Path(profile).as_uri(),
                        "--convert-to", "pdf", "--outdir", str(outdir), str(docx)],
                       check=True, capture_output=True, timeout=180)
    return Path(outdir) / (Path(docx).stem + ".pdf")


def layout(pdf):
    """The pages' lines as (text, x, y) rounded to a tenth of a point: two
    renderings with the same layout give the same list."""
    return [[(line.text, round(line.x_min, 1), round(line.y_min, 1)) for line in page.lines] for page in pages(pdf)]


class Pixels:
    """One page at 72 dots an inch: a pixel is a point (at `resolution`
    dots an inch, a pixel is 72 / `resolution` points)."""

    def __init__(self, pdf, number, workdir, resolution=72):
        Path(workdir).mkdir(parents=True, exist_ok=True)
        root = Path(workdir) / ("page-%d-%d" % (number, resolution))
        subprocess.run(["pdftoppm", "-r", str(resolution), "-f", str(number), "-l", str(number), "-singlefile",
                        str(pdf), str(root)], check=True)
        self.point = 72 / resolution  # a pixel's size, in points
        data = root.with_suffix(".ppm").read_bytes()
        fields, offset = [], 0
        while len(fields) < 4:  # P6, width, height, maximum
            end = min(i for i in (data.find(b" ", offset), data.find(b"\n", offset)) if i >= 0)
            if end > offset:
                fields.append(data[offset:end])
            offset = end + 1
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = data[offset:]

    def bands(self, test, top=0, bottom=None):
        """The runs of rows with pixels that pass `test`, from the top: each
        (top, bottom, left, right, widest) in points, its bottom and right
        edges those of its last row and rightmost pixel, `widest` the most
        pixels of one row that pass, in points."""
        found = []
        last = int(bottom / self.point) if bottom is not None else self.height
        for y in range(int(top / self.point), last):
            row = self.data[3 * y * self.width:3 * (y + 1) * self.width]
            xs = [i // 3 for i in range(0, len(row), 3) if test(row[i], row[i + 1], row[i + 2])]
            if not xs:
                continue
            if found and found[-1][1] == y:
                last = found[-1]
                found[-1] = (last[0], y + 1, min(last[2], xs[0]), max(last[3], xs[-1] + 1), max(last[4], len(xs)))
            else:
                found.append((y, y + 1, xs[0], xs[-1] + 1, len(xs)))
        return [tuple(value * self.point for value in band) for band in found]

    def rgb(self, x, y):
        i = 3 * (int(y) * self.width + int(x))
        return tuple(self.data[i:i + 3])

    def rows(self, test, top=0, bottom=None):
        """{y: how many pixels of that row pass `test`} for rows with any."""
        counts = {}
        for y in range(int(top), int(bottom if bottom is not None else self.height)):
            row = self.data[3 * y * self.width:3 * (y + 1) * self.width]
            count = sum(1 for i in range(0, len(row), 3) if test(row[i], row[i + 1], row[i + 2]))
            if count:
                counts[y] = count
        return counts


def red(r, g, b):
    return r > 180 and g < 100 and b < 100


def blue(r, g, b):
    return b > 140 and r < 120 and b - r > 60


def dark(r, g, b):
    return r < 100 and g < 100 and b < 100
