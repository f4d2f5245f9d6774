"""LibreOffice's program: found on PATH, and, where the system cannot run
it, the reason said as a person would look for it."""

import errno
import os
import re
import shutil

PROGRAMS = ("soffice", "libreoffice")
INSTALL_HINT = ("PDF output needs LibreOffice (soffice) on PATH: install it, for example with "
                "'apt-get install libreoffice-writer-nogui' on Debian or Ubuntu")


def find_libreoffice():
    """The LibreOffice program on PATH, or None."""
    for name in PROGRAMS:
        found = shutil.which(name)
        if found:
            return found
    return None


def why_not_run(program, number):
    """Why the system could not run `program`, as the error number
    `number` of its exec and the program's first line tell it."""
    if number == errno.ENOENT and os.path.exists(program):
        interpreter = _interpreter(program)
        if interpreter is not None:
            if interpreter.endswith(b"\r"):
                return "its first line ends in a carriage return (a script with Windows line endings)"
            return "its interpreter %s does not exist" % _shown(interpreter)
    if number == errno.ENOEXEC:
        return "it is not a program this system can run"
    if number in (errno.EACCES, errno.EPERM):
        return "permission denied"
    return os.strerror(number) if number else "it could not be started"


def _interpreter(program):
    """The program named on a script's #! line (bytes), or None."""
    try:
        with open(program, "rb") as script:
            first = script.readline(512)
    except OSError:
        return None
    if not first.startswith(b"#!"):
        return None
    # The kernel ends the name at a space, a tab or the line's end: a
    # carriage return belongs to it.
    return re.split(rb"[ \t]", first[2:].rstrip(b"\n").lstrip(b" \t"), 1)[0]


def _shown(name):
    return repr(name.decode("utf-8", "backslashreplace"))
