"""SIGINT and SIGTERM at random moments of a parallel batch, to the command
and to its whole process group: every run ends within seconds with 130 or
143 and its summary on a line of its own, leaving no temporary file and no
process behind. QUILLMARK_THOROUGH=1 sends many more."""

import os
import random
import signal
import subprocess
import sys
import time
import weakref

import pytest

from test_cli import minimal, write_json
from test_cli_unix import command
from test_robustness import THOROUGH

TRIALS = 300 if THOROUGH else 24
DEADLINE = 10  # seconds from the signal to the end of the command


def session_members(session):
    """The processes of a session, found through /proc."""
    members = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session:
            members.append(int(pid))
    return members


def handles(pid, signum):
    """Whether the process has a handler of its own for `signum` (the
    interpreter handles SIGINT from the start, the command SIGTERM once it
    has set itself up)."""
    try:
        with open("/proc/%d/status" % pid) as status:
            caught = next(line for line in status if line.startswith("SigCgt:"))
    except (OSError, StopIteration):
        return True  # gone already
    return bool(int(caught.split()[1], 16) & (1 << (signum - 1)))


def interrupt(argv, cwd, delay, signum, group, **popen):
    process = subprocess.Popen(argv, cwd=str(cwd), stderr=subprocess.PIPE, text=True, start_new_session=True,
                               **popen)
    while not handles(process.pid, signal.SIGTERM):
        time.sleep(0.001)
    time.sleep(delay)
    try:
        (os.killpg if group else os.kill)(process.pid, signum)
    except ProcessLookupError:
        pass
    sent = time.monotonic()
    try:
        _, stderr = process.communicate(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        pytest.fail("still running %d s after the signal" % DEADLINE)
    return process, stderr, time.monotonic() - sent


def test_signals_at_random_moments_of_a_batch(tmp_path):
    inputs = [write_json(tmp_path / ("in%02d.json" % i), minimal([
        {"type": "paragraph", "style_name": "正文", "text": "第%d条 [链接](https://a.example/%d)" % (k, k)}
        for k in range(1500)])) for i in range(12)]
    chance = random.Random(int(os.environ.get("QUILLMARK_SEED", "9704")))
    for trial in range(TRIALS):
        out = tmp_path / ("out%d" % trial)
        signum = chance.choice([signal.SIGINT, signal.SIGTERM])
        group = chance.random() < 0.5
        delay = chance.uniform(0, 1.5)
        process, stderr, _ = interrupt(command(*inputs, "-d", out, "-j", "2"), tmp_path, delay, signum, group)
        what = (trial, signal.Signals(signum).name, "group" if group else "process", round(delay, 3), stderr)
        # A signal after the batch has ended is the signal's own business.
        finished = "converted 12 of 12" in stderr and not stderr.startswith("quillmark: interrupted")
        assert process.returncode in ((0, -signum) if finished else (128 + signum,)), what
        assert "Traceback" not in stderr, what
        lines = stderr.splitlines()
        written = sorted(os.listdir(str(out))) if out.exists() else []
        assert all(name.endswith(".docx") and not name.startswith(".") for name in written), what
        if process.returncode == 128 + signum:
            into = " into %s" % out
            assert lines[-1].startswith("quillmark: interrupted: converted %d of 12 documents%s" % (
                len(written), into)), what
        assert session_members(process.pid) == [], what


@pytest.mark.parametrize("signum", [signal.SIGINT, signal.SIGTERM])
def test_the_summary_comes_before_the_first_conversion_too(tmp_path, signum):
    reader, writer = os.pipe()  # standard input that never ends
    try:
        process, stderr, took = interrupt(command("-", "-o", "out.docx"), tmp_path, 0.2, signum, False,
                                          stdin=reader)
    finally:
        os.close(reader)
        os.close(writer)
    assert (process.returncode, stderr) == (128 + signum, "quillmark: interrupted: converted 0 of 1 documents\n")
    assert os.listdir(str(tmp_path)) == []


def test_an_interruption_python_drops_is_not_reported_and_other_exceptions_are(monkeypatch):
    from quillmark_cli.running import signals

    reported = []
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: reported.append(unraisable.exc_value))

    def dropped(exception):
        class Referent:
            pass

        def callback(_):
            raise exception

        referent = Referent()
        reference = weakref.ref(referent, callback)  # noqa: F841 (kept alive until the referent goes)
        del referent

    shown = ValueError("shown")
    with signals.handled():
        dropped(signals.Interrupted(signal.SIGINT))
        dropped(shown)
    assert reported == [shown]
