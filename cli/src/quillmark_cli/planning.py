"""Where each input's package goes, decided before anything is converted, and
the refusals when two inputs would write one file or an output would replace
an input or the template."""

import os
from dataclasses import dataclass
from pathlib import Path
from typing import Optional, Union

from quillmark_cli.terminal import shown
from quillmark_cli.writing import STDOUT

# The generator names its File itself; an input without a name of its own
# (the bundled example, standard input) is written under that name, which is
# this one.
OWN_NAME = "output.docx"
STDIN = "-"


class PlanError(Exception):
    """A command line that cannot be carried out as given."""


@dataclass
class Job:
    source: Union[Path, str]  # a file, STDIN, or the bundled example
    name: str  # how messages name the input
    named: bool  # whether the input has a name of its own for its package
    target: Union[Path, str]  # a path, or STDOUT
    own_name_in: Optional[Path] = None  # set when the File's own name completes the target

    def target_for(self, file_name):
        """The final target, once the generator has named its File."""
        return self.own_name_in / file_name if self.own_name_in is not None else self.target


def names_a_directory(output):
    text = str(output)
    return text.endswith(os.sep) or text.endswith("/") or os.path.isdir(text)


def plan(inputs, output, output_dir, example):
    """The jobs for `inputs` (paths or STDIN), or the bundled `example` when
    there are none."""
    sources = [(example, "bundled example", False)] if not inputs else [
        (STDIN if str(p) == STDIN else Path(p), "standard input" if str(p) == STDIN else str(p), str(p) != STDIN)
        for p in inputs]
    if output is not None and str(output) == STDOUT:
        return [Job(source, name, named, STDOUT) for source, name, named in sources]
    if output is not None and not names_a_directory(output):
        return [Job(source, name, named, Path(output)) for source, name, named in sources]
    directory = Path(output) if output is not None else Path(output_dir) if output_dir is not None else None
    jobs = []
    for source, name, named in sources:
        if named and directory is not None:
            jobs.append(Job(source, name, named, directory / (source.stem + ".docx")))
        else:
            place = directory if directory is not None else Path()
            jobs.append(Job(source, name, named, place / OWN_NAME, own_name_in=place))
    return jobs


def _same_file(a, b):
    if os.path.realpath(str(a)) == os.path.realpath(str(b)):
        return True
    try:
        return os.path.samefile(str(a), str(b))
    except OSError:
        return False


def check(jobs, template_path=None):
    """Refuses two inputs writing one file, and an output replacing an input
    or the template."""
    written = {}
    for job in jobs:
        if job.target == STDOUT:
            continue
        key = os.path.realpath(str(job.target))
        if key in written:
            raise PlanError("%s and %s would both be written to %s" % (
                shown(written[key].name), shown(job.name), shown(job.target)))
        written[key] = job
    for job in jobs:
        if job.target == STDOUT:
            continue
        for other in jobs:
            if isinstance(other.source, Path) and _same_file(job.target, other.source):
                whose = "itself" if other is job else "%s, an input" % shown(other.name)
                raise PlanError("the package of %s would replace %s" % (shown(job.name), whose))
        if template_path is not None and _same_file(job.target, template_path):
            raise PlanError("the package of %s would replace the template %s" % (shown(job.name),
                                                                                   shown(template_path)))


def output_directory(output, output_dir):
    """The directory the command writes into and creates when missing
    (-d DIR, or -o DIR/), or None."""
    if output_dir is not None:
        return Path(output_dir)
    if output is not None and str(output) != STDOUT and names_a_directory(output):
        return Path(output)
    return None
