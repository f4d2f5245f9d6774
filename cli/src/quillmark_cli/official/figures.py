"""The figures the official layout places its elements by, and the one
place where millimetres, points and characters become the twentieths of a
point (twips) and eighths of a point that WordprocessingML stores.

Type sizes are the Chinese 号 sizes, in points: 小初 36, 2号 22, 3号 16,
4号 14. Fonts are the names offices install; a reader without them stands
in faces of its own.
"""

TWIPS_PER_POINT = 20
TWIPS_PER_MM = 1440 / 25.4
POINTS_PER_MM = 72 / 25.4

SIZE_XIAOCHU = 36  # 小初
SIZE_2 = 22  # 2号
SIZE_3 = 16  # 3号
SIZE_4 = 14  # 4号

BODY_FONT = "仿宋_GB2312"  # the body, numbers, the record block
HEADING_FONT = "黑体"  # secrecy and urgency
SIGNER_FONT = "楷体_GB2312"  # the signer's name
MARK_FONT = "方正小标宋简体"  # the authority's mark
PAGE_NUMBER_FONT = "宋体"
RED = "FF0000"
BLACK = "000000"

# Without a page layout, the body's lines are 28 pt apart and a character
# is 3号 wide.
PLAIN_LINE = 28 * TWIPS_PER_POINT
PLAIN_CHARACTER = SIZE_3


def twips(mm):
    """Millimetres as whole twips, as Word stores page lengths."""
    return int(round(mm * TWIPS_PER_MM))


def points_to_twips(points):
    return int(round(points * TWIPS_PER_POINT))


def half_points(points):
    """A font size as WordprocessingML writes it."""
    return int(round(points * 2))


def whole_points(mm):
    """Millimetres as whole points: a border's distance from its text."""
    return int(round(mm * POINTS_PER_MM))
