"""The page in the package: the section's paper, margins and grid of
lines, the header and footer distances, the default font size and
character spacing, and Chinese as the East Asian language.

The header stands 15 mm below the paper's edge (or halfway down a narrower
top margin); the footer is placed so that the page number's line starts
7 mm below the text block (see page_numbers).
"""

from quillmark_cli.official.figures import points_to_twips, twips, half_points
from quillmark_cli.official.page_numbers import PAGE_NUMBER_GAP_MM, PAGE_NUMBER_SIZE
from quillmark_cli.official.wordml import child, insert_in_order, qn, w

HEADER_DISTANCE_MM = 15
CHINESE = "zh-CN"


def set_section(section, page):
    """Paper, margins, header and footer distances, and the grid of lines
    on the body's w:sectPr."""
    size = child(section, "pgSz")
    size.set(qn("w:w"), str(twips(page.width)))
    size.set(qn("w:h"), str(twips(page.height)))
    margins = child(section, "pgMar")
    for side in ("top", "bottom", "left", "right"):
        margins.set(qn("w:" + side), str(twips(getattr(page, side))))
    margins.set(qn("w:header"), str(twips(min(HEADER_DISTANCE_MM, page.top / 2))))
    # The footer's bottom edge sits one page-number line below the line's top.
    footer_top = max(page.bottom - PAGE_NUMBER_GAP_MM, 0)
    margins.set(qn("w:footer"), str(max(twips(footer_top) - points_to_twips(PAGE_NUMBER_SIZE), 0)))
    grid = child(section, "docGrid")
    for attribute in ("w:type", "w:linePitch", "w:charSpace"):
        grid.attrib.pop(qn(attribute), None)
    if page.lines is not None:
        grid.set(qn("w:type"), "lines")
        grid.set(qn("w:linePitch"), str(page.line_pitch_twips))


def set_default_run_properties(styles, page):
    """The default font size (what the grid is measured against), the
    spacing between characters that gives the grid's characters a line, and
    Chinese as the East Asian language, so that a reader standing in a CJK
    font for one it lacks takes the Chinese forms (直, 骨 and 令 differ from
    their Japanese forms)."""
    r_pr = _first_child(_first_child(_first_child(styles, "docDefaults"), "rPrDefault"), "rPr")
    for tag in ("sz", "szCs"):
        child(r_pr, tag).set(qn("w:val"), str(half_points(page.font_size)))
    child(r_pr, "lang").set(qn("w:eastAsia"), CHINESE)
    if page.has_character_grid:
        child(r_pr, "spacing").set(qn("w:val"), str(page.character_spacing_twips))


def _first_child(parent, tag):
    """`parent`'s w:`tag` child, made as its first child when missing (each
    of the defaults' containers comes first in its parent)."""
    found = parent.find(qn("w:" + tag))
    if found is None:
        found = w(tag)
        parent.insert(0, found)
    return found


def set_settings(settings, page):
    """python-docx's template gives w:zoom a kind but not the percentage the
    schema requires of it (100 %). On a page: even pages have footers of
    their own where the page numbers stand at the outer side, and Word
    resolves the theme's East Asian fonts for Chinese."""
    zoom = settings.find(qn("w:zoom"))
    if zoom is not None and zoom.get(qn("w:percent")) is None:
        zoom.set(qn("w:percent"), "100")
    if page is None:
        return
    if page.page_numbers == "standard" and settings.find(qn("w:evenAndOddHeaders")) is None:
        insert_in_order(settings, "evenAndOddHeaders")
    theme_language = settings.find(qn("w:themeFontLang"))
    if theme_language is not None:
        theme_language.set(qn("w:eastAsia"), CHINESE)
