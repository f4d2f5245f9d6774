"""The parts of a package the layout reads and changes, found as a reader
finds them: through the package's relationships, not by their usual names.
Each part is parsed when first asked for, and written back only when it was
changed."""

import posixpath
import threading
import zipfile
from collections import OrderedDict

from lxml import etree

from quillmark_cli.official.container import Member, Package
from quillmark_cli.official.wordml import parse, serialize

PACKAGE_RELATIONSHIPS = "_rels/.rels"
CONTENT_TYPES = "[Content_Types].xml"
_RELATIONSHIPS_NS = "http://schemas.openxmlformats.org/package/2006/relationships"
_CONTENT_TYPES_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
_OFFICE = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
MAIN_DOCUMENT = _OFFICE + "officeDocument"
STYLES = _OFFICE + "styles"
SETTINGS = _OFFICE + "settings"
NUMBERING = _OFFICE + "numbering"
FOOTER = _OFFICE + "footer"
FOOTER_CONTENT_TYPE = "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml"


class NotAPackage(ValueError):
    """The bytes are not a word-processing package the layout can read."""


class DoesNotFit(ValueError):
    """An element the official mapping asks for cannot be placed on the
    page: `where` names the mapping's key."""

    def __init__(self, where, message):
        super().__init__("%s: %s" % (where, message))
        self.where, self.message = where, message


def relationships_of(part_name):
    directory, name = posixpath.split(part_name)
    return posixpath.join(directory, "_rels", name + ".rels")


def _resolved(source, target):
    """The part name a relationship of `source` with `target` points to."""
    if target.startswith("/"):
        return posixpath.normpath(target).lstrip("/")
    return posixpath.normpath(posixpath.join(posixpath.dirname(source), target)).lstrip("/")


class Relationships:
    """A part's relationships: (id, type, target) in their order."""

    def __init__(self, root, source):
        self.root, self.source = root, source

    def __iter__(self):
        for relationship in self.root:
            yield relationship.get("Id"), relationship.get("Type"), relationship.get("Target"), \
                relationship.get("TargetMode")

    def target(self, kind):
        """The part name of the first internal relationship of `kind`, or
        None."""
        for _, found, target, mode in self:
            if found == kind and mode != "External":
                return _resolved(self.source, target)
        return None

    def remove(self, target):
        """Removes the relationships whose target is `target` (a part name,
        as `target()` gives them); whether there were any."""
        removed = False
        for relationship in list(self.root):
            mode, found = relationship.get("TargetMode"), relationship.get("Target")
            if mode != "External" and found is not None and _resolved(self.source, found) == target:
                self.root.remove(relationship)
                removed = True
        return removed

    def add(self, kind, target, external=False):
        """A new relationship; its id, the first free "rIdN"."""
        taken = {relationship.get("Id") for relationship in self.root}
        number = 1
        while "rId%d" % number in taken:
            number += 1
        identifier = "rId%d" % number
        relationship = etree.SubElement(self.root, "{%s}Relationship" % _RELATIONSHIPS_NS, Id=identifier,
                                        Type=kind, Target=target)
        if external:
            relationship.set("TargetMode", "External")
        return identifier


