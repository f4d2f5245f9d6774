"""Writing packages as a Unix tool writes files: a regular file is replaced
atomically and keeps its mode (and owner, where the process may set it), a
new one gets the mode the umask allows, a symbolic link is written through
to its target, and anything else (a FIFO, a device, one of the process's
own descriptors) is written into directly. As with `cp`, a file the user
may not write is not replaced, and neither a link to nothing nor a loop of
links is written through."""

import errno
import os
import stat
import tempfile
from pathlib import Path

from quillmark_cli.output.streams import Descriptor, write_all
from quillmark_cli.running.signals import deferred

# Temporary files are named after their target, shortened so that the name
# stays within the file system's limit whenever the target's does.
_SHOWN_NAME_CHARACTERS = 40


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def new_file_mode():
    """The mode a tool gives a file it creates: 0666 less the umask."""
    return 0o666 & ~_umask()


def _keep_attributes(fd, existing):
    """The replaced file's owner and group where the process may set them,
    then its mode, special bits included (changing the owner clears the
    set-user-ID and set-group-ID bits, so the mode comes second)."""
    try:
        os.fchown(fd, existing.st_uid, existing.st_gid)
    except PermissionError:
        pass  # the new file stays the writer's, as with any editor
    os.fchmod(fd, stat.S_IMODE(existing.st_mode))


def write_atomically(target, data, existing=None, on_written=None):
    """Writes `data` to a temporary file beside `target`, then renames it over
    `target`. Either the whole new file is there afterwards, or the old one.
    `existing` is the stat of the regular file being replaced, if any;
    `on_written` runs together with the rename, uninterrupted."""
    target = Path(target)
    temporary = None
    try:
        # The temporary file is recorded before a signal held back meanwhile
        # is handled: the handler runs as the block ends, inside this try.
        with deferred():
            handle, temporary = tempfile.mkstemp(dir=str(target.parent), suffix=".tmp",
                                                 prefix="." + target.name[:_SHOWN_NAME_CHARACTERS] + ".")
            stream = os.fdopen(handle, "wb")
        with stream:
            if existing is not None:
                _keep_attributes(stream.fileno(), existing)
            else:
                os.fchmod(stream.fileno(), new_file_mode())
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        with deferred():
            os.replace(temporary, str(target))
            temporary = None
            if on_written is not None:
                on_written()
    finally:
        if temporary is not None:
            try:
                os.unlink(temporary)
            except FileNotFoundError:
                pass


def link_problem(path):
    """Why `path`, a symbolic link, cannot be written through: "a symbolic
    link to nothing" or "a symbolic link that loops back on itself"; None
    when it is not a link or leads to something."""
    if not os.path.islink(str(path)):
        return None
    try:
        os.stat(str(path))
    except OSError as error:
        if error.errno == errno.ELOOP:
            return "a symbolic link that loops back on itself"
        return "a symbolic link to nothing"
    return None


def _refuse_unwritable(path):
    """Refuses to replace a file the process may not write (its mode, a
    read-only file system, an immutable file), as `cp` and a shell's `>`
    refuse it: the file is opened for writing, and closed unchanged."""
    fd = os.open(path, os.O_WRONLY | os.O_NONBLOCK | getattr(os, "O_CLOEXEC", 0))
    os.close(fd)


def write_package(target, data, on_written=None):
    """Writes `data` to `target`: a path or a Descriptor. `on_written` runs
    as soon as the package is in place."""
    done = on_written or (lambda: None)
    if isinstance(target, Descriptor):
        write_all(target, data)
        done()
        return
    problem = link_problem(target)
    if problem is not None:
        raise OSError(errno.ELOOP if "loops" in problem else errno.ENOENT, "not writing through " + problem)
    # A link is written through to its target, as a shell's redirection
    # writes, and the target keeps its place and its mode.
    real = os.path.realpath(str(target))
    try:
        existing = os.stat(real)
    except FileNotFoundError:
        existing = None
    if existing is not None and not stat.S_ISREG(existing.st_mode):
        # A FIFO or a device is written into; replacing it with a regular
        # file would break whoever reads from it.
        with open(real, "wb") as stream:
            stream.write(data)
        done()
        return
    if existing is not None:
        _refuse_unwritable(real)
    write_atomically(real, data, existing, done)
