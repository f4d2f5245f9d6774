"""The private LibreOffice profile each renderer runs with: nothing of a
user's settings is read, and two renderers never share one."""

from pathlib import Path


def prepare_profile(directory):
    """Makes the profile in `directory` (a new, private directory) and gives
    its URL, for -env:UserInstallation. LibreOffice fills it on its first
    start; what a profile must hold before that (settings the PDFs depend
    on) is written here."""
    directory = Path(directory)
    directory.mkdir(mode=0o700)
    return directory.as_uri()