class Parts:
    """The package being laid out: its members, the parts parsed so far, and
    which of them were changed."""

    def __init__(self, data):
        try:
            self.package = Package.read(data)
        except Exception as error:  # zipfile and zlib raise several kinds
            raise NotAPackage("not a word-processing package: %s" % error) from None
        self._parsed, self._changed = {}, set()
        self.main = self.relationships(PACKAGE_RELATIONSHIPS, "").target(MAIN_DOCUMENT)
        if self.main is None or self.main not in self.package:
            raise NotAPackage("not a word-processing package: it has no main document part")
        self.main_relationships = self.relationships(relationships_of(self.main), self.main)

    def xml(self, name):
        """The part's root element, parsed once; changes to it are written
        back when the part is marked changed."""
        root = self._parsed.get(name)
        if root is None:
            root = self._parsed[name] = self.parse(name)
        return root

    def is_parsed(self, name):
        """Whether the part was parsed (and may have been changed) here."""
        return name in self._parsed

    def parse(self, name):
        """The part's root element, parsed anew."""
        try:
            return parse(self.package[name].data)
        except zipfile.BadZipFile as error:
            raise NotAPackage(str(error)) from None
        except etree.XMLSyntaxError as error:
            raise NotAPackage("%s is not well-formed XML: %s" % (name, error)) from None

    def relationships(self, name, source):
        if name not in self.package:
            raise NotAPackage("not a word-processing package: %s is missing" % name)
        return Relationships(self.xml(name), source)

    def related(self, kind):
        """The name of the main document's part of `kind`, or None."""
        name = self.main_relationships.target(kind)
        return name if name in self.package else None

    def changed(self, name):
        self._changed.add(name)

    def changed_relationships(self):
        """The main document's relationships were added to."""
        self._changed.add(relationships_of(self.main))

    def add_part(self, name, content_type, kind):
        """A new, empty part related to the main document; the
        relationship's id."""
        self.package.add(name, b"")
        # Overrides stand in the order of their part names, as python-docx
        # writes them.
        types = self.xml(CONTENT_TYPES)
        override = etree.Element("{%s}Override" % _CONTENT_TYPES_NS, PartName="/" + name, ContentType=content_type)
        for existing in types.iter("{%s}Override" % _CONTENT_TYPES_NS):
            if existing.get("PartName") > "/" + name:
                existing.addprevious(override)
                break
        else:
            types.append(override)
        self._changed.add(CONTENT_TYPES)
        self._changed.add(relationships_of(self.main))
        return self.main_relationships.add(kind, posixpath.relpath(name, posixpath.dirname(self.main)))

    def add_media(self, name, data, extension, content_type, kind):
        """A new part holding `data` (a picture, say), its content type
        given by its extension; the relationship's id."""
        self.package.add(name, data)
        types = self.xml(CONTENT_TYPES)
        defaults = types.findall("{%s}Default" % _CONTENT_TYPES_NS)
        if not any(default.get("Extension", "").lower() == extension for default in defaults):
            default = etree.Element("{%s}Default" % _CONTENT_TYPES_NS, Extension=extension, ContentType=content_type)
            if defaults:
                defaults[-1].addnext(default)
            else:
                types.insert(0, default)
            self._changed.add(CONTENT_TYPES)
        self._changed.add(relationships_of(self.main))
        return self.main_relationships.add(kind, posixpath.relpath(name, posixpath.dirname(self.main)))

    def next_drawing_id(self):
        """An id for a new drawing, after every one the main document has."""
        found = [int(d.get("id")) for d in self.xml(self.main).iter(
            "{http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing}docPr") if d.get("id", "").isdigit()]
        return max(found, default=0) + 1

    def remove_part(self, name):
        """Removes the part `name`: its member, the package's and the main
        document's relationships to it, its content type override, and the
        default content type of its extension where no other member has
        that extension."""
        if name not in self.package:
            return
        self.package.remove(name)
        for rels_name, source in ((PACKAGE_RELATIONSHIPS, ""), (relationships_of(self.main), self.main)):
            if self.relationships(rels_name, source).remove(name):
                self._changed.add(rels_name)
        types = self.xml(CONTENT_TYPES)
        for override in types.findall("{%s}Override" % _CONTENT_TYPES_NS):
            if override.get("PartName") == "/" + name:
                types.remove(override)
        extension = posixpath.splitext(name)[1][1:].lower()
        if extension and not any(posixpath.splitext(member.name)[1][1:].lower() == extension
                                 for member in self.package.members):
            for default in types.findall("{%s}Default" % _CONTENT_TYPES_NS):
                if default.get("Extension", "").lower() == extension:
                    types.remove(default)
        self._changed.add(CONTENT_TYPES)

    def change_as_remembered(self, name, memo, change, argument):
        """Changes the part `name`, as the generator wrote it, by
        `change(root, argument)`, taking the changed member from `memo`
        where a part with the same bytes was changed alike before: a batch
        shares one template, and so its styles, settings and numbering."""
        key = (self.package[name].compressed()[0], change, argument)
        changed = memo.get(key)
        if changed is None:
            root = self.parse(name)
            change(root, argument)
            changed = Member(name, 0, data=serialize(root)).compressed()
            memo.put(key, changed)
        self.set_member(name, changed)

    def next_name(self, pattern):
        """The first free part name of `pattern` ("word/footer%d.xml")."""
        number = 1
        while pattern % number in self.package:
            number += 1
        return pattern % number

    def set_member(self, name, member):
        """A member's compressed bytes, as a memo kept them."""
        target = self.package[name]
        target.raw, target.crc, target.size = member
        target._data = None

    def write(self):
        for name in self._changed:
            self.package.replace(name, serialize(self._parsed[name]))
        return self.package.write()


class Memo:
    """A small, bounded, thread-safe memo of what a part became, by the part
    as read and what the layout asked of it: a batch shares one template,
    and so one styles part, whose 350 KB need not be parsed again."""

    def __init__(self, size=16):
        self._items, self._size, self._lock = OrderedDict(), size, threading.Lock()

    def get(self, key):
        with self._lock:
            value = self._items.get(key)
            if value is not None:
                self._items.move_to_end(key)
            return value

    def put(self, key, value):
        with self._lock:
            self._items[key] = value
            self._items.move_to_end(key)
            while len(self._items) > self._size:
                self._items.popitem(last=False)
