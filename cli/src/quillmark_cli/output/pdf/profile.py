"""LibreOffice's private user profile for a rendering: made anew in the
rendering's temporary directory, so that neither a user's settings nor a
LibreOffice already open can change or take over the rendering, and set up
before LibreOffice first starts on it with what the rendering asks:

- PDFs tagged (a structure tree for screen readers), and, for archives,
  PDF/A-2b (which also embeds every font);
- the faces that stand in for fonts the machine lacks (`fonts`), as the
  font replacement table of Tools ▸ Options ▸ Fonts, applied always (the
  table holds only fonts that are not installed);
- the profile marked as last used by the installed version, so that
  LibreOffice skips what it does on a new version's first start: its
  graphics tests, which took three of the four and a half seconds every
  start took here. The version is read from the installation's own
  registry, beside the program; where it cannot be, the tests run.
"""

import os
import re
from xml.sax.saxutils import quoteattr, escape

PDF_A_2B = 2  # LibreOffice's SelectPdfVersion for PDF/A-2b
PDF_DEFAULT = 0  # its default version (1.6 in LibreOffice 7)

_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
         '<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" '
         'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">\n')
_TAIL = "</oor:items>\n"
_PDF_EXPORT = "/org.openoffice.Office.Common/Filter/PDF/Export"
_SUBSTITUTION = "/org.openoffice.Office.Common/Font/Substitution"
_PRODUCT = "/org.openoffice.Setup/Product"
_VERSION = re.compile(rb'<prop oor:name="ooSetupVersion"[^>]*>\s*<value>(\d+\.\d+)</value>')


def _value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    return escape(str(value))


def _item(path, name, value):
    return '<item oor:path=%s><prop oor:name=%s oor:op="fuse"><value>%s</value></prop></item>\n' % (
        quoteattr(path), quoteattr(name), _value(value))


def _pair(number, font, face):
    props = "".join('<prop oor:name=%s oor:op="fuse"><value>%s</value></prop>' % (quoteattr(name), _value(value))
                    for name, value in (("Always", True), ("OnScreenOnly", False), ("ReplaceFont", font),
                                        ("SubstituteFont", face)))
    return '<item oor:path=%s><node oor:name="_%d" oor:op="replace">%s</node></item>\n' % (
        quoteattr(_SUBSTITUTION + "/FontPairs"), number, props)


def installed_version(program):
    """The version of the LibreOffice that `program` starts ("7.4"), as its
    installation's registry gives it, or None."""
    registry = os.path.join(os.path.dirname(os.path.realpath(program)), os.pardir, "share", "registry", "main.xcd")
    try:
        with open(registry, "rb") as main:
            found = _VERSION.search(main.read())
    except OSError:
        return None
    return found.group(1).decode("ascii") if found else None


def settings(substitutions, pdf_a, version=None):
    """registrymodifications.xcu's text: `substitutions` maps a font to the
    family that stands in for it; `version` is LibreOffice's."""
    items = [_item(_PDF_EXPORT, "UseTaggedPDF", True),
             _item(_PDF_EXPORT, "SelectPdfVersion", PDF_A_2B if pdf_a else PDF_DEFAULT)]
    if version is not None:
        items.append(_item(_PRODUCT, "ooSetupLastVersion", version))
    if substitutions:
        items.append(_item(_SUBSTITUTION, "Replacement", True))
        items += [_pair(number, font, family) for number, (font, family) in enumerate(sorted(substitutions.items()))]
    return _HEAD + "".join(items) + _TAIL


def make_profile(directory, substitutions, pdf_a, version=None):
    """The profile in `directory` (a Path, made here)."""
    user = directory / "user"
    user.mkdir(parents=True)
    (user / "registrymodifications.xcu").write_text(settings(substitutions, pdf_a, version), encoding="utf-8")
