"""Writing packages so that a failed run never leaves a partial or replaced file."""

import os
import tempfile
from pathlib import Path


def write_atomically(target, data):
    """Writes `data` to a temporary file beside `target`, then renames it over
    `target`. Either the whole new file is there afterwards, or the old one."""
    target = Path(target)
    handle, temporary = tempfile.mkstemp(dir=str(target.parent), prefix="." + target.name + ".", suffix=".tmp")
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        os.replace(temporary, str(target))
    except BaseException:
        try:
            os.unlink(temporary)
        except FileNotFoundError:
            pass
        raise
