"""Each converted package delivered to its target, with the one line a
failure gets: into the output directory (made when the first package goes
into it), a file, or a descriptor; PDFs rendered first, by as many
LibreOffice processes as the batch has workers, and written as they come.
Each function returns the exit status it comes to."""

import errno

from quillmark_cli.errors import FAILED_STATUS
from quillmark_cli.output.streams import Descriptor, silence, was_closed, write_all
from quillmark_cli.running import signals

OK = 0
STAND_IN_NOTE = "fonts not installed here are drawn in the PDF with stand-ins: "


def write_out(report, descriptor, data, what):
    """Writes `data` into a descriptor (standard output, say); the status."""
    if was_closed(descriptor):
        report.command("cannot write %s: %s is closed" % (what, descriptor))
        return FAILED_STATUS
    try:
        write_all(descriptor, data)
    except BrokenPipeError:
        silence(descriptor)  # the reader has what it wanted
        return FAILED_STATUS
    except OSError as error:
        silence(descriptor)
        report.command("cannot write %s: %s" % (what, error.strerror or error))
        return FAILED_STATUS
    return OK


class OutputDirectory:
    """The output directory, made when the first package goes into it (not
    when every input is refused)."""

    def __init__(self, path, report):
        self.path, self.report = path, report
        self.made, self.failed = path is None, False

    def ready(self):
        if self.made:
            return True
        if not self.failed:
            try:
                self.path.mkdir(parents=True, exist_ok=True)
                self.made = True
            except OSError as error:
                self.failed = True
                self.report.line(self.path, "cannot create: %s" % (error.strerror or error))
        return self.made


def write(job, outcome, report, directory):
    """Writes one package; its status."""
    from quillmark_cli.output.writing import write_package

    if not directory.ready():
        return FAILED_STATUS
    target = job.target_for(outcome.file_name)
    if isinstance(target, Descriptor) and was_closed(target):
        report.line(target, "cannot write: it is closed")
        return FAILED_STATUS
    try:
        write_package(target, outcome.data, lambda: report.wrote(target, len(outcome.data)))
    except OSError as error:
        if isinstance(target, Descriptor):
            silence(target)
        if isinstance(error, BrokenPipeError):
            return FAILED_STATUS  # the reader has gone: nothing to say
        report.line(target, "cannot write: %s" % (error.strerror or errno.errorcode.get(error.errno, error)))
        return FAILED_STATUS
    return OK


def render_and_write(converted, rendering, report, directory, to_pdf=True):
    """Renders the converted packages to PDF (`rendering`, a Rendering) and
    writes each as it comes, in order; the worst status. Each document
    counts as processed once its PDF is written or has failed. A package
    whose record block must fall on an even page is rendered until it does
    (see pagination); without `to_pdf`, the packages are written, not their
    PDFs, and only those are rendered."""
    from quillmark_cli.output.pdf.faults import RenderError

    status, noted = OK, not to_pdf
    try:
        for (job, outcome), pdf, stand_ins in _rendered(converted, rendering, to_pdf):
            signals.checkpoint()
            if isinstance(pdf, RenderError):
                report.line(job.name, "cannot write PDF: %s" % pdf if to_pdf else
                            "cannot count its pages (template.page.record_block: even): %s" % pdf)
                status = FAILED_STATUS
            else:
                if stand_ins and not noted:  # once, with the first PDF
                    report.note(STAND_IN_NOTE + ", ".join("%s → %s" % pair for pair in stand_ins))
                    noted = True
                if to_pdf:
                    outcome.data = pdf
                status = max(status, write(job, outcome, report, directory))
            report.advance()
    except RenderError as error:
        report.command("cannot write PDF: %s" % error)
        return FAILED_STATUS
    return status


def _rendered(converted, rendering, to_pdf):
    """((job, outcome), PDF or RenderError or None, the stand-ins the
    rendering used) for each converted package, in order, the outcome's
    data as it is to be written."""
    from quillmark_cli.output.pdf.batch import Batch
    from quillmark_cli.output.pdf.pagination import render_on_even_pages

    even = [outcome.even_record_block for _, outcome in converted]
    if to_pdf and not any(even):
        with Batch([outcome.data for _, outcome in converted], rendering.program, rendering.processes,
                   rendering.pdf_a, rendering.limit) as batch:
            for pair, pdf in zip(converted, batch.results()):
                yield pair, pdf, batch.stand_ins
        return
    chosen = [index for index, flag in enumerate(even) if flag or to_pdf]
    packages, results, stand_ins = render_on_even_pages([converted[index][1].data for index in chosen],
                                                        [even[index] for index in chosen], rendering)
    rendered = dict(zip(chosen, zip(packages, results)))
    for index, pair in enumerate(converted):
        if index in rendered:
            pair[1].data, pdf = rendered[index]
        else:
            pdf = None
        yield pair, pdf, stand_ins


class Rendering:
    """How PDFs are rendered: LibreOffice's program, how many processes at
    once, PDF/A or not, and the seconds a document may take."""

    def __init__(self, program, processes, pdf_a, limit):
        self.program, self.processes, self.pdf_a, self.limit = program, processes, pdf_a, limit
