"""Small WordprocessingML builders the layout shares, on python-docx's element
layer."""

from docx.oxml import OxmlElement
from docx.oxml.ns import qn


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
