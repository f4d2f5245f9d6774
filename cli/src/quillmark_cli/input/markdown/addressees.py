"""The addressees' line of a notice written in Markdown: the first
paragraph directly under the title, one line of plain text ending in a
full-width colon ("各区县应急管理局，各有关企业："), is taken as the
addressees (主送机关), which the official layout places flush left under the
title, rather than as a body paragraph indented two characters.

Front matter that gives `official: {addressees: ...}` turns the rule off:
the addressees are then those it gives (an empty list for none), and the
line stays a paragraph of the body.
"""

COLON = "："


def take_addressees(converter, settings):
    """Moves the addressees' line, if the text has one, from the elements
    into the `official` mapping."""
    element = converter.addressee_line
    index = next((i for i, found in enumerate(converter.elements) if found is element), None)
    if index is None or "runs" in element:
        return
    official = settings.official if settings.official is not None else {}
    if "addressees" in official:
        return
    text = element.get("text") or ""
    if not text.endswith(COLON) or "\n" in text or not text.rstrip(COLON).strip():
        return
    del converter.elements[index]
    official["addressees"] = text[:-len(COLON)].strip()
    settings.official = official
