"""A progress bar on standard error for batches, shown only when it is a
terminal, with messages printed above it."""

import sys

from tqdm import tqdm


class Progress:
    def __init__(self, total, stream=None):
        self.stream = stream or sys.stderr
        enabled = total > 1 and self.stream.isatty()
        self.bar = tqdm(total=total, file=self.stream, unit="doc", disable=not enabled, leave=False,
                        dynamic_ncols=True, bar_format="{l_bar}{bar}| {n_fmt}/{total_fmt} [{elapsed}<{remaining}]")

    def message(self, line):
        """One line above the bar (or plainly, without one)."""
        if self.bar.disable:
            print(line, file=self.stream, flush=True)
        else:
            self.bar.write(line, file=self.stream)

    def advance(self):
        self.bar.update(1)

    def close(self):
        self.bar.close()
