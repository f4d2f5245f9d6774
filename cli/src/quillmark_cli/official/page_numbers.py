"""Page numbers: "— N —" in 4号 (14 pt) 宋体, the top of its line 7 mm below
the text block; one character in from the right edge of the text block on
odd pages and from the left edge on even ones ("standard"), or centred on
every page ("center").

Each footer is the footer python-docx makes (its namespaces, one paragraph
in the style "Footer"), holding the number as a PAGE field. Footers depend
on nothing but their side, so each is made once per process.
"""

import os

import docx

from quillmark_cli.official.container import Member
from quillmark_cli.official.figures import PAGE_NUMBER_FONT, SIZE_4, points_to_twips
from quillmark_cli.official.parts import FOOTER, FOOTER_CONTENT_TYPE
from quillmark_cli.official.wordml import elements, insert_in_order, parse, qn, run, run_properties, serialize, w

PAGE_NUMBER_SIZE = SIZE_4
PAGE_NUMBER_GAP_MM = 7
INSET = points_to_twips(PAGE_NUMBER_SIZE)  # one character of the number's size
_FOOTER_TEMPLATE = os.path.join(os.path.dirname(docx.__file__), "templates", "default-footer.xml")
_made = {}


def add_page_numbers(parts, section, style, first_page=True):
    """Footers with the page number for the section (`style`: "standard" or
    "center"; the settings say that even pages have footers of their own,
    see page_setup); without `first_page`, the first page has a footer of
    its own, empty (a letter's first page shows no number)."""
    if not first_page:
        _add_footer(parts, section, "first", None)
        insert_in_order(section, "titlePg")
    if style == "center":
        _add_footer(parts, section, "default", "center")
        return
    _add_footer(parts, section, "default", "right")
    _add_footer(parts, section, "even", "left")


def add_empty_footers(parts, section, kinds):
    """One empty footer, referenced by the section for each of `kinds`
    ("default", "even", "first"): a section without a footer of a kind
    would show the previous section's."""
    name = parts.next_name("word/footer%d.xml")
    identifier = parts.add_part(name, FOOTER_CONTENT_TYPE, FOOTER)
    parts.set_member(name, _footer(None))
    for kind in kinds:
        insert_in_order(section, "footerReference", type=kind, r_id=identifier)


def _add_footer(parts, section, kind, side):
    name = parts.next_name("word/footer%d.xml")
    identifier = parts.add_part(name, FOOTER_CONTENT_TYPE, FOOTER)
    parts.set_member(name, _footer(side))
    insert_in_order(section, "footerReference", type=kind, r_id=identifier)


def _footer(side):
    """The compressed footer with the number at `side` (None: an empty
    footer)."""
    made = _made.get(side)
    if made is None:
        with open(_FOOTER_TEMPLATE, "rb") as template:
            footer = parse(template.read())
        paragraph = footer.find(qn("w:p"))
        properties = run_properties(PAGE_NUMBER_FONT, PAGE_NUMBER_SIZE)
        # An empty footer is as tall as a numbered one: LibreOffice ends
        # the text above the footer, so a shorter one would let the text
        # block (and a record block at its foot) reach lower on its pages.
        insert_in_order(paragraph.find(qn("w:pPr")), elements(w("spacing", before=0, after=0, line=INSET,
                                                                lineRule="exact"))[0])
        if side is None:
            made = _made[side] = Member(FOOTER, 0, data=serialize(footer)).compressed()
            return made
        for made_element in elements(
                w("ind", left=INSET if side == "left" else None, right=INSET if side == "right" else None,
                  firstLine=0),
                w("jc", val=side)):
            insert_in_order(paragraph.find(qn("w:pPr")), made_element)
        for made_element in elements(run("— ", properties), *_field("PAGE", "1", properties),
                                     run(" —", properties)):
            paragraph.append(made_element)
        made = _made[side] = Member(FOOTER, 0, data=serialize(footer)).compressed()
    return made


def _field(instruction, shown, properties):
    """The runs of a field showing `shown` until the reader updates it."""
    return [w("r", properties, w("fldChar", fldCharType="begin")),
            w("r", properties, w("instrText", text=" %s " % instruction, xml_space="preserve")),
            w("r", properties, w("fldChar", fldCharType="separate")),
            run(shown, properties),
            w("r", properties, w("fldChar", fldCharType="end"))]
