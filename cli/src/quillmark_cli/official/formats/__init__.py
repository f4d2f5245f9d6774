"""The standard's formats besides the common one (a document, 文件格式): the
letter, the order and the minutes, each placing what sets it apart. A
format's head stands where a document's masthead does."""

from quillmark_cli.official.formats.letter import add_letterhead, letterhead_height
from quillmark_cli.official.formats.minutes import add_minutes_head, list_attendance, minutes_head_height  # noqa: F401
from quillmark_cli.official.formats.order import SEAL as ORDER_SEAL, add_order_head, order_head_height
from quillmark_cli.official.masthead import add_masthead, masthead_height

FORMATS = ("document", "letter", "order", "minutes")


def format_of(official):
    return official.get("format") or "document"


def add_head(parts, body, geometry, official):
    """The masthead, or what the format has in its place, at the top of the
    body."""
    kind = format_of(official)
    if kind == "letter":
        add_letterhead(parts, body, geometry, official)
    elif kind == "order":
        add_order_head(body, geometry, official)
    elif kind == "minutes":
        add_minutes_head(body, geometry, official)
    else:
        add_masthead(body, geometry, official)


def head_height(geometry, official):
    """How far down the text block the head reaches, in twips, the empty
    lines under it included."""
    kind = format_of(official)
    if kind == "letter":
        return letterhead_height(geometry, official)
    if kind == "order":
        return order_head_height(geometry, official)
    if kind == "minutes":
        return minutes_head_height(geometry, official)
    return masthead_height(geometry, official)


def seal_of(official):
    """How the document is signed: an order with the signer's signature
    stamp, whatever its mapping says."""
    return ORDER_SEAL if format_of(official) == "order" else official.get("seal")
