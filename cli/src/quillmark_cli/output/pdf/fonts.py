"""Faces that stand in, in the PDF, for the fonts an official document names
and the machine does not have.

Official documents name the fonts of Chinese offices (仿宋_GB2312, 黑体,
楷体_GB2312, 方正小标宋简体, 宋体), which free systems rarely have; left to
itself LibreOffice draws all of them in one sans-serif face. Each kind gets
the free face closest to it, where installed, best first:

- 仿宋 (the body): FandolFang, a FangSong with the simplified characters of
  GB 2312 (from TeX Live's Chinese fonts); else Noto Serif CJK SC;
- 宋体 and the title's 小标宋: Noto Serif CJK SC (a Song face);
- 黑体 (first-level headings, secrecy, urgency): Noto Sans CJK SC;
- 楷体 (second-level headings, the signer): AR PL UKai CN; else LXGW WenKai.

The .docx keeps the names the template gives; only LibreOffice's rendering
stands the faces in, through the replacement table of its private profile
(`profile`). A face is named as LibreOffice lists it (FandolFang's second
family name, "FandolFang R", is the one it knows), and fonts are found as
LibreOffice finds them, through fontconfig, in the environment LibreOffice
runs in.
"""

import io
import re
import subprocess
import zipfile
from collections import namedtuple

Face = namedtuple("Face", "family shown")  # the family as LibreOffice names it, and as people do

_FANGSONG, _SONG, _HEI, _KAI = (
    (Face("FandolFang R", "FandolFang"), Face("Noto Serif CJK SC", "Noto Serif CJK SC")),
    (Face("Noto Serif CJK SC", "Noto Serif CJK SC"), Face("AR PL UMing CN", "AR PL UMing CN")),
    (Face("Noto Sans CJK SC", "Noto Sans CJK SC"),),
    (Face("AR PL UKai CN", "AR PL UKai CN"), Face("LXGW WenKai", "LXGW WenKai")),
)
# The names a template may give a font, and the faces that may stand in for it.
STAND_INS = {}
for _names, _faces in (
        (("仿宋", "仿宋_GB2312", "仿宋体", "FangSong", "FangSong_GB2312", "方正仿宋_GBK", "方正仿宋简体", "华文仿宋",
          "STFangsong"), _FANGSONG),
        (("宋体", "新宋体", "SimSun", "NSimSun", "方正书宋_GBK", "方正书宋简体", "华文宋体", "STSong", "华文中宋",
          "STZhongsong", "方正小标宋简体", "方正小标宋_GBK", "方正小标宋", "小标宋", "FZXiaoBiaoSong-B05S"), _SONG),
        (("黑体", "SimHei", "方正黑体_GBK", "方正黑体简体", "华文黑体", "STHeiti"), _HEI),
        (("楷体", "楷体_GB2312", "KaiTi", "KaiTi_GB2312", "方正楷体_GBK", "方正楷体简体", "华文楷体", "STKaiti"), _KAI)):
    for _name in _names:
        STAND_INS[_name] = _faces

_FONT_ATTRIBUTE = re.compile(rb'w:(?:ascii|hAnsi|eastAsia|cs)="([^"]*)"')
_STYLES = "word/styles.xml"
_NAMED_PARTS = re.compile(r"word/(?:document|styles|header\d*|footer\d*)\.xml")


def installed_families(environment):
    """The normalised family names fontconfig lists in `environment` (all
    of each font's names), or None where fontconfig's fc-list cannot be
    run."""
    try:
        listed = subprocess.run(["fc-list", "--format", "%{family}\n"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=environment, timeout=60,
                                check=True).stdout
    except (OSError, subprocess.SubprocessError):
        return None
    return {_normalised(name) for line in listed.decode("utf-8", "replace").splitlines()
            for name in line.split(",") if name.strip()}


def _normalised(name):
    """A family name as fontconfig compares them: case and blanks aside."""
    return "".join(name.split()).casefold()


def substitutions(installed):
    """{font: Face} for every font of the table that is not installed and
    has a stand-in that is."""
    chosen = {}
    for name, faces in STAND_INS.items():
        if _normalised(name) in installed:
            continue
        for face in faces:
            if _normalised(face.family) in installed:
                chosen[name] = face
                break
    return chosen


class NamedFonts:
    """The fonts packages name, read from their main document, styles,
    headers and footers; a batch's packages share their styles, which are
    read once."""

    def __init__(self):
        self._styles = {}  # (checksum, size): the fonts a styles part names

    def of(self, package):
        names = set()
        try:
            with zipfile.ZipFile(io.BytesIO(package)) as archive:
                for item in archive.infolist():
                    if not _NAMED_PARTS.fullmatch(item.filename):
                        continue
                    key = (item.CRC, item.file_size)
                    found = self._styles.get(key) if item.filename == _STYLES else None
                    if found is None:
                        found = {value.decode("utf-8", "replace")
                                 for value in _FONT_ATTRIBUTE.findall(archive.read(item))}
                        if item.filename == _STYLES:
                            self._styles[key] = found
                    names |= found
        except (zipfile.BadZipFile, OSError, ValueError):
            pass  # LibreOffice says what it makes of such a package
        return names
