"""The private LibreOffice profile each renderer runs with: nothing of a
user's settings is read, two renderers never share one, and the faces that
stand in for the official fonts are those the command's PDFs use, so that
the editor's pages are the pages `quillmark -o notice.pdf` prints."""

from pathlib import Path

from quillmark_cli.output.pdf import fonts
from quillmark_cli.output.pdf.profile import installed_version, make_profile


def prepare_profile(directory, program=None, environment=None):
    """Makes the profile in `directory` (a new, private directory) and gives
    its URL, for -env:UserInstallation. LibreOffice fills it on its first
    start; what a profile must hold before that (tagged PDF, the stand-in
    faces) is written here."""
    directory = Path(directory)
    directory.mkdir(mode=0o700)
    installed = fonts.installed_families(environment)
    substitutions = fonts.substitutions(installed) if installed is not None else {}
    make_profile(directory, {font: face.family for font, face in substitutions.items()}, False,
                 installed_version(program) if program else None)
    return directory.as_uri()
