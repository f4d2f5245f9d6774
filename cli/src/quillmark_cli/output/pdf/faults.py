"""What went wrong with LibreOffice, in one bounded line a person can act on:
a crash named as one, a full temporary directory named as such, and
otherwise LibreOffice's own last word, cut short."""

import errno
import os
import re

from quillmark_cli.output.pdf.program import why_not_run

LONGEST = 200  # characters of LibreOffice's own message quoted at most
_SIGNAL_EXIT = 128  # a program killed by signal N exits 128 + N through a shell or LibreOffice's launcher
_FATAL = re.compile(rb"Fatal exception: Signal (\d+)")
_NO_ROOM = (b"insufficient free disk space", b"No space left on device")
# Lines LibreOffice writes on every run, which say nothing about a failure.
_NOISE = (b"Warning: failed to launch javaldx",)
_BACKTRACE = re.compile(rb"Stack:|/\S+\(\S*\)\[0x[0-9a-f]+\]")  # a crash's backtrace, frame by frame


class RenderError(Exception):
    """LibreOffice could not be run, or did not render a document."""


def no_room(directory):
    return "no space left in the temporary directory %s (set TMPDIR to a directory with room)" % directory


def ending_message(ending, errors, program, temporary_root, limit):
    """The line for a LibreOffice process that ended as `ending` (an
    Ending) with `errors` (the end of its error output)."""
    if ending.kind == "error":
        return "cannot run LibreOffice (%s): %s" % (program, why_not_run(program, ending.number))
    if ending.kind == "hung":
        return ("LibreOffice made no progress for %d seconds and was stopped (--pdf-timeout SECONDS allows "
                "more)" % limit)
    if any(text in errors for text in _NO_ROOM) or (ending.number != 0 and _full(temporary_root)):
        return no_room(temporary_root)
    crash = _crash_signal(ending, errors)
    if crash is not None:
        return "LibreOffice crashed (signal %d%s)" % (crash, _signal_name(crash))
    if ending.kind == "keeper":
        return "LibreOffice's keeper process ended unexpectedly (exit status %d)" % ending.number
    return "LibreOffice failed (exit status %d)%s" % (ending.number, last_word(errors))


def _crash_signal(ending, errors):
    if ending.kind == "signal":
        return ending.number
    found = _FATAL.search(errors)
    if found:
        return int(found.group(1))
    if ending.kind == "exit" and _SIGNAL_EXIT < ending.number <= _SIGNAL_EXIT + 64:
        return ending.number - _SIGNAL_EXIT
    return None


def _signal_name(number):
    import signal

    try:
        return ", " + signal.Signals(number).name
    except ValueError:
        return ""


def _full(directory):
    """Whether the file system of `directory` has (next to) no room left."""
    try:
        status = os.statvfs(str(directory))
    except OSError as error:
        return error.errno == errno.ENOSPC
    return status.f_bavail * status.f_frsize < 1024 * 1024


def last_word(errors):
    """': ' and LibreOffice's last meaningful line of error output, at most
    LONGEST characters; empty when it said nothing."""
    for line in reversed(errors.splitlines()):
        line = line.strip()
        if line and not line.startswith(_NOISE) and not _BACKTRACE.fullmatch(line):
            text = line.decode("utf-8", "replace")
            if len(text) > LONGEST:
                text = text[:LONGEST - 1] + "…"
            return ": " + text
    return ""


def pdf_fault(data):
    """What is wrong with a file LibreOffice wrote as a PDF, or None when it
    is one: it starts with a PDF header and ends with a PDF's end marker
    (a file cut short, empty, or of another kind has neither)."""
    if not data:
        return "LibreOffice wrote an empty file instead of a PDF"
    if not data.startswith(b"%PDF-") or b"%%EOF" not in data[-1024:]:
        return "LibreOffice wrote %d bytes that are not a whole PDF" % len(data)
    return None
