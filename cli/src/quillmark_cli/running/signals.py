"""SIGINT, SIGTERM and SIGHUP (a closed terminal): the command stops cleanly
with 128 + the signal.

The first signal raises Interrupted wherever the command is; later ones are
only noted, so that the cleanup the first one started (removing a temporary
file, ending the workers) cannot itself be cut short. Python drops an
exception raised where it cannot propagate (in a weak reference's callback
during an import, say), so the command also passes checkpoints, which raise
the interruption again if it never arrived, and Python is told not to
print the one it dropped. Short stretches that must not be
split (a message line, renaming a finished file and counting it) run with
both signals deferred.
"""

import contextlib
import signal
import sys

STOPPING = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Interrupted(BaseException):
    """SIGINT, SIGTERM or SIGHUP arrived; the command stops with 128 + the
    signal."""

    def __init__(self, signum):
        super().__init__(signum)
        self.status = 128 + signum


class _Handler:
    def __init__(self):
        self.received = None
        self.delivered = False

    def __call__(self, signum, _frame):
        if self.received is not None:
            return  # already stopping
        self.received = signum
        raise Interrupted(signum)


_handler = None


@contextlib.contextmanager
def handled(restore=True):
    """Installs the handlers for the duration of the block; afterwards the
    previous ones come back, or (`restore` false) the system's defaults.
    Interrupted, once it reaches the block's own handler, must be marked
    with delivered()."""
    global _handler
    handler, outer = _Handler(), _handler
    previous = {}
    for signum in STOPPING:
        # A hang-up ignored by whoever started the command (nohup) stays
        # ignored.
        if signum == signal.SIGHUP and signal.getsignal(signum) == signal.SIG_IGN:
            continue
        previous[signum] = signal.signal(signum, handler)
    _handler = handler
    unraisable_hook = sys.unraisablehook
    sys.unraisablehook = _quiet_about_interruptions(unraisable_hook)
    try:
        yield handler
    finally:
        sys.unraisablehook = unraisable_hook
        _handler = outer
        for signum, old in previous.items():
            signal.signal(signum, old if restore else signal.SIG_DFL)


def _quiet_about_interruptions(hook):
    """An unraisable-exception hook that says nothing of an interruption
    Python dropped (a checkpoint raises it again) and passes the rest on."""
    def quiet(unraisable):
        if not isinstance(unraisable.exc_value, Interrupted):
            hook(unraisable)
    return quiet


def checkpoint():
    """Raises Interrupted if a signal came and its exception was lost."""
    handler = _handler
    if handler is not None and handler.received is not None and not handler.delivered:
        raise Interrupted(handler.received)


def delivered():
    """The interruption has reached the code that reports it."""
    if _handler is not None:
        _handler.delivered = True


@contextlib.contextmanager
def deferred():
    """Runs the block with the stopping signals held back; one that arrives
    meanwhile is handled as soon as the block ends."""
    old = signal.pthread_sigmask(signal.SIG_BLOCK, STOPPING)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, old)
