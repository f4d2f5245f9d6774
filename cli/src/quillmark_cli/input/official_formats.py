"""Which fields of the `official` mapping each format of official document
takes, checked with their places once the schema has passed the input.

- document (文件格式, the default) takes every field but those of the
  other formats: the order number and the minutes' lists.
- letter (信函格式) has one authority's mark, without "文件", and a record
  block without the printing authority and date; it names no signer (签发人).
- order (命令格式) has the mark and the order number (`order_number`), no
  document number, copy number, secrecy or urgency, and is signed with the
  signer's signature stamp, beside the signer's title (`signer_title`).
- minutes (纪要格式) have the mark, the document number where given, and
  the lists of who attended, was excused and sat in (`attendees`, `absent`,
  `observers`); they carry no seal and name no signer.
"""

from quillmark_cli.errors import InputError

FORMATS = ("document", "letter", "order", "minutes")
NAMES = {"document": "a document", "letter": "a letter", "order": "an order", "minutes": "minutes"}
_ONLY_ORDERS = "only an order has an order number (format: order)"
_ONLY_MINUTES = "only minutes list who attended, was excused or sat in (format: minutes)"
# By format, the fields it does not take and why.
NOT_TAKEN = {
    "document": {"order_number": _ONLY_ORDERS, "attendees": _ONLY_MINUTES, "absent": _ONLY_MINUTES,
                 "observers": _ONLY_MINUTES},
    "letter": {
        "signer": "a letter names no signer (签发人)",
        "printed_by": "a letter's record block has no printing authority or printing date",
        "printed_on": "a letter's record block has no printing authority or printing date",
        "order_number": _ONLY_ORDERS, "attendees": _ONLY_MINUTES, "absent": _ONLY_MINUTES,
        "observers": _ONLY_MINUTES,
    },
    "order": {
        "number": "an order has an order number instead of a document number: give it as order_number",
        "signer": "an order names no signer (签发人): the signer's title stands beside the signature stamp",
        "copy_number": "an order's masthead holds its mark and its order number only",
        "secrecy": "an order's masthead holds its mark and its order number only",
        "urgency": "an order's masthead holds its mark and its order number only",
        "attendees": _ONLY_MINUTES, "absent": _ONLY_MINUTES, "observers": _ONLY_MINUTES,
    },
    "minutes": {
        "signer": "minutes name no signer (签发人)",
        "seal": "minutes carry no seal or signature stamp",
        "seal_image": "minutes carry no seal or signature stamp",
        "signer_title": "minutes carry no seal or signature stamp",
        "order_number": _ONLY_ORDERS,
    },
}
MARKS = {
    "letter": "the authority's full name or its short name",
    "order": "the authority's full name, to which 令 is added where it does not end in 令 or 命令",
    "minutes": "the name of the minutes, to which 纪要 is added where it does not end in 纪要",
}
SEAL_OF_ORDERS = "signature"


def check_format(official, markdown_source):
    """`official` (the input's mapping, or None) as its format takes it:
    refuses, with its place, a field the format does not take or a field it
    needs and lacks. An order's `seal` is the signer's signature stamp
    whether given or not; the mapping returned says so."""
    if not official:
        return official
    kind = official.get("format") or "document"

    def where(key):
        return ("front matter: official: " if markdown_source else "official.") + key

    for key in official:
        reason = NOT_TAKEN[kind].get(key)
        if reason is not None:
            raise InputError(where(key), reason)
    if kind == "document":
        return official
    authority = official.get("authority")
    if not authority:
        raise InputError(where("authority"), "missing: %s's mark, %s" % (NAMES[kind], MARKS[kind]))
    if not isinstance(authority, str):
        raise InputError(where("authority"), "expected text: %s has one authority's mark (%s)" % (
            NAMES[kind], MARKS[kind]))
    if kind == "letter" and authority.strip().endswith("文件"):
        raise InputError(where("authority"), "a letter's mark is the authority's name without 文件")
    if kind == "order":
        if official.get("seal", SEAL_OF_ORDERS) != SEAL_OF_ORDERS:
            raise InputError(where("seal"), "an order is signed with the signer's signature stamp: leave seal out "
                                            "or give %s" % SEAL_OF_ORDERS)
        if not official.get("signer_title"):
            raise InputError(where("signer_title"), "missing: an order gives the signer's title (e.g. 市长), which "
                                                    "stands beside the signature stamp")
        official = dict(official, seal=SEAL_OF_ORDERS)
    return official
