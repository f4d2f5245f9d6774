"""A package's zip container, read and written member by member: the
members the layout changes are compressed anew, and every other member is
copied as it was compressed, so that laying a package out costs what it
changes, not what it holds (python-docx's styles alone are 800 KB).

The container is written as the generator writes it, as zipfile's writestr
does: deflated members with their sizes and checksum in the local header,
no data descriptors and no extra fields.
"""

import struct
import zlib
import zipfile

_LOCAL = struct.Struct("<4s5H3L2H")
_CENTRAL = struct.Struct("<4s6H3L5H2L")  # ... name, extra and comment lengths, disk, attributes, offset
_END = struct.Struct("<4s4H2LH")
_VERSION = 20  # what deflate needs, and what zipfile writes
_UNIX = 3
_UTF8_NAME = 0x800
_READ_WRITE = 0o600 << 16  # ?rw-------, as writestr gives a member


class Member:
    """One member: its name, its modification time (DOS date and time), and
    its data, either compressed as read (`raw`, with `crc` and `size`) or
    given anew (`data`), compressed when the container is written."""

    __slots__ = ("name", "dos_time", "raw", "crc", "size", "_data")

    def __init__(self, name, dos_time, raw=None, crc=0, size=0, data=None):
        self.name, self.dos_time = name, dos_time
        self.raw, self.crc, self.size, self._data = raw, crc, size, data

    @property
    def data(self):
        if self._data is None:
            try:
                data = zlib.decompress(self.raw, -zlib.MAX_WBITS)
            except zlib.error:
                data = None
            if data is None or zlib.crc32(data) != self.crc or len(data) != self.size:
                raise zipfile.BadZipFile("a damaged member: %s" % self.name)
            self._data = data
        return self._data

    @data.setter
    def data(self, value):
        self._data, self.raw = value, None

    def compressed(self):
        """(raw, crc, size) as written."""
        if self.raw is None:
            compressor = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, -zlib.MAX_WBITS)
            self.raw = compressor.compress(self._data) + compressor.flush()
            self.crc, self.size = zlib.crc32(self._data), len(self._data)
        return self.raw, self.crc, self.size


class Package:
    """The members of a package, in their order, by name."""

    def __init__(self, members):
        self.members = members
        self._by_name = {member.name: member for member in members}

    @classmethod
    def read(cls, data):
        """The package in `data`, the bytes of a zip container. Members that
        are stored rather than deflated are compressed anew when written."""
        end = data.rfind(b"PK\x05\x06", max(0, len(data) - _END.size - 0xFFFF))
        if end < 0 or len(data) < end + _END.size:
            raise zipfile.BadZipFile("no end of central directory")
        _, disk, _, _, count, directory_size, offset, _ = _END.unpack_from(data, end)
        if disk != 0 or offset == 0xFFFFFFFF or count == 0xFFFF:
            raise zipfile.BadZipFile("a split or zip64 container")
        members, position = [], offset
        for _ in range(count):
            (signature, _, _, flags, method, time, date, crc, compressed_size, size, name_length, extra_length,
             comment_length, _, _, _, header) = _CENTRAL.unpack_from(data, position)
            if signature != b"PK\x01\x02":
                raise zipfile.BadZipFile("a damaged central directory")
            name = data[position + _CENTRAL.size:position + _CENTRAL.size + name_length]
            name = name.decode("utf-8" if flags & _UTF8_NAME else "cp437")
            position += _CENTRAL.size + name_length + extra_length + comment_length
            local = _LOCAL.unpack_from(data, header)
            if local[0] != b"PK\x03\x04":
                raise zipfile.BadZipFile("a damaged member: %s" % name)
            start = header + _LOCAL.size + local[9] + local[10]
            raw = data[start:start + compressed_size]
            if len(raw) != compressed_size or flags & 0x1:
                raise zipfile.BadZipFile("a damaged or encrypted member: %s" % name)
            if method == zipfile.ZIP_DEFLATED:
                members.append(Member(name, date << 16 | time, raw, crc, size))
            elif method == zipfile.ZIP_STORED:
                members.append(Member(name, date << 16 | time, data=raw))
            else:
                raise zipfile.BadZipFile("a member compressed in a way this layout does not read: %s" % name)
        return cls(members)

    def __contains__(self, name):
        return name in self._by_name

    def __getitem__(self, name):
        return self._by_name[name]

    def get(self, name):
        return self._by_name.get(name)

    def replace(self, name, data):
        self._by_name[name].data = data

    def add(self, name, data, after=None):
        """A new member, after the member named `after` (or last), dated as
        the package's main part."""
        dos_time = self.members[0].dos_time if self.members else 0
        member = Member(name, dos_time, data=data)
        position = len(self.members) if after is None else self.members.index(self._by_name[after]) + 1
        self.members.insert(position, member)
        self._by_name[name] = member

    def remove(self, name):
        self.members.remove(self._by_name.pop(name))

    def write(self):
        """The container's bytes."""
        out, directory = [], []
        offset = 0
        for member in self.members:
            raw, crc, size = member.compressed()
            name = member.name.encode("utf-8")
            flags = 0 if name.isascii() else _UTF8_NAME
            time, date = member.dos_time & 0xFFFF, member.dos_time >> 16
            header = _LOCAL.pack(b"PK\x03\x04", _VERSION, flags, zipfile.ZIP_DEFLATED, time, date, crc, len(raw),
                                 size, len(name), 0)
            out += (header, name, raw)
            directory.append(_CENTRAL.pack(b"PK\x01\x02", _UNIX << 8 | _VERSION, _VERSION, flags,
                                           zipfile.ZIP_DEFLATED, time, date, crc, len(raw), size, len(name), 0, 0,
                                           0, 0, _READ_WRITE, offset) + name)
            offset += len(header) + len(name) + len(raw)
        central = b"".join(directory)
        out += (central, _END.pack(b"PK\x05\x06", 0, 0, len(directory), len(directory), len(central), offset, 0))
        return b"".join(out)
