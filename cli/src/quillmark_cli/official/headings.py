"""Headings numbered at four levels, as the standard numbers the levels of
a document's structure: "一、", "（一）", "1." and "（1）", each number
followed directly by its heading (no tab or space between), each level
counting afresh under a heading of the level above it, and indented as a
body paragraph, two characters in, wrapping flush left. Each number takes
its heading's font: the template gives the first level 黑体, the second 楷体,
the third and fourth 仿宋.

The headings are found by their styles (see roles), and numbered through
the package's numbering part: its one list definition, which the generator
made with two levels, becomes the four, and each heading refers to it at
its level. A heading below the fourth level gets no number.
"""

import copy
import functools

from quillmark_cli.official.figures import points_to_twips
from quillmark_cli.official.parts import Memo
from quillmark_cli.official.roles import HEADING_LEVELS, heading_levels
from quillmark_cli.official.wordml import element, elements, insert_in_order, qn, w

LIST = "1"  # the generator's list definition and its instance
LEVELS = (  # number format, the number as shown
    ("chineseCounting", "%1、"),
    ("chineseCounting", "（%2）"),
    ("decimal", "%3."),
    ("decimal", "（%4）"),
)
INDENT_CHARACTERS = 2
_P, _P_PR, _P_STYLE, _NUM_PR, _VAL = qn("w:p"), qn("w:pPr"), qn("w:pStyle"), qn("w:numPr"), qn("w:val")
# A batch's packages share their numbering part: what it became, by the
# part as read and the font size.
_numbering_memo = Memo()


def number_headings(parts, numbering_name, paragraphs, roles, font_size, instance=LIST):
    """Numbers the headings among `paragraphs`, referring to the list
    `instance`; the numbering part (`numbering_name`) gets the four levels.
    Nothing changes without a numbered paragraph."""
    levels = heading_levels(roles)
    numbered = False
    for paragraph in paragraphs:
        if paragraph.tag != _P:
            continue
        p_pr = paragraph.find(_P_PR)
        if p_pr is None:
            continue
        style = p_pr.find(_P_STYLE)
        level = levels.get(style.get(_VAL)) if style is not None else None
        numbering = p_pr.find(_NUM_PR)
        if level is not None:
            if numbering is not None:
                p_pr.remove(numbering)
            insert_in_order(p_pr, copy.deepcopy(_numbering_reference(level, instance)))
            numbered = True
        elif numbering is not None and _refers_to(numbering, instance):
            if _level_of(numbering) >= HEADING_LEVELS:
                p_pr.remove(numbering)
            else:
                numbered = True
    if numbered and numbering_name is not None:
        _define_levels(parts, numbering_name, font_size)


@functools.lru_cache(maxsize=64)
def _numbering_reference(level, instance):
    """A heading's w:numPr, to be copied."""
    return element(w("numPr", w("ilvl", val=level - 1), w("numId", val=instance)))


def _refers_to(numbering, instance):
    number = numbering.find(qn("w:numId"))
    return number is not None and number.get(qn("w:val")) == instance


def _level_of(numbering):
    level = numbering.find(qn("w:ilvl"))
    try:
        return int(level.get(qn("w:val"))) if level is not None else 0
    except (TypeError, ValueError):
        return 0


def _define_levels(parts, name, font_size):
    """The list definition the instance refers to, with the four levels;
    from the memo where the part is as the generator wrote it."""
    if parts.is_parsed(name):  # changed here already (an attachment's list)
        _redefine_levels(parts.xml(name), font_size)
        parts.changed(name)
        return
    parts.change_as_remembered(name, _numbering_memo, _redefine_levels, font_size)


def _redefine_levels(numbering, font_size):
    instance = next((n for n in numbering.iterchildren(qn("w:num")) if n.get(qn("w:numId")) == LIST), None)
    if instance is None:
        return
    abstract_id = instance.find(qn("w:abstractNumId")).get(qn("w:val"))
    definition = next((d for d in numbering.iterchildren(qn("w:abstractNum"))
                       if d.get(qn("w:abstractNumId")) == abstract_id), None)
    if definition is None:
        return
    indent = points_to_twips(INDENT_CHARACTERS * font_size)
    new = elements(w("abstractNum", w("multiLevelType", val="multilevel"), *(
        w("lvl", w("start", val=1), w("numFmt", val=number_format), w("suff", val="nothing"),
          w("lvlText", val=text), w("lvlJc", val="left"), w("pPr", w("ind", left=0, firstLine=indent)),
          ilvl=index)
        for index, (number_format, text) in enumerate(LEVELS)), abstractNumId=abstract_id))[0]
    definition.addprevious(new)
    numbering.remove(definition)
