"""Style names the generator would fail on obscurely, refused in advance with
their place: an element left in a fallback body style the template lacks,
and a template style named like a character, table or numbering style of
Word's default template."""

import functools

from tolvek.doc.generator.core.enums import StyleNames

from quillmark_cli.errors import InputError

# The element types the generator writes; others are skipped.
WRITTEN_TYPES = ("title", "header", "paragraph")


def check_styles(data, template_names):
    """Explains in advance the one style failure the generator would report
    only as a bare KeyError: an element written in the fallback body style
    (its own style is not a template style) when the template has no such
    style either."""
    fallback = StyleNames.TEXT.value
    if fallback in template_names:
        return
    for index, item in enumerate(data["elements"]):
        if item["type"] not in WRITTEN_TYPES:
            continue
        name = item.get("style_name")
        if name in template_names:
            continue
        place = "document.elements[%d].style_name" % index
        if name is None:
            raise InputError(place, "not given, and the fallback style %r is not in the template" % fallback)
        raise InputError(place, "%r is not a template style and the fallback style %r is not in the template "
                                "either" % (name, fallback))


@functools.lru_cache(maxsize=None)
def _other_kinds_of_style():
    """{internal name: kind} of the styles of python-docx's default template
    that are not paragraph styles."""
    import docx
    from docx.enum.style import WD_STYLE_TYPE

    kinds = {WD_STYLE_TYPE.CHARACTER: "a character", WD_STYLE_TYPE.TABLE: "a table",
             WD_STYLE_TYPE.LIST: "a numbering"}
    return {style.element.name_val: kinds[style.type] for style in docx.Document().styles
            if style.type in kinds}


def check_style_kinds(styles, where):
    """Refuses a template style named like a style of another kind in Word's
    default template (the generator would find that style and fail to give
    it paragraph settings). Names are compared as python-docx compares
    them."""
    from docx.styles import BabelFish

    others = _other_kinds_of_style()
    for index, item in enumerate(styles):
        kind = others.get(BabelFish.ui2internal(item["name"]))
        if kind is not None:
            raise InputError("%s[%d].name" % (where, index),
                             "%r names %s style of Word's default template; a template style must be a paragraph "
                             "style: choose another name" % (item["name"], kind))
