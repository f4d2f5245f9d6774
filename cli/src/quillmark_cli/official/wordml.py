"""Writing and reading WordprocessingML. New elements are described as
data — `w("p", w("pPr", w("jc", val="center")))` is `<w:p><w:pPr><w:jc
w:val="center"/></w:pPr></w:p>` — written as markup, leaves first, and
parsed once per group into lxml elements (`elements`), which is several
times faster than building them one lxml element at a time."""

import functools

from lxml import etree

W_NS = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
R_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
XML_NS = "http://www.w3.org/XML/1998/namespace"
WP_NS = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"
A_NS = "http://schemas.openxmlformats.org/drawingml/2006/main"
PIC_NS = "http://schemas.openxmlformats.org/drawingml/2006/picture"
_PREFIXES = {"w": W_NS, "r": R_NS, "xml": XML_NS}
_PARSER = etree.XMLParser(remove_blank_text=True, resolve_entities=False, huge_tree=True)
_FRAGMENT = '<w:fragment xmlns:w="%s" xmlns:r="%s">%%s</w:fragment>' % (W_NS, R_NS)
# Attribute names as written: w:val, and the two that are not in w:.
_SPECIAL = {"xml_space": "xml:space", "r_id": "r:id"}


@functools.lru_cache(maxsize=None)
def qn(name):
    """"w:p" as lxml names it; "r:id" and "xml:space" likewise."""
    prefix, local = name.split(":")
    return "{%s}%s" % (_PREFIXES[prefix], local)


def escape(text):
    """`text` as XML character data, or as an attribute's value between
    double quotes."""
    if "&" in text:
        text = text.replace("&", "&amp;")
    if "<" in text:
        text = text.replace("<", "&lt;")
    if ">" in text:
        text = text.replace(">", "&gt;")
    if '"' in text:
        text = text.replace('"', "&quot;")
    for character, reference in _KEPT_IN_ATTRIBUTES:
        if character in text:
            text = text.replace(character, reference)
    return text


# Whitespace that an attribute's value would otherwise lose to normalisation.
_KEPT_IN_ATTRIBUTES = (("\t", "&#9;"), ("\n", "&#10;"), ("\r", "&#13;"))


def w(tag, *children, text=None, **attributes):
    """The markup of a w: element with w: attributes (`xml_space` is
    xml:space, `r_id` r:id; None leaves one out), its children's markup in
    order (None and "" are left out) and its text."""
    markup = "<w:" + tag
    for name, value in attributes.items():
        if value is not None:
            markup += ' %s="%s"' % (_SPECIAL.get(name) or "w:" + name,
                                    value if type(value) is int else escape(str(value)))
    inner = "".join([child for child in children if child])
    if text is not None:
        inner += escape(text)
    return "%s>%s</w:%s>" % (markup, inner, tag) if inner else markup + "/>"


def elements(*markup):
    """The lxml elements `markup` describes, in order."""
    return list(etree.fromstring(_FRAGMENT % "".join(markup), _PARSER))


def element(markup):
    return elements(markup)[0]


def parse(data):
    return etree.fromstring(data, _PARSER)


def serialize(root):
    """A part's bytes, as python-docx writes them."""
    return etree.tostring(root, encoding="UTF-8", standalone=True)


def text_of(paragraph):
    return "".join(t.text or "" for t in paragraph.iter(qn("w:t")))


@functools.lru_cache(maxsize=64)
def run_properties(font, size, color=None, bold=False):
    """A run's properties: `font` for every script, its size in points and,
    optionally, a colour (RRGGBB) and bold. Dashes and quotation marks are
    drawn with the East Asian font, full width, as a Chinese reader expects
    them."""
    size = int(round(size * 2))
    return w("rPr", w("rFonts", ascii=font, hAnsi=font, eastAsia=font, cs=font, hint="eastAsia"),
             w("b") if bold else None, w("color", val=color) if color is not None else None,
             w("sz", val=size), w("szCs", val=size))


def run(text, properties=None):
    """A run of `text` with `properties`: tabs become w:tab and line feeds
    w:br, as a reader expects them; spaces at either end are kept."""
    content = [properties]
    for index, piece in enumerate(text.split("\t")):
        if index:
            content.append(w("tab"))
        for line, part in enumerate(piece.split("\n")):
            if line:
                content.append(w("br"))
            if part:
                content.append(w("t", text=part, xml_space="preserve" if part.strip() != part else None))
    return w("r", *content)


def border(tag, eighths, color="000000", space=0):
    """A single-line border (w:top, w:bottom, ...): its width in eighths of a
    point, its colour and its distance from the text in points."""
    return w(tag, val="single", sz=eighths, space=space, color=color)


