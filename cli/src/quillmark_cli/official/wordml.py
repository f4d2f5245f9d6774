"""Small WordprocessingML builders the layout shares, on python-docx's element
layer: a run's fonts, a field, children inserted where the schema puts
them, borders, and the plain paragraphs the official elements are made
of."""

from docx.oxml import OxmlElement, parse_xml
from docx.oxml.ns import nsdecls, qn
from docx.shared import Pt, Twips


def set_fonts(r, name, size, color=None, bold=False):
    """Gives a run (w:r) its font for every script, its size in points and,
    optionally, a colour (RRGGBB) and bold."""
    r_pr = r.get_or_add_rPr()
    fonts = r_pr.get_or_add_rFonts()
    for attribute in ("w:ascii", "w:hAnsi", "w:eastAsia", "w:cs"):
        fonts.set(qn(attribute), name)
    # Dashes and quotation marks are drawn with the East Asian font, full
    # width, as a Chinese reader expects them.
    fonts.set(qn("w:hint"), "eastAsia")
    if bold:
        r_pr.get_or_add_b()
    if color is not None:
        r_pr.get_or_add_color().set(qn("w:val"), color)
    r_pr.get_or_add_sz().set(qn("w:val"), str(int(round(size * 2))))
    size_cs = OxmlElement("w:szCs")
    size_cs.set(qn("w:val"), str(int(round(size * 2))))
    r_pr.get_or_add_sz().addnext(size_cs)


def field_runs(paragraph, instruction, shown):
    """The runs of a field (PAGE, say) appended to `paragraph`, showing
    `shown` until the reader updates it."""
    runs = []
    for kind in ("begin", "instruction", "separate", "result", "end"):
        r = paragraph.add_run()._r
        if kind == "instruction":
            text = OxmlElement("w:instrText")
            text.set(qn("xml:space"), "preserve")
            text.text = " %s " % instruction
            r.append(text)
        elif kind == "result":
            r.add_t(shown)
        else:
            char = OxmlElement("w:fldChar")
            char.set(qn("w:fldCharType"), kind)
            r.append(char)
        runs.append(r)
    return runs


def default_run_properties(doc):
    """The run properties of the styles part's document defaults."""
    return doc.styles.element.find(qn("w:docDefaults")).find(qn("w:rPrDefault")).find(qn("w:rPr"))


# The order of w:pPr's and w:rPr's children that the schema requires.
_ORDER = {
    "w:pPr": ("w:pStyle", "w:keepNext", "w:keepLines", "w:pageBreakBefore", "w:framePr", "w:widowControl",
              "w:numPr", "w:suppressLineNumbers", "w:pBdr", "w:shd", "w:tabs", "w:suppressAutoHyphens",
              "w:kinsoku", "w:wordWrap", "w:overflowPunct", "w:topLinePunct", "w:autoSpaceDE", "w:autoSpaceDN",
              "w:bidi", "w:adjustRightInd", "w:snapToGrid", "w:spacing", "w:ind", "w:contextualSpacing",
              "w:mirrorIndents", "w:suppressOverlap", "w:jc", "w:textDirection", "w:textAlignment",
              "w:textboxTightWrap", "w:outlineLvl", "w:divId", "w:cnfStyle", "w:rPr", "w:sectPr", "w:pPrChange"),
    "w:rPr": ("w:rStyle", "w:rFonts", "w:b", "w:bCs", "w:i", "w:iCs", "w:caps", "w:smallCaps", "w:strike",
              "w:dstrike", "w:outline", "w:shadow", "w:emboss", "w:imprint", "w:noProof", "w:snapToGrid",
              "w:vanish", "w:webHidden", "w:color", "w:spacing", "w:w", "w:kern", "w:position", "w:sz", "w:szCs",
              "w:highlight", "w:u", "w:effect", "w:bdr", "w:shd", "w:fitText", "w:vertAlign", "w:rtl", "w:cs",
              "w:em", "w:lang", "w:eastAsianLayout", "w:specVanish", "w:oMath"),
}
_RANKS = {qn(parent): {qn(tag): rank for rank, tag in enumerate(tags)} for parent, tags in _ORDER.items()}


def insert_in_order(parent, element):
    """Inserts `element` into a w:pPr or w:rPr where the schema puts it."""
    ranks = _RANKS[parent.tag]
    mine = ranks[element.tag]
    for child in parent:
        if ranks.get(child.tag, len(ranks)) > mine:
            child.addprevious(element)
            return
    parent.append(element)


def border(tag, size_eighths, color="000000", space=0):
    """A single-line border element (w:top, w:bottom, ...): its width in
    eighths of a point, its colour and its distance from the text in
    points."""
    element = OxmlElement(tag)
    element.set(qn("w:val"), "single")
    element.set(qn("w:sz"), str(size_eighths))
    element.set(qn("w:space"), str(space))
    element.set(qn("w:color"), color)
    return element


def body_paragraph(doc, line_twips, alignment=None):
    """A new paragraph of the body with no spacing of its own, exact lines
    and no snapping to the character grid; placed by the caller."""
    paragraph = doc.add_paragraph()
    paragraph.alignment = alignment
    paragraph_format = paragraph.paragraph_format
    paragraph_format.space_before = paragraph_format.space_after = Pt(0)
    paragraph_format.line_spacing = Twips(line_twips)
    paragraph_format.first_line_indent = Pt(0)
    no_grid(paragraph._p.get_or_add_pPr())
    return paragraph


def no_grid(p_pr):
    """Characters at their own widths: not on the character grid, and no
    extra space between Chinese text and numerals, so that the widths the
    layout counts are the widths printed."""
    for tag in ("w:autoSpaceDE", "w:autoSpaceDN", "w:snapToGrid"):
        if p_pr.find(qn(tag)) is None:
            insert_in_order(p_pr, parse_xml('<%s %s w:val="0"/>' % (tag, nsdecls("w"))))


def add_text(paragraph, text, font, size, color=None, bold=False):
    """A run of `text` in `font` at `size` points appended to `paragraph`."""
    set_fonts(paragraph.add_run(text)._r, font, size, color, bold)
