"""Converting inputs into packages, in this process or in worker processes;
results come back in input order either way."""

import multiprocessing
import signal
from dataclasses import dataclass
from typing import Optional

from quillmark_cli.loading import InputError, load_description, parse_json, read_bytes

OK, FAILED, BAD_INPUT = 0, 1, 2


@dataclass
class Outcome:
    status: int
    message: Optional[str] = None  # one line, for a failed input
    data: Optional[bytes] = None
    file_name: Optional[str] = None  # the name the generator gave its File


def convert(source, template, markdown):
    """One input, given as a path or as its bytes, into an Outcome."""
    try:
        raw = source if isinstance(source, bytes) else read_bytes(source)
        config, document, own_template = load_description(parse_json(raw), template, markdown)
    except InputError as error:
        return Outcome(BAD_INPUT, str(error))

    # Imported here so that --help and --print-schema work without the modules.
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark

    try:
        result = Quillmark(config).generate(document, own_template)
    except Exception as error:  # reported with its type, as the generator raised it
        return Outcome(FAILED, "%s: %s" % (type(error).__name__, error))
    return Outcome(OK, data=result.data, file_name=result.name)


def _convert_task(task):
    return convert(*task)


def _worker_setup():
    # The parent decides what an interrupt does; workers are ended by it.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)


def outcomes(sources, template, markdown, workers):
    """Outcome of each source, in order, converting up to `workers` at once."""
    tasks = [(source, template, markdown) for source in sources]
    if workers <= 1:
        for task in tasks:
            yield _convert_task(task)
        return
    pool = multiprocessing.get_context().Pool(workers, initializer=_worker_setup)
    try:
        yield from pool.imap(_convert_task, tasks, chunksize=1)
        pool.close()
    finally:
        pool.terminate()
        pool.join()
