"""A progress bar on standard error, shown only when it is a terminal."""

import sys


class Progress:
    WIDTH = 30

    def __init__(self, total, stream=None):
        self.total = total
        self.stream = stream or sys.stderr
        self.enabled = total > 1 and self.stream.isatty()
        self.done = 0

    def advance(self, label):
        self.done += 1
        if self.enabled:
            filled = self.WIDTH * self.done // self.total
            self.stream.write("\r[%s%s] %d/%d %s\x1b[K" % ("#" * filled, "." * (self.WIDTH - filled), self.done,
                                                          self.total, label))
            self.stream.flush()

    def close(self):
        if self.enabled:
            self.stream.write("\r\x1b[K")
            self.stream.flush()
