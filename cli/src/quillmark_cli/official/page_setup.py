"""The page a template's `page` object asks for: paper and margins (A4; 37 mm
top, 35 mm bottom, 28 mm left, 26 mm right by default), the header
HEADER_DISTANCE_MM (15 mm) from the top edge, the footer placed so that the
page number's line starts 7 mm below the text block, the default font size
the grid is measured against (16 pt), East Asian text declared Chinese,
then the grid and the page numbers."""

from docx.oxml import OxmlElement
from docx.oxml.ns import qn
from docx.shared import Twips

from quillmark_cli.official.geometry import twips
from quillmark_cli.official.grid import set_character_spacing, set_grid
from quillmark_cli.official.page_numbers import PAGE_NUMBER_GAP_MM, PAGE_NUMBER_SIZE, add_page_numbers
from quillmark_cli.official.wordml import default_run_properties, insert_in_order

CHINESE = "zh-CN"
HEADER_DISTANCE_MM = 15


def set_page(doc, page):
    section = doc.sections[0]
    section.page_width, section.page_height = Twips(twips(page.width)), Twips(twips(page.height))
    section.top_margin, section.bottom_margin = Twips(twips(page.top)), Twips(twips(page.bottom))
    section.left_margin, section.right_margin = Twips(twips(page.left)), Twips(twips(page.right))
    section.header_distance = Twips(twips(min(HEADER_DISTANCE_MM, page.top / 2)))
    # The footer's bottom edge sits one page-number line below the line's top.
    footer_top = max(page.bottom - PAGE_NUMBER_GAP_MM, 0)
    section.footer_distance = Twips(max(twips(footer_top) - PAGE_NUMBER_SIZE * 20, 0))
    set_default_font_size(doc, page.font_size)
    set_chinese_language(doc)
    set_character_spacing(doc, page)
    set_grid(section, page)
    if page.page_numbers is not None:
        add_page_numbers(doc, section, page)
    complete_zoom(doc)


def complete_zoom(doc):
    """python-docx's template gives w:zoom a kind but not the percentage the
    schema requires of it; a laid-out package's settings get it (100 %)."""
    zoom = doc.settings.element.find(qn("w:zoom"))
    if zoom is not None and zoom.get(qn("w:percent")) is None:
        zoom.set(qn("w:percent"), "100")


def set_default_font_size(doc, size):
    """The docDefaults font size: what the character grid is measured
    against."""
    styles = doc.styles.element
    defaults = styles.find(qn("w:docDefaults"))
    if defaults is None:
        defaults = OxmlElement("w:docDefaults")
        styles.insert(0, defaults)
    r_pr_default = defaults.find(qn("w:rPrDefault"))
    if r_pr_default is None:
        r_pr_default = OxmlElement("w:rPrDefault")
        defaults.insert(0, r_pr_default)
    r_pr = r_pr_default.find(qn("w:rPr"))
    if r_pr is None:
        r_pr = OxmlElement("w:rPr")
        r_pr_default.append(r_pr)
    half_points = str(int(round(size * 2)))
    for tag in ("w:sz", "w:szCs"):
        element = r_pr.find(qn(tag))
        if element is None:
            element = OxmlElement(tag)
            insert_in_order(r_pr, element)
        element.set(qn("w:val"), half_points)


def set_chinese_language(doc):
    """East Asian text is Chinese: readers then take the Chinese forms of a
    CJK font (直, 骨 and 令 differ from their Japanese forms), and Word
    resolves the theme's East Asian fonts for Chinese."""
    r_pr = default_run_properties(doc)
    language = r_pr.find(qn("w:lang"))
    if language is None:
        language = OxmlElement("w:lang")
        insert_in_order(r_pr, language)
    language.set(qn("w:eastAsia"), CHINESE)
    theme_language = doc.settings.element.find(qn("w:themeFontLang"))
    if theme_language is not None:
        theme_language.set(qn("w:eastAsia"), CHINESE)
