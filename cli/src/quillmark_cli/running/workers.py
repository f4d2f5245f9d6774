"""Worker processes for a batch, built so that no signal can leave the
command waiting forever or leave a worker behind it.

- Each worker has a pipe of its own: no queue, no lock shared between
  processes, so a worker that dies at any moment cannot leave a lock held
  that the parent then waits on.
- SIGINT, SIGTERM and SIGHUP are blocked while a worker is forked and until
  it has set its own dispositions (SIGINT ignored: the parent decides what
  an interrupt does; SIGTERM and SIGHUP fatal), so a signal in that window
  is neither lost in the parent nor run through the parent's handler in
  the child.
- A worker asks the kernel to kill it when the parent dies, so none outlives
  the command even if the parent is killed outright.
- The parent waits for a result or a worker's death, never for one alone,
  and ends its workers with deadlines: closed pipes first, then SIGTERM,
  then SIGKILL.
"""

import ctypes
import multiprocessing
import multiprocessing.connection
import os
import signal
import sys
import time

from quillmark_cli.running.signals import STOPPING, checkpoint, deferred

# How long ending the workers may take, at most, in each of its stages.
GRACE_SECONDS = 2.0
KILL_SECONDS = 2.0

_PR_SET_PDEATHSIG = 1


class WorkerDied(Exception):
    """A worker ended before it returned a result."""

    def __init__(self, exitcode):
        how = ("killed by signal %d" % -exitcode) if exitcode is not None and exitcode < 0 else \
            "exit status %s" % exitcode
        super().__init__("the worker converting it ended (%s)" % how)


def _die_with_parent(parent):
    try:
        # The process's own symbols include the C library's (finding it by
        # name would start a program).
        ctypes.CDLL(None).prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
    except (OSError, AttributeError):  # not Linux: the parent's deadlines still hold
        pass
    if os.getppid() != parent:  # the parent died before the request took effect
        os._exit(1)


def _serve(connection, function, parent):
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)
    if signal.getsignal(signal.SIGHUP) != signal.SIG_IGN:  # ignored under nohup, and so in the workers
        signal.signal(signal.SIGHUP, signal.SIG_DFL)
    _die_with_parent(parent)
    signal.pthread_sigmask(signal.SIG_UNBLOCK, STOPPING)
    while True:
        try:
            task = connection.recv()
        except (EOFError, OSError):
            return
        if task is None:
            return
        index, arguments = task
        connection.send((index, function(*arguments)))


class _Worker:
    def __init__(self, connection, process):
        self.connection = connection
        self.process = process
        self.task = None  # the index of the task it is converting


class WorkerPool:
    """`count` worker processes running `function`; a context manager that
    ends them on leaving, at once if the block is left by an exception (an
    interruption, say)."""

    def __init__(self, count, function):
        self.context = multiprocessing.get_context("fork")
        self.function = function
        self.count = count
        self.workers = []

    def __enter__(self):
        return self

    def __exit__(self, kind, _value, _traceback):
        self.close(graceful=kind is None)

    def _start(self):
        connection, child_end = self.context.Pipe(duplex=True)
        # Held back until the worker is known, so that an interruption
        # always finds it in the list of workers to end.
        with deferred():
            for stream in (sys.stdout, sys.stderr):  # nothing buffered may be written twice
                if stream is not None:
                    stream.flush()
            process = self.context.Process(target=_serve, args=(child_end, self.function, os.getpid()), daemon=True)
            process.start()
            worker = _Worker(connection, process)
            self.workers.append(worker)
        child_end.close()
        return worker

    def _replace(self, worker):
        self._end(worker)
        self.workers.remove(worker)
        return self._start()

    def results(self, tasks):
        """The result of `function(*task)` for each task, in order; a
        worker's death is its task's WorkerDied result."""
        tasks = list(tasks)
        finished, next_task, next_result = {}, 0, 0
        while len(self.workers) < min(self.count, len(tasks)):
            self._start()
        while next_result < len(tasks):
            checkpoint()
            for worker in self.workers:
                if worker.task is None and next_task < len(tasks):
                    try:
                        worker.connection.send((next_task, tasks[next_task]))
                    except OSError:  # it died while idle: its replacement takes the task
                        worker = self._replace(worker)
                        worker.connection.send((next_task, tasks[next_task]))
                    worker.task = next_task
                    next_task += 1
            while next_result in finished:
                yield finished.pop(next_result)
                next_result += 1
            if next_result >= len(tasks):
                break
            self._collect(finished)

    def _collect(self, finished):
        busy = [worker for worker in self.workers if worker.task is not None]
        waits = {}
        for worker in busy:
            waits[worker.connection] = worker
            waits[worker.process.sentinel] = worker
        for ready in multiprocessing.connection.wait(list(waits)):
            worker = waits[ready]
            if worker.task is None:
                continue  # seen through its other handle already
            try:
                index, result = worker.connection.recv()
            except (EOFError, OSError):
                worker.process.join(KILL_SECONDS)
                finished[worker.task] = WorkerDied(worker.process.exitcode)
                worker.task = None
                self._replace(worker)
                continue
            finished[index] = result
            worker.task = None

    def _end(self, worker):
        worker.connection.close()
        if worker.process.is_alive():
            worker.process.kill()
        worker.process.join(KILL_SECONDS)

    def close(self, graceful=True):
        """Ends every worker: with `graceful`, by closing its pipe and
        waiting for it to finish; then, or at once, by SIGTERM and SIGKILL.
        Each stage has a deadline."""
        workers, self.workers = self.workers, []
        if graceful:
            for worker in workers:
                try:
                    worker.connection.send(None)
                except OSError:
                    pass
            deadline = time.monotonic() + GRACE_SECONDS
            for worker in workers:
                worker.process.join(max(0.0, deadline - time.monotonic()))
        for stage, seconds in (("terminate", KILL_SECONDS), ("kill", KILL_SECONDS)):
            alive = [worker for worker in workers if worker.process.is_alive()]
            if not alive:
                break
            for worker in alive:
                getattr(worker.process, stage)()
            deadline = time.monotonic() + seconds
            for worker in alive:
                worker.process.join(max(0.0, deadline - time.monotonic()))
        for worker in workers:
            worker.connection.close()
