"""PDF output: packages rendered by LibreOffice, all of a batch in one run,
with a profile of the run's own so that neither a user's LibreOffice
settings nor a LibreOffice already open can change or take over the
rendering."""

import os
import shutil
import signal
import subprocess
import tempfile
from pathlib import Path

from quillmark_cli.running.signals import deferred

PROGRAMS = ("soffice", "libreoffice")
INSTALL_HINT = ("PDF output needs LibreOffice (soffice) on PATH: install it, for example with "
                "'apt-get install libreoffice-writer-nogui' on Debian or Ubuntu")
# Starting LibreOffice with a new profile takes a few seconds, each document
# well under one; a run that takes longer than this has hung.
BASE_SECONDS = 120
SECONDS_PER_DOCUMENT = 30


class RenderError(Exception):
    """LibreOffice could not be run, or did not render a document."""


def find_libreoffice():
    """The LibreOffice program on PATH, or None."""
    for name in PROGRAMS:
        found = shutil.which(name)
        if found:
            return found
    return None


def render_pdfs(packages, program=None):
    """The PDF of each package (bytes), in order: a PDF's bytes, or a
    RenderError for a package LibreOffice did not render. Raises RenderError
    when LibreOffice cannot be run at all."""
    program = program or find_libreoffice()
    if program is None:
        raise RenderError(INSTALL_HINT)
    with tempfile.TemporaryDirectory(prefix="quillmark-pdf-") as work:
        work = Path(work)
        sources, out = work / "in", work / "out"
        sources.mkdir()
        out.mkdir()
        names = ["%06d" % index for index in range(len(packages))]
        for name, data in zip(names, packages):
            (sources / (name + ".docx")).write_bytes(data)
        command = [program, "--headless", "--norestore", "--nolockcheck", "--nodefault",
                   "-env:UserInstallation=" + (work / "profile").as_uri(),
                   "--convert-to", "pdf:writer_pdf_Export", "--outdir", str(out)]
        command += [str(sources / (name + ".docx")) for name in names]
        _run(command, work, BASE_SECONDS + SECONDS_PER_DOCUMENT * len(packages))
        results = []
        for name in names:
            path = out / (name + ".pdf")
            results.append(path.read_bytes() if path.exists() else RenderError("LibreOffice did not render it"))
        return results


def _run(command, home, timeout):
    """Runs LibreOffice in a process group of its own, which is ended, all
    of it, when the command is interrupted or LibreOffice hangs."""
    environment = dict(os.environ, HOME=str(home))  # nothing of the user's profile is read or written
    with deferred():  # the process is never left unrecorded
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=environment, start_new_session=True)
    try:
        _, errors = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        _end(process)
        raise RenderError("LibreOffice did not finish within %d seconds" % timeout) from None
    except BaseException:
        _end(process)
        raise
    if process.returncode != 0:
        lines = [line for line in errors.decode("utf-8", "replace").splitlines() if line.strip()]
        detail = ": " + lines[-1].strip() if lines else ""
        raise RenderError("LibreOffice failed (exit status %d)%s" % (process.returncode, detail))


def _end(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()
