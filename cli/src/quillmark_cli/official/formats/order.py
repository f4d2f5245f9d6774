"""The order format (命令格式): the mark, the authority's full name followed
by "令" (or "命令"), centred in red 小标宋, its top edge 20 mm below the text
block's top edge; the order number (令号) centred two lines under it; the
text two lines under the order number; no red line. An order is signed as
a document signed with the signer's signature stamp (see signature): the
stamp four characters in from the right with the signer's title two
characters to its left, two empty lines under the text, and the date one
empty line under the stamp, four characters in.
"""

from quillmark_cli.official.masthead import add_masthead, masthead_height

MARK_TOP_MM = 20  # the tops of the mark's characters, below the text block's top edge
MARK_WORD = "令"  # which "命令" ends in too
SEAL = "signature"


def order_mark(authority):
    """The mark: the authority's name with "令" after it where the name does
    not end in it already."""
    text = authority.strip()
    return text if text.endswith(MARK_WORD) else text + MARK_WORD


def add_order_head(body, geometry, official):
    add_masthead(body, geometry, _as_masthead(official), MARK_TOP_MM, red_line=False)


def order_head_height(geometry, official):
    return masthead_height(geometry, _as_masthead(official), MARK_TOP_MM, red_line=False)


def _as_masthead(official):
    """The masthead's fields: the mark, and the order number where a
    document's number stands."""
    authority = official.get("authority")
    return {"authority": order_mark(authority) if isinstance(authority, str) else authority,
            "number": official.get("order_number")}
