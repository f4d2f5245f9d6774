"""Block quotes and lists, the blocks that hold other blocks: a paragraph
inside one is written in the quote or list style, a list item's first
paragraph with the marker a reader sees (3., 4., •) and nested items
indented by two ideographic spaces a level."""

BULLET = "\u2022"
# Nested list items are indented by two ideographic spaces a level.
INDENT = "\u3000\u3000"


class Containers:
    """The block quotes and lists around the block being converted."""

    def __init__(self):
        self.quote_depth = 0
        self.lists = []

    def follow(self, token):
        """Takes in a token that opens or closes a container; False for any
        other token."""
        kind = token.type
        if kind == "blockquote_open":
            self.quote_depth += 1
        elif kind == "blockquote_close":
            self.quote_depth -= 1
        elif kind in ("bullet_list_open", "ordered_list_open"):
            start = int(token.attrGet("start") or 1) if kind == "ordered_list_open" else None
            self.lists.append({"number": start, "item_started": False})
        elif kind in ("bullet_list_close", "ordered_list_close"):
            self.lists.pop()
        elif kind == "list_item_open":
            self.lists[-1]["item_started"] = True
            self.lists[-1]["markup"] = token.markup
        elif kind == "list_item_close":
            if self.lists[-1]["number"] is not None:
                self.lists[-1]["number"] += 1
        else:
            return False
        return True

    def block_kind(self):
        """The style key of a paragraph here: quote, list or paragraph."""
        return "quote" if self.quote_depth else "list" if self.lists else "paragraph"

    def paragraph_prefix(self):
        """What a paragraph here begins with: the indent of its list and, for
        an item's first paragraph, the item's marker."""
        if not self.lists:
            return ""
        current = self.lists[-1]
        prefix = INDENT * (len(self.lists) - 1)
        if current["item_started"]:
            marker = BULLET if current["number"] is None else "%d%s" % (current["number"], current["markup"])
            prefix += marker + " "
            current["item_started"] = False
        else:  # a later paragraph of the same item
            prefix += INDENT
        return prefix
