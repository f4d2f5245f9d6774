"""A progress bar on standard error for batches, shown only when it is a
terminal, with messages printed above it."""

import sys


class Progress:
    def __init__(self, total, stream=None):
        self.stream = stream or sys.stderr
        self.bar = None
        if total > 1 and self.stream.isatty():
            from tqdm import tqdm  # only where a bar is shown: it takes a while to import

            self.bar = tqdm(total=total, file=self.stream, unit="doc", leave=False, dynamic_ncols=True,
                            bar_format="{l_bar}{bar}| {n_fmt}/{total_fmt} [{elapsed}<{remaining}]")

    def write(self, text):
        """Writes `text` (whole lines) above the bar, or plainly without one,
        in one write."""
        if self.bar is None:
            self.stream.write(text)
            self.stream.flush()
        else:
            self.bar.write(text, file=self.stream, end="")

    def advance(self):
        if self.bar is not None:
            self.bar.update(1)

    def close(self):
        if self.bar is not None:
            self.bar.close()
            self.bar = None
