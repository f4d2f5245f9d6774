"""Reading inputs and templates: only regular files (or standard input), up
to a size limit, decoded from UTF-8 (or UTF-16/UTF-32 with a byte-order
mark) with the place of the first byte that is not text."""

import codecs
import errno
import os
import stat

from quillmark_cli.errors import InputError, ReadFailure

# Inputs and templates larger than this are refused rather than read: a
# notice is a few kilobytes, and a path naming /dev/zero must not fill the
# memory.
MAX_BYTES = 64 * 1024 * 1024
MAX_SHOWN = "64 MiB"

# Names that are wrong, as opposed to files the system failed to read.
_USAGE_ERRORS = (errno.ENOENT, errno.ENOTDIR, errno.ENAMETOOLONG, errno.ELOOP)

# Longest first: the UTF-32 little-endian mark begins with UTF-16's.
_BYTE_ORDER_MARKS = (
    (codecs.BOM_UTF32_LE, "utf-32", "UTF-32"),
    (codecs.BOM_UTF32_BE, "utf-32", "UTF-32"),
    (codecs.BOM_UTF8, "utf-8", "UTF-8"),
    (codecs.BOM_UTF16_LE, "utf-16", "UTF-16"),
    (codecs.BOM_UTF16_BE, "utf-16", "UTF-16"),
)


def _too_large():
    return InputError(None, "larger than %s, the limit for inputs and templates" % MAX_SHOWN)


def _kind(mode):
    for test, kind in ((stat.S_ISDIR, "a directory"), (stat.S_ISFIFO, "a FIFO"), (stat.S_ISCHR, "a device"),
                       (stat.S_ISBLK, "a device"), (stat.S_ISSOCK, "a socket")):
        if test(mode):
            return kind
    return "not a regular file"


def _read_limited(fd):
    chunks, size = [], 0
    while size <= MAX_BYTES:
        chunk = os.read(fd, min(1 << 20, MAX_BYTES + 1 - size))
        if not chunk:
            break
        chunks.append(chunk)
        size += len(chunk)
    if size > MAX_BYTES:
        raise _too_large()
    return b"".join(chunks)


def _failure(error):
    failure = InputError if error.errno in _USAGE_ERRORS else ReadFailure
    return failure(None, "cannot read: %s" % (error.strerror or error))


def _refuse_other_kinds(mode):
    if not stat.S_ISREG(mode):
        raise InputError(None, "%s, not a regular file" % _kind(mode))


def read_file(path):
    """The bytes of the regular file `path`. A FIFO, a device or a
    directory is refused without being opened: opening a FIFO and closing
    it unread would end its writer with SIGPIPE. (Should one take the
    file's place meanwhile, opening does not wait for a FIFO's writer, and
    it is refused unread.)"""
    try:
        _refuse_other_kinds(os.stat(str(path)).st_mode)
        fd = os.open(str(path), os.O_RDONLY | os.O_NONBLOCK | getattr(os, "O_CLOEXEC", 0))
    except OSError as error:
        raise _failure(error) from None
    try:
        status = os.fstat(fd)
        _refuse_other_kinds(status.st_mode)
        if status.st_size > MAX_BYTES:
            raise _too_large()
        return _read_limited(fd)
    except OSError as error:
        raise ReadFailure(None, "cannot read: %s" % (error.strerror or error)) from None
    finally:
        os.close(fd)


def read_standard_input():
    """Standard input, up to the limit."""
    try:
        return _read_limited(0)
    except OSError as error:
        raise ReadFailure(None, "cannot read: %s" % (error.strerror or error)) from None


def _place(data, offset):
    """'line L column C' of byte `offset`, the column counted in
    characters."""
    line_start = data.rfind(b"\n", 0, offset) + 1
    column = len(data[line_start:offset].decode("utf-8", "replace")) + 1
    return "line %d column %d" % (data.count(b"\n", 0, offset) + 1, column)


def decode_text(data):
    """The text of `data`: UTF-8, with or without a byte-order mark, or
    UTF-16/UTF-32 with one."""
    encoding, shown, skip = "utf-8", "UTF-8", 0
    for mark, codec, name in _BYTE_ORDER_MARKS:
        if data.startswith(mark):
            encoding, shown, skip = codec, name, (0 if codec != "utf-8" else len(mark))
            break
    if not skip and encoding == "utf-8" and len(data) >= 2 and (data[0] == 0) != (data[1] == 0):
        # ASCII text in UTF-16 or UTF-32 has a zero byte beside each letter.
        raise InputError(None, "UTF-16 or UTF-32 text without a byte-order mark: save it as UTF-8")
    try:
        return data[skip:].decode(encoding)
    except UnicodeDecodeError as error:
        offset = skip + error.start
        where = _place(data, offset) if encoding == "utf-8" else "byte %d" % offset
        raise InputError(where, "not %s text (byte 0x%02x)" % (shown, data[offset])) from None
