"""One LibreOffice, kept running, rendering packages into PDF for the server
that started this script. Run by the Python that has LibreOffice's `uno`
module (Debian's python3 with python3-uno, or the python that ships in an
office's program folder), never imported by the server.

The server and this script talk over this process's standard input and
output, in frames (a 4-byte big-endian length, then the bytes): a request
is a JSON header and a package; the answer a JSON header ({"ok": true} or
{"ok": false, "error": ...}) and the PDF. LibreOffice listens on a named
pipe of the user's own, never on a network port, and has a profile of its
own. When the server goes away (standard input ends, SIGTERM, or the
server's death), LibreOffice is ended with this process; when LibreOffice
dies, this process exits, and the server starts another.

Written for any Python 3 that an office may bring: the standard library
and uno only.
"""

import argparse
import ctypes
import hashlib
import json
import os
import signal
import stat
import struct
import subprocess
import sys
import threading
import time

import uno  # noqa: F401 - sets up the bridge's import hooks
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException

_LENGTH = struct.Struct(">I")
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def _hold_the_office():
    """This process gets SIGTERM when the server dies, however it dies, and
    adopts the office's processes whose parents die first (LibreOffice's
    launcher starts the office itself), so that it reaps them all."""
    parent = os.getppid()
    try:
        prctl = ctypes.CDLL(None, use_errno=True).prctl
        prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)
        prctl(_PR_SET_CHILD_SUBREAPER, 1)
    except (AttributeError, OSError):
        pass  # not Linux: standard input's end still says it
    if os.getppid() != parent:
        sys.exit(0)


def _reap(seconds=10):
    """Waits for every process this one adopted or started."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            time.sleep(0.02)


class Office:
    """A LibreOffice process in a session of its own, listening on a pipe."""

    def __init__(self, program, profile, pipe):
        command = [program, "--headless", "--invisible", "--nocrashreport", "--nodefault", "--nologo",
                   "--nofirststartwizard", "--norestore", "--nolockcheck", "-env:UserInstallation=" + profile,
                   "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        self.pipe, self.profile = pipe, profile

    def connect(self, seconds):
        """The office's desktop, once it answers on its pipe."""
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + seconds
        while True:
            try:
                context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe)
                break
            except NoConnectException:
                if self.process.poll() is not None:
                    raise RuntimeError("LibreOffice exited while starting (status %d)" % self.process.returncode)
                if time.monotonic() > deadline:
                    raise RuntimeError("LibreOffice did not start within %d seconds" % seconds)
                time.sleep(0.05)
        return context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)

    def end(self, desktop=None):
        """Ends the office: asked to close when `desktop` is given (it then
        removes its pipes itself), killed when it does not within seconds."""
        if desktop is not None:
            closing = threading.Thread(target=self._terminate, args=(desktop,), daemon=True)
            closing.start()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        _reap()
        self._remove_pipes()

    @staticmethod
    def _terminate(desktop):
        try:
            desktop.terminate()
        except Exception:  # the office is going anyway
            pass

    def _remove_pipes(self):
        """The sockets a killed office leaves in /tmp: the one it listened
        on, and the one its single-instance check names after the profile
        (an MD5 of the profile's URL as UTF-16, each byte in hexadecimal)."""
        digest = hashlib.md5(self.profile.encode("utf-16-le")).digest()
        for name in (self.pipe, "SingleOfficeIPC_" + "".join("%x" % byte for byte in digest)):
            path = "/tmp/OSL_PIPE_%d_%s" % (os.getuid(), name)
            try:
                if stat.S_ISSOCK(os.lstat(path).st_mode):
                    os.unlink(path)
            except OSError:
                pass


def _properties(**values):
    found = []
    for name, value in values.items():
        prop = PropertyValue()
        prop.Name, prop.Value = name, value
        found.append(prop)
    return tuple(found)


def _filter_data(options):
    return uno.Any("[]com.sun.star.beans.PropertyValue", _properties(**options))


def render(desktop, work, package, header):
    """The PDF of `package` (bytes), exported with the header's filter and
    options."""
    source, target = os.path.join(work, "in.docx"), os.path.join(work, "out.pdf")
    with open(source, "wb") as out:
        out.write(package)
    document = desktop.loadComponentFromURL(uno.systemPathToFileUrl(source), "_blank", 0, _properties(
        Hidden=True, ReadOnly=True, MacroExecutionMode=0, UpdateDocMode=0))
    if document is None:
        raise RuntimeError("LibreOffice did not open the package")
    try:
        options = {"FilterName": header.get("filter", "writer_pdf_Export")}
        if header.get("options"):
            options["FilterData"] = _filter_data(header["options"])
        document.storeToURL(uno.systemPathToFileUrl(target), _properties(**options))
    finally:
        document.close(True)
    with open(target, "rb") as result:
        data = result.read()
    os.unlink(source)
    os.unlink(target)
    return data


def _read_frame(stream):
    head = stream.read(_LENGTH.size)
    if len(head) < _LENGTH.size:
        return None
    (length,) = _LENGTH.unpack(head)
    data = stream.read(length)
    return data if len(data) == length else None


def _write_frames(stream, *frames):
    for frame in frames:
        stream.write(_LENGTH.pack(len(frame)) + frame)
    stream.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--profile", required=True, help="the profile's URL")
    parser.add_argument("--pipe", required=True)
    parser.add_argument("--work", required=True, help="a private directory for the files LibreOffice reads")
    parser.add_argument("--start-seconds", type=float, default=90)
    args = parser.parse_args()

    _hold_the_office()
    # The frames go out on a descriptor of their own: whatever the office's
    # libraries print goes to standard error, not into the answers.
    answers = os.fdopen(os.dup(1), "wb")
    os.dup2(2, 1)
    requests = os.fdopen(os.dup(0), "rb")

    office = Office(args.program, args.profile, args.pipe)
    ending = threading.Event()
    desktop = None

    def end(*_):
        ending.set()
        office.end(desktop)
        os._exit(0)

    signal.signal(signal.SIGTERM, end)
    signal.signal(signal.SIGINT, end)

    died = threading.Event()

    def watch():
        try:
            os.waitpid(office.process.pid, 0)
        except ChildProcessError:
            pass  # reaped by end()
        died.set()
        if not ending.is_set():
            ending.set()
            office.end()
            os._exit(3)  # LibreOffice died: the server starts another

    try:
        desktop = office.connect(args.start_seconds)
    except Exception as error:  # told to the server, which tries again
        _write_frames(answers, json.dumps({"ok": False, "error": str(error)}).encode())
        end()
    threading.Thread(target=watch, daemon=True).start()
    _write_frames(answers, json.dumps({"ok": True, "pid": office.process.pid}).encode())

    while True:
        header = _read_frame(requests)
        package = _read_frame(requests) if header is not None else None
        if package is None:
            end()  # the server has gone
        try:
            pdf = render(desktop, args.work, package, json.loads(header.decode()))
        except Exception as error:  # UNO's exceptions, which the server reports
            message = getattr(error, "Message", "") or str(error) or type(error).__name__
            # A render cut short by the office's death is told apart from a
            # document the office could not render.
            answer = {"ok": False, "error": message, "died": died.wait(1)}
            _write_frames(answers, json.dumps(answer).encode(), b"")
            continue
        _write_frames(answers, b'{"ok": true}', pdf)


if __name__ == "__main__":
    main()
