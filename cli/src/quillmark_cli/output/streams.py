"""The process's own descriptors: standard input and output as the command
line names them ("-"), output paths that lead to a descriptor
(/dev/stdout, /dev/fd/N, /proc/self/fd/N, or a link to one of them), and
standard streams the command was started without."""

import os
import re
import sys

# What a path leads to once its directories are resolved: /proc/self and
# /dev/fd both end up here.
_OWN_DESCRIPTOR = re.compile(r"/proc/(\d+)(?:/task/\d+)?/fd/(\d+)\Z")
# As many links as the kernel follows before giving up.
_MAX_LINKS = 40


class Descriptor:
    """An open descriptor of this process that the command reads or writes
    in place: it is never replaced, only written into."""

    def __init__(self, fd, name):
        self.fd = fd
        self.name = name

    def __str__(self):
        return self.name

    def __repr__(self):
        return "Descriptor(%d, %r)" % (self.fd, self.name)


# "-" on the command line.
STDIN = Descriptor(0, "standard input")
STDOUT = Descriptor(1, "standard output")
DASH = "-"

# Descriptors 0-2 that were not open when the command started.
_closed_at_start = set()


def secure_standard_descriptors():
    """Notes which of descriptors 0, 1 and 2 the command was started
    without and opens /dev/null on them, so that no file the command opens
    later takes their place. Standard error then goes nowhere."""
    for fd in (0, 1, 2):
        try:
            os.fstat(fd)
        except OSError:
            _closed_at_start.add(fd)
    for fd in sorted(_closed_at_start):
        null = os.open(os.devnull, os.O_RDWR)
        if null != fd:
            os.dup2(null, fd)
            os.close(null)
    if 2 in _closed_at_start or sys.stderr is None:
        sys.stderr = open(os.devnull, "w")


def was_closed(descriptor):
    return descriptor.fd in _closed_at_start


def descriptor_of(path):
    """The Descriptor that `path` leads to, through links and /proc/self, or
    None when it names a file of its own."""
    current = os.path.abspath(str(path))
    for _ in range(_MAX_LINKS):
        directory, name = os.path.split(current)
        resolved = os.path.join(os.path.realpath(directory), name)
        found = _OWN_DESCRIPTOR.match(resolved)
        if found and int(found.group(1)) == os.getpid():
            return Descriptor(int(found.group(2)), str(path))
        try:
            link = os.readlink(resolved)
        except OSError:  # not a link: a file (or nothing) of its own
            return None
        current = os.path.normpath(os.path.join(os.path.dirname(resolved), link))
    return None


def is_terminal(descriptor):
    try:
        return os.isatty(descriptor.fd)
    except OSError:
        return False


def write_all(descriptor, data):
    """Writes all of `data` into the open descriptor."""
    view = memoryview(data)
    while view:
        written = os.write(descriptor.fd, view)
        view = view[written:]


def silence(descriptor):
    """After a failed write to a standard descriptor (a closed pipe, a full
    device), /dev/null takes its place, so that the interpreter's own final
    flush cannot fail again."""
    try:
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, descriptor.fd)
        os.close(null)
    except OSError:
        pass
