"""What the command tells people on standard error: one line per message
(above the progress bar in a batch on a terminal), and a summary at the end,
on a line of its own even when an interruption cut a message short."""

import sys

from quillmark_cli.output.streams import STDOUT
from quillmark_cli.running.progress import Progress
from quillmark_cli.running.terminal import shown


class Report:
    def __init__(self, total=0):
        self.total = total
        self.directory = None
        self.written = []  # (target, size) of each package written
        self.processed = 0  # inputs converted or failed
        self.progress = None
        self._mid_line = False  # a message was being written when something interrupted it

    def show_progress(self):
        """Conversions begin: a bar is shown where it helps."""
        self.progress = Progress(self.total)

    def _write(self, text):
        self._mid_line = True
        if self.progress is not None:
            self.progress.write(text)
        else:
            sys.stderr.write(text)
            sys.stderr.flush()
        self._mid_line = False

    def line(self, name, message):
        self._write("%s: %s\n" % (shown(name), shown(message)))

    def command(self, message):
        self.line("quillmark", message)

    def warning(self, text):
        self._write(shown(text) + "\n")

    def note(self, text):
        """A line of its own for people, neither a warning nor an error."""
        self._write(shown(text) + "\n")

    def wrote(self, target, size):
        self.written.append((target, size))

    def advance(self):
        self.processed += 1
        if self.progress is not None:
            self.progress.advance()

    def _counts(self, failed):
        into = " into %s" % shown(self.directory) if self.directory is not None else ""
        line = "converted %d of %d documents%s" % (len(self.written), self.total, into)
        return line + (", %d failed" % failed if failed else "")

    def finish(self):
        """The summary of a batch that ran to its end."""
        if self.progress is not None:
            self.progress.close()
        if self.total == 1:
            if self.written and self.written[0][0] is not STDOUT:
                self._write("wrote %s (%d bytes)\n" % (shown(self.written[0][0]), self.written[0][1]))
            return
        self._write(self._counts(self.total - len(self.written)) + "\n")

    def interrupted(self):
        """The summary of a batch that a signal stopped: what was written so
        far, always, on a line of its own."""
        progress, self.progress = self.progress, None
        if progress is not None:
            progress.close()
        start = "\n" if self._mid_line else ""
        # An input whose package is in place was processed, even when the
        # signal came before it was counted.
        processed = max(self.processed, len(self.written))
        try:
            self._write("%squillmark: interrupted: %s\n" % (start, self._counts(processed - len(self.written))))
        except OSError:
            pass  # nowhere to say it
