"""Writing packages as a Unix tool writes files: a regular file is replaced
atomically and keeps its mode (and owner, where the process may set it), a new
one gets the mode the umask allows, and anything else (a FIFO, a device,
standard output) is written into directly."""

import os
import stat
import sys
import tempfile
from pathlib import Path

STDOUT = "-"


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def new_file_mode():
    """The mode a tool gives a file it creates: 0666 less the umask."""
    return 0o666 & ~_umask()


def write_atomically(target, data, existing=None):
    """Writes `data` to a temporary file beside `target`, then renames it over
    `target`. Either the whole new file is there afterwards, or the old one.
    `existing` is the stat of the regular file being replaced, if any."""
    target = Path(target)
    handle, temporary = tempfile.mkstemp(dir=str(target.parent), prefix="." + target.name + ".", suffix=".tmp")
    try:
        with os.fdopen(handle, "wb") as stream:
            if existing is not None:
                os.fchmod(stream.fileno(), stat.S_IMODE(existing.st_mode))
                try:
                    os.fchown(stream.fileno(), existing.st_uid, existing.st_gid)
                except PermissionError:
                    pass  # the new file stays the writer's, as with any editor
            else:
                os.fchmod(stream.fileno(), new_file_mode())
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        os.replace(temporary, str(target))
    except BaseException:
        try:
            os.unlink(temporary)
        except FileNotFoundError:
            pass
        raise


def write_package(target, data):
    """Writes `data` to `target`: a path, or STDOUT."""
    if str(target) == STDOUT:
        stream = sys.stdout.buffer
        stream.write(data)
        stream.flush()
        return
    try:
        existing = os.stat(str(target))
    except FileNotFoundError:
        existing = None
    if existing is not None and not stat.S_ISREG(existing.st_mode):
        # A FIFO or a device is written into; replacing it with a regular
        # file would break whoever reads from it.
        with open(str(target), "wb") as stream:
            stream.write(data)
        return
    write_atomically(target, data, existing)


def silence_stdout():
    """After a failed write to standard output (a closed pipe, a full
    device), make the interpreter's own final flush harmless."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
    except (OSError, ValueError):
        pass
