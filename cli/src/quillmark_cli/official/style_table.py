"""What the layout needs to know of the package's paragraph styles: each
style's identifier by its name, and the font size and the spacing of its
lines, resolved through the styles it is based on and the document's
defaults, as a reader resolves them."""

from dataclasses import dataclass
from typing import Optional

from docx.styles import BabelFish

from quillmark_cli.official.wordml import qn


@dataclass(frozen=True)
class StyleFacts:
    identifier: str
    size: float  # points
    line: Optional[int]  # twips, for exact (or at-least) line spacing; None for a multiple of single lines
    before: int  # twips
    after: int


class StyleTable:
    def __init__(self, styles):
        self._by_name, self._by_id = {}, {}
        for style in styles.iterchildren(qn("w:style")):
            if style.get(qn("w:type")) != "paragraph":
                continue
            name = style.find(qn("w:name"))
            identifier = style.get(qn("w:styleId"))
            self._by_id.setdefault(identifier, style)
            if name is not None:
                # python-docx finds a style by name as the first of that name.
                self._by_name.setdefault(name.get(qn("w:val")), identifier)
        self._defaults = styles.find(qn("w:docDefaults"))
        self._facts = {}
        for name, identifier in self._by_name.items():
            self._facts[name] = StyleFacts(identifier, self._resolve(identifier, "rPr/sz", 20) / 2,
                                           self._line(identifier), self._resolve(identifier, "pPr/spacing@before", 0),
                                           self._resolve(identifier, "pPr/spacing@after", 0))

    def __getitem__(self, name):
        """The StyleFacts of the paragraph style `name` (as a template names
        it: Word's own styles have other names inside the package, "heading
        1" for "Heading 1"), or None."""
        return self._facts.get(BabelFish.ui2internal(name))

    def _own(self, element, path):
        """The value at `path` ("rPr/sz", or "pPr/spacing@after") in a
        style or the defaults, as an int, or None."""
        path, _, attribute = path.partition("@")
        container, tag = path.split("/")
        if element.tag == qn("w:docDefaults"):
            found = element.find("%s/%s/%s" % (qn("w:%sDefault" % container), qn("w:" + container), qn("w:" + tag)))
        else:
            found = element.find("%s/%s" % (qn("w:" + container), qn("w:" + tag)))
        if found is None:
            return None
        value = found.get(qn("w:" + (attribute or "val")))
        try:
            return int(value) if value is not None else None
        except ValueError:
            return None

    def _chain(self, identifier):
        """The style, the styles it is based on, then the defaults."""
        seen = set()
        while identifier is not None and identifier not in seen:
            seen.add(identifier)
            style = self._by_id.get(identifier)
            if style is None:
                break
            yield style
            based_on = style.find(qn("w:basedOn"))
            identifier = None if based_on is None else based_on.get(qn("w:val"))
        if self._defaults is not None:
            yield self._defaults

    def _resolve(self, identifier, path, default):
        for element in self._chain(identifier):
            value = self._own(element, path)
            if value is not None:
                return value
        return default

    def _line(self, identifier):
        for element in self._chain(identifier):
            spacing = _spacing(element)
            if spacing is not None and spacing.get(qn("w:line")) is not None:
                if spacing.get(qn("w:lineRule")) in ("exact", "atLeast"):
                    return int(spacing.get(qn("w:line")))
                return None
        return None


def _spacing(element):
    if element.tag == qn("w:docDefaults"):
        return element.find("%s/%s/%s" % (qn("w:pPrDefault"), qn("w:pPr"), qn("w:spacing")))
    return element.find("%s/%s" % (qn("w:pPr"), qn("w:spacing")))
