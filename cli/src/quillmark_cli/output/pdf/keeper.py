"""The keeper of one LibreOffice process, run as a program of its own:

    python -I -S keeper.py WORK -- COMMAND...

It starts COMMAND (LibreOffice) in a session of its own and ends it, every
process of it, when the command that started the keeper says "stop" on the
keeper's standard input, or when it finds that input closed: the command
holds the only other end of that pipe, and the kernel closes it when the
command dies, however it dies, SIGKILL included. So LibreOffice never
outlives the command. Having found its input closed without being told to
stop, the keeper also removes WORK, the rendering's temporary directory,
which the command can no longer remove (each keeper of a batch does, after
ending its own LibreOffice, so the last one leaves nothing).

The keeper says on its standard output, one line each, that LibreOffice
started ("started PID") and how it ended ("exit N", "signal N"), or that it
could not be started ("error ERRNO"). LibreOffice's error output is the
keeper's own, a pipe the command reads; its standard output (a line per
document converted) is not needed.

It uses nothing but the standard library, so that it starts quickly with
the interpreter's site packages left out.
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import time

STOP = b"s"
# How long the keeper waits for LibreOffice's processes to be gone after
# killing them.
GONE_SECONDS = 5.0


class Keeper:
    def __init__(self, work, command):
        self.work, self.command = work, command
        self.child = None
        self.stopping = False  # SIGTERM or SIGHUP came: stop as if told

    def say(self, line):
        try:
            os.write(1, (line + "\n").encode("ascii"))
        except OSError:  # the command is gone: nobody to tell
            pass

    def run(self):
        wake_read, wake_write = os.pipe()
        for descriptor in (wake_read, wake_write):
            os.set_blocking(descriptor, False)
        signal.set_wakeup_fd(wake_write)
        signal.signal(signal.SIGCHLD, lambda *_: None)  # only to wake the wait below
        for signum in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, self._stop_signal)
        signal.signal(signal.SIGINT, signal.SIG_IGN)  # the command decides what an interrupt does
        try:
            self.child = subprocess.Popen(self.command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          start_new_session=True)
        except OSError as error:
            self.say("error %d" % (error.errno or 0))
            return
        self.say("started %d" % self.child.pid)
        while True:
            status = self.child.poll()
            if status is not None:
                self._end_group()  # anything LibreOffice left running
                self.say("exit %d" % status if status >= 0 else "signal %d" % -status)
                return
            if self.stopping:
                self._end()
                return
            ready, _, _ = select.select([0, wake_read], [], [])
            if wake_read in ready:
                try:
                    while os.read(wake_read, 512):
                        pass
                except BlockingIOError:
                    pass
            if 0 in ready:
                try:
                    data = os.read(0, 64)
                except OSError:
                    data = b""
                if data and STOP not in data:
                    continue
                self._end()
                if not data:  # closed without a word: the command is gone
                    self._remove_work()
                return

    def _stop_signal(self, _signum, _frame):
        self.stopping = True

    def _end(self):
        """Ends LibreOffice, all of its processes, and waits for them."""
        self._end_group()
        self.child.wait()
        deadline = time.monotonic() + GONE_SECONDS
        while time.monotonic() < deadline:
            try:
                os.killpg(self.child.pid, 0)
            except (ProcessLookupError, PermissionError):
                break
            time.sleep(0.01)

    def _end_group(self):
        try:
            os.killpg(self.child.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass

    def _remove_work(self):
        shutil.rmtree(self.work, ignore_errors=True)


def main(argv):
    if len(argv) < 4 or argv[2] != "--":
        sys.stderr.write("usage: keeper.py WORK -- COMMAND...\n")
        return 2
    Keeper(argv[1], argv[3:]).run()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
