"""Attachments (附件).

The list of attachments (附件说明) stands one empty line under the text,
two characters in: "附件：" and the name; several attachments are numbered,
"附件：1.……", each next one's number under the first one's, and a name that
wraps goes on under its first character. A name takes no punctuation after
it.

Each attachment that has a text of its own follows on pages of its own,
before the record block: "附件" and its number (just "附件" for a single
attachment) in 3号黑体 flush left on the first line, the attachment's name
as its title centred on the third line in 2号小标宋, then its text formatted
as the body; page numbers go on. The attachment's text is the body of a
package the generator wrote for it with the document's template: its
hyperlinks are related anew to the document, and its headings are numbered
afresh from 一、.
"""

import math

from quillmark_cli.official.figures import BODY_FONT, HEADING_FONT, MARK_FONT, SIZE_2, SIZE_3
from quillmark_cli.official.headings import LIST
from quillmark_cli.official.paragraphs import layout_paragraph
from quillmark_cli.official.parts import NotAPackage, Parts
from quillmark_cli.official.title import line_breaks
from quillmark_cli.official.wordml import R_NS, element, elements, qn, run, run_properties, w

LABEL = "附件"
LIST_LABEL = "附件："
INDENT_CHARACTERS = 2
TITLE_LINE_HEIGHT = 1.2  # the least a line of the title takes, in its size
HYPERLINK = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink"


def attachment_names(attachments):
    """The attachments' names, from names or {name, file} mappings."""
    return [item["name"] if isinstance(item, dict) else item for item in attachments or ()]


def list_attachments(body, geometry, names, before=None):
    """The list under the text: before `before` (the empty line above the
    signature) or at the end of the text. Returns its first paragraph."""
    if not names:
        return None
    character = geometry.characters(1)
    start = INDENT_CHARACTERS * character
    label = geometry.text_width(LIST_LABEL, SIZE_3)
    made = [layout_paragraph(geometry.line)]  # one empty line under the text
    properties = run_properties(BODY_FONT, SIZE_3)
    for number, name in enumerate(names, 1):
        if len(names) == 1:
            text, prefix = LIST_LABEL + name, LIST_LABEL
        else:
            prefix = ("%d." % number) if number > 1 else LIST_LABEL + "1."
            text = prefix + name
        hanging = geometry.text_width(prefix, SIZE_3)
        first = start if number == 1 or len(names) == 1 else start + label
        made.append(w("p", w("pPr", w("spacing", before=0, after=0, line=geometry.line, lineRule="exact"),
                               w("ind", left=first + hanging, hanging=hanging), w("jc", val="both")),
                      run(text, properties)))
    made = elements(*made)
    for paragraph in made:
        if before is not None:
            before.addprevious(paragraph)
        else:
            _append(body, paragraph)
    return made[0]


def add_attachment_pages(parts, body, geometry, names, packages, numbering_name, number_headings):
    """The pages of each attachment whose package is given (`packages`
    aligned with `names`; None for an attachment without a text);
    `number_headings(paragraphs, instance)` numbers an attachment's
    headings in its list instance."""
    single = len(names) == 1
    for number, (name, package) in enumerate(zip(names, packages), 1):
        if package is None:
            continue
        label = LABEL if single else "%s%d" % (LABEL, number)
        for paragraph in _heading(geometry, label, name):
            _append(body, paragraph)
        instance = _fresh_numbering(parts, numbering_name)
        text = _text_of(parts, package, instance)
        for child in text:
            _append(body, child)
        if instance is not None:
            number_headings(text, instance)


def _heading(geometry, label, name):
    """The label on the first line, the title on the third."""
    # The title's lines on the grid's lines, as many as a line of its size takes.
    title_line = geometry.line * math.ceil(SIZE_2 * 20 * TITLE_LINE_HEIGHT / geometry.line)
    breaks = line_breaks(name, geometry.characters_a_line(SIZE_2))
    pieces = [name[start:end] for start, end in zip([0] + breaks, breaks + [len(name)])]
    title_runs = []
    for index, piece in enumerate(pieces):
        if index:
            title_runs.append(w("r", w("br")))
        title_runs.append(run(piece, run_properties(MARK_FONT, SIZE_2)))
    made = elements(
        w("p", w("pPr", w("pageBreakBefore"), w("snapToGrid", val=0),
                 w("spacing", before=0, after=0, line=geometry.line, lineRule="exact"),
                 w("ind", left=0, firstLine=0), w("jc", val="left")),
          run(label, run_properties(HEADING_FONT, SIZE_3))),
        layout_paragraph(geometry.line),
        w("p", w("pPr", w("snapToGrid", val=0),
                 w("spacing", before=0, after=geometry.line, line=title_line, lineRule="exact"),
                 w("ind", left=0, firstLine=0), w("jc", val="center")), *title_runs))
    return made


def _text_of(parts, package, instance):
    """The body of the attachment's package, its relationships related to
    the document and its list instance `instance`."""
    try:
        attachment = Parts(package)
    except NotAPackage as error:
        raise NotAPackage("an attachment: %s" % error) from None
    body = attachment.xml(attachment.main).find(qn("w:body"))
    if body is None:
        return []
    targets = {identifier: (kind, target, mode) for identifier, kind, target, mode in attachment.main_relationships}
    renamed = {}
    children = [child for child in body if child.tag != qn("w:sectPr")]
    for child in children:
        for node in child.iter():
            for attribute in (qn("r:id"), "{%s}embed" % R_NS):
                old = node.get(attribute)
                if old is None:
                    continue
                if old not in renamed:
                    kind, target, mode = targets.get(old, (None, None, None))
                    if kind != HYPERLINK:
                        raise NotAPackage("an attachment holds a part the layout does not carry over (%s)" % kind)
                    renamed[old] = parts.main_relationships.add(kind, target, external=mode == "External")
                node.set(attribute, renamed[old])
        for numbering in child.iter(qn("w:numId")):
            if numbering.get(qn("w:val")) == LIST and instance is not None:
                numbering.set(qn("w:val"), instance)
    if renamed:
        parts.changed_relationships()
    return children


def _fresh_numbering(parts, name):
    """A new instance of the headings' list that counts afresh from 一、 at
    every level; its id (None without a numbering part)."""
    if name is None:
        return None
    numbering = parts.xml(name)
    instances = list(numbering.iterchildren(qn("w:num")))
    original = next((n for n in instances if n.get(qn("w:numId")) == LIST), None)
    if original is None:
        return None
    abstract = original.find(qn("w:abstractNumId")).get(qn("w:val"))
    identifier = str(max(int(n.get(qn("w:numId"))) for n in instances) + 1)
    made = element(w("num", w("abstractNumId", val=abstract), *(
        w("lvlOverride", w("startOverride", val=1), ilvl=level) for level in range(4)), numId=identifier))
    instances[-1].addnext(made)
    parts.changed(name)
    return identifier


def _append(body, paragraph):
    end = body.find(qn("w:sectPr"))
    if end is not None:
        end.addprevious(paragraph)
    else:
        body.append(paragraph)