# The order of the children of w:pPr, w:rPr, w:sectPr and w:settings that
# the schema requires.
_ORDER = {
    "pPr": ("pStyle", "keepNext", "keepLines", "pageBreakBefore", "framePr", "widowControl", "numPr",
            "suppressLineNumbers", "pBdr", "shd", "tabs", "suppressAutoHyphens", "kinsoku", "wordWrap",
            "overflowPunct", "topLinePunct", "autoSpaceDE", "autoSpaceDN", "bidi", "adjustRightInd", "snapToGrid",
            "spacing", "ind", "contextualSpacing", "mirrorIndents", "suppressOverlap", "jc", "textDirection",
            "textAlignment", "textboxTightWrap", "outlineLvl", "divId", "cnfStyle", "rPr", "sectPr", "pPrChange"),
    "rPr": ("rStyle", "rFonts", "b", "bCs", "i", "iCs", "caps", "smallCaps", "strike", "dstrike", "outline",
            "shadow", "emboss", "imprint", "noProof", "snapToGrid", "vanish", "webHidden", "color", "spacing", "w",
            "kern", "position", "sz", "szCs", "highlight", "u", "effect", "bdr", "shd", "fitText", "vertAlign",
            "rtl", "cs", "em", "lang", "eastAsianLayout", "specVanish", "oMath"),
    "sectPr": ("headerReference", "footerReference", "footnotePr", "endnotePr", "type", "pgSz", "pgMar",
               "paperSrc", "pgBorders", "lnNumType", "pgNumType", "cols", "formProt", "vAlign", "noEndnote",
               "titlePg", "textDirection", "bidi", "rtlGutter", "docGrid", "printerSettings", "sectPrChange"),
    "settings": ("writeProtection", "view", "zoom", "removePersonalInformation", "removeDateAndTime",
                 "doNotDisplayPageBoundaries", "displayBackgroundShape", "printPostScriptOverText",
                 "printFractionalCharacterWidth", "printFormsData", "embedTrueTypeFonts", "embedSystemFonts",
                 "saveSubsetFonts", "saveFormsData", "mirrorMargins", "alignBordersAndEdges",
                 "bordersDoNotSurroundHeader", "bordersDoNotSurroundFooter", "gutterAtTop", "hideSpellingErrors",
                 "hideGrammaticalErrors", "activeWritingStyle", "proofState", "formsDesign", "attachedTemplate",
                 "linkStyles", "stylePaneFormatFilter", "stylePaneSortMethod", "documentType", "mailMerge",
                 "revisionView", "trackRevisions", "doNotTrackMoves", "doNotTrackFormatting", "documentProtection",
                 "autoFormatOverride", "styleLockTheme", "styleLockQFSet", "defaultTabStop", "autoHyphenation",
                 "consecutiveHyphenLimit", "hyphenationZone", "doNotHyphenateCaps", "showEnvelope",
                 "summaryLength", "clickAndTypeStyle", "defaultTableStyle", "evenAndOddHeaders",
                 "bookFoldRevPrinting", "bookFoldPrinting", "bookFoldPrintingSheets",
                 "drawingGridHorizontalSpacing", "drawingGridVerticalSpacing", "displayHorizontalDrawingGridEvery",
                 "displayVerticalDrawingGridEvery", "doNotUseMarginsForDrawingGridOrigin",
                 "drawingGridHorizontalOrigin", "drawingGridVerticalOrigin", "doNotShadeFormData",
                 "noPunctuationKerning", "characterSpacingControl", "printTwoOnOne", "strictFirstAndLastChars",
                 "noLineBreaksAfter", "noLineBreaksBefore", "savePreviewPicture", "doNotValidateAgainstSchema",
                 "saveInvalidXml", "ignoreMixedContent", "alwaysShowPlaceholderText", "doNotDemarcateInvalidXml",
                 "saveXmlDataOnly", "useXSLTWhenSaving", "saveThroughXslt", "showXMLTags",
                 "alwaysMergeEmptyNamespace", "updateFields", "hdrShapeDefaults", "footnotePr", "endnotePr",
                 "compat", "docVars", "rsids", "mathPr", "attachedSchema", "themeFontLang", "clrSchemeMapping",
                 "doNotIncludeSubdocsInStats", "doNotAutoCompressPictures", "forceUpgrade", "captions",
                 "readModeInkLockDown", "smartTagType", "schemaLibrary", "shapeDefaults", "doNotEmbedSmartTags",
                 "decimalSymbol", "listSeparator"),
}
_M_NS = "http://schemas.openxmlformats.org/officeDocument/2006/math"
_SL_NS = "http://schemas.openxmlformats.org/schemaLibrary/2006/main"
_QUALIFIED = {"mathPr": "{%s}mathPr" % _M_NS, "schemaLibrary": "{%s}schemaLibrary" % _SL_NS}
# By the parent's tag, each child's rank by its tag.
_RANKS = {qn("w:" + parent): {_QUALIFIED.get(name) or qn("w:" + name): rank for rank, name in enumerate(names)}
          for parent, names in _ORDER.items()}


def insert_in_order(parent, new, **attributes):
    """Inserts `new` into a w:pPr, w:rPr, w:sectPr or w:settings where the
    schema puts it: an element, or a w: tag made into one with
    `attributes` (as `w` takes them). Returns the element."""
    if isinstance(new, str):
        new = parent.makeelement(qn("w:" + new), {_qualified(name): value if type(value) is str else str(value)
                                                  for name, value in attributes.items() if value is not None})
    ranks = _RANKS[parent.tag]
    mine = ranks[new.tag]
    last = len(ranks)
    for existing in parent:
        if ranks.get(existing.tag, last) > mine:
            existing.addprevious(new)
            return new
    parent.append(new)
    return new


def _qualified(name):
    special = _SPECIAL.get(name)
    return qn(special) if special else "{%s}%s" % (W_NS, name)


def child(parent, tag):
    """`parent`'s w:`tag` child, made and put where the schema puts it when
    missing."""
    found = parent.find(qn("w:" + tag))
    if found is None:
        found = insert_in_order(parent, tag)
    return found
