"""A block's inline content read into pieces: stretches of text with their
emphasis, and links; soft line breaks joined as a reader of Chinese
expects; images set aside as image elements of their own."""

# A soft line break, until join_lines knows what it becomes.
SOFT_BREAK = "\0soft"


def _is_cjk(char):
    code = ord(char)
    return (0x2E80 <= code <= 0x9FFF or 0xAC00 <= code <= 0xD7AF or 0xF900 <= code <= 0xFAFF
            or 0xFE30 <= code <= 0xFE4F or 0xFF00 <= code <= 0xFFEF or 0x20000 <= code <= 0x3FFFF)


class Piece:
    """A stretch of inline content: text with its emphasis, or a link."""

    def __init__(self, text, bold=False, italic=False, underline=False, url=None):
        self.text, self.bold, self.italic, self.underline, self.url = text, bold, italic, underline, url

    @property
    def emphasis(self):
        return (self.bold, self.italic, self.underline)


def read_inline(converter, token, line, warn_images=True):
    """The inline content of `token`, which starts on `line`, as pieces;
    images become image elements of their own (the converter's pending
    images). Warnings name the line of the construct: each line break inside
    the block moves on a line."""
    pieces = []
    bold = italic = underline = 0
    link = None
    for child in token.children or []:
        kind = child.type
        if kind == "text" or kind == "code_inline":
            pieces.append(Piece(child.content, bold > 0, italic > 0, underline > 0, link))
        elif kind == "softbreak":
            pieces.append(Piece(SOFT_BREAK, bold > 0, italic > 0, underline > 0, link))
            line += 1
        elif kind == "hardbreak":
            pieces.append(Piece("\n", bold > 0, italic > 0, underline > 0, link))
            line += 1
        elif kind in ("strong_open", "strong_close"):
            bold += 1 if kind.endswith("open") else -1
        elif kind in ("em_open", "em_close"):
            italic += 1 if kind.endswith("open") else -1
        elif kind == "html_inline":
            tag = child.content.strip().lower()
            if tag == "<u>":
                underline += 1
            elif tag == "</u>":
                underline = max(0, underline - 1)
            else:
                converter.warn(line, "HTML %s dropped: only <u>…</u> is understood" % child.content)
            line += child.content.count("\n")
        elif kind == "link_open":
            link = child.attrGet("href") or ""
        elif kind == "link_close":
            link = None
        elif kind == "image":
            alt = "".join(c.content for c in child.children or [])
            if warn_images:
                converter.warn(line, "image %s skipped: the generator does not write images" % (
                    child.attrGet("src") or ""))
                converter.pending_images.append({"type": "image", "style_name": converter.styles["paragraph"],
                                                 "text": alt})
            else:
                pieces.append(Piece(alt))
            line += sum(1 for c in child.children or [] if c.type in ("softbreak", "hardbreak"))
        elif kind == "footnote_ref":
            label = child.meta.get("label", child.meta.get("id"))
            converter.warn(line, "footnote reference [^%s] written as plain text" % label)
            pieces.append(Piece("[^%s]" % label, bold > 0, italic > 0, underline > 0, link))
    return join_lines(pieces)


def join_lines(pieces):
    """Soft line breaks joined as a reader expects: nothing between two
    CJK characters, one space otherwise."""
    # The last character of text before each piece and the first after
    # it, breaks skipped, found in one pass each way.
    before, last = [], ""
    for piece in pieces:
        before.append(last)
        if piece.text and piece.text is not SOFT_BREAK:
            last = piece.text[-1]
    after, first = [""] * len(pieces), ""
    for i in range(len(pieces) - 1, -1, -1):
        after[i] = first
        if pieces[i].text and pieces[i].text is not SOFT_BREAK:
            first = pieces[i].text[0]
    for i, piece in enumerate(pieces):
        if piece.text is SOFT_BREAK:
            joined = before[i] and after[i] and _is_cjk(before[i]) and _is_cjk(after[i])
            piece.text = "" if joined else " "
    return [p for p in pieces if p.text]
