"""A python-docx stand-in whose operations do nothing, for timing the
generators' own work: with it, what remains of a generate() call is the
generator's code (attribute reads, calls, loops, the Markdown scan).

install(module) replaces the python-docx names a generator module reads at
run time and returns a function that restores them.
"""


class Element:
    text = None

    def set(self, name, value):
        pass

    def append(self, child):
        pass

    def remove(self, child):
        pass

    def xpath(self, expression):
        return []

    def get_or_add_b(self):
        return Element()


class NumberingProperty:
    val = None


class NumberingProperties:
    def get_or_add_numId(self):
        return NumberingProperty()

    def get_or_add_ilvl(self):
        return NumberingProperty()


class ParagraphProperties:
    def get_or_add_numPr(self):
        return NumberingProperties()


class ParagraphElement(Element):
    def get_or_add_pPr(self):
        return ParagraphProperties()


class Part:
    def __init__(self):
        self.numbering_part = self

    element = Element()

    def relate_to(self, target, reltype, is_external=False):
        return "rId1"


class Run:
    bold = italic = underline = None


class Paragraph:
    part = Part()

    def __init__(self):
        self._p = ParagraphElement()

    def add_run(self, text=None, style=None):
        return Run()


class Font:
    name = size = bold = italic = underline = None

    def __init__(self):
        self.color = Run()


class StyleElement:
    def __init__(self):
        self.rPr = self
        self.rFonts = Element()

    def get_or_add_rPr(self):
        return Element()


class Style:
    def __init__(self):
        self.font = Font()
        self.paragraph_format = Run()
        self._element = StyleElement()


class Styles:
    def __contains__(self, name):
        return True

    def __getitem__(self, name):
        return Style()

    def add_style(self, name, style_type):
        return Style()


class Doc:
    def __init__(self):
        self.part = Part()
        self.styles = Styles()

    def add_paragraph(self, text="", style=None):
        return Paragraph()

    def save(self, stream):
        stream.write(b"")


class RGBColor:
    @staticmethod
    def from_string(text):
        return text


def identity(value):
    return value


REPLACEMENTS = {"PyDocxDocument": Doc, "OxmlElement": lambda tag: Element(), "qn": identity, "Pt": identity,
                "RGBColor": RGBColor}


def install(module):
    saved = {name: getattr(module, name) for name in REPLACEMENTS}
    for name, value in REPLACEMENTS.items():
        setattr(module, name, value)

    def restore():
        for name, value in saved.items():
            setattr(module, name, value)

    return restore
