"""Which paragraphs of the text the layout places: the title, the headings
of the four levels and the signature are found by their styles. A caller
names the styles (`lay_out(..., styles={"title": "公文标题", ...})`); each
role it leaves out takes the name the official template gives it (the
title: "公文标题", else "Title")."""

ROLES = ("title", "heading1", "heading2", "heading3", "heading4", "signature")
DEFAULTS = {
    "title": ("公文标题", "Title"),
    "heading1": ("Heading 1",),
    "heading2": ("Heading 2",),
    "heading3": ("Heading 3",),
    "heading4": ("Heading 4",),
    "signature": ("落款",),
}
HEADING_LEVELS = 4


def resolve(table, styles):
    """{role: StyleFacts} for the roles whose style the package has."""
    styles = styles or {}
    unknown = sorted(set(styles) - set(ROLES))
    if unknown:
        raise ValueError("unknown roles %s (expected %s)" % (", ".join(unknown), ", ".join(ROLES)))
    found = {}
    for role in ROLES:
        names = (styles[role],) if styles.get(role) else DEFAULTS[role]
        for name in names:
            facts = table[name]
            if facts is not None:
                found[role] = facts
                break
    return found


def heading_levels(roles):
    """{style id: level} of the headings' styles; a style named for two
    levels counts for the higher."""
    levels = {}
    for level in range(HEADING_LEVELS, 0, -1):
        facts = roles.get("heading%d" % level)
        if facts is not None:
            levels[facts.identifier] = level
    return levels


def styles_of(document):
    """The roles' styles as a document uses them: the style of its first
    title, and of its first header of each level (the host's model: element
    types and levels)."""
    styles = {}
    for element in document.elements:
        kind = getattr(element.type, "value", element.type)
        if kind == "title":
            styles.setdefault("title", element.style_name)
        elif kind == "header" and isinstance(element.level, int) and 1 <= element.level <= HEADING_LEVELS:
            styles.setdefault("heading%d" % element.level, element.style_name)
    return {role: name for role, name in styles.items() if name}
