"""The two ways an input can fail before the generator runs, told apart by
the exit status they give."""

BAD_INPUT_STATUS = 2
FAILED_STATUS = 1

# What a run that exhausts the memory says, in place of Python's bare
# "MemoryError".
OUT_OF_MEMORY = "out of memory"


class InputError(Exception):
    """Input that cannot be converted (exit status 2): `where` names the
    place in the file."""

    status = BAD_INPUT_STATUS

    def __init__(self, where, message):
        super().__init__("%s: %s" % (where, message) if where else message)
        self.where = where  # the place, as the message names it, or None
        self.detail = message  # the message without its place


class ReadFailure(InputError):
    """A file that exists but cannot be read: a file-system failure (exit
    status 1), not bad input."""

    status = FAILED_STATUS
