"""Where each input's package goes, decided before anything is converted, and
the refusals when two inputs would write one file, an output would replace a
file the conversion reads, or an output is a symbolic link to nothing or a
loop of them.

Every check indexes the files by real path and by device and inode, so a
batch of thousands of inputs is checked in time proportional to its size.
"""

import os
from dataclasses import dataclass
from pathlib import Path
from typing import Optional, Union

from quillmark_cli.errors import InputError
from quillmark_cli.output.streams import DASH, STDIN, STDOUT, Descriptor, descriptor_of
from quillmark_cli.output.writing import link_problem
from quillmark_cli.running.terminal import shown

# What the command converts when it is given no input: the official notice
# of examples/notice.md, laid out with the bundled official template.
BUNDLED_EXAMPLE = Path(__file__).parent / "example" / "notice.md"

# The generator names its File itself; an input without a name of its own
# (the bundled example, standard input) is written under that name, which is
# this one (with .pdf for PDF output).
OWN_NAME = "output.docx"


class PlanError(Exception):
    """A command line that cannot be carried out as given."""


@dataclass
class Job:
    source: Union[Path, Descriptor]  # a file, STDIN, or the bundled example
    name: str  # how messages name the input
    named: bool  # whether the input has a name of its own for its package
    target: Union[Path, Descriptor]  # a path, or a descriptor written into
    own_name_in: Optional[Path] = None  # set when the File's own name completes the target
    suffix: str = ".docx"  # what is written: a package, or its PDF

    def target_for(self, file_name):
        """The final target, once the generator has named its File."""
        if self.own_name_in is None:
            return self.target
        if self.suffix != ".docx":
            file_name = Path(file_name).stem + self.suffix
        return self.own_name_in / file_name


def names_a_directory(output):
    text = str(output)
    return text.endswith(os.sep) or text.endswith("/") or os.path.isdir(text)


def output_target(output):
    """What -o names: standard output for "-", a descriptor of this process
    (/dev/stdout and the like), or a path."""
    if output == DASH:
        return STDOUT
    return descriptor_of(output) or Path(output)


def plan(inputs, output, output_dir, example, suffix=".docx"):
    """The jobs for `inputs` (paths, or "-" for standard input), or the
    bundled `example` when there are none; `suffix` is the written files'
    (.docx or .pdf)."""
    sources = [(example, "bundled example", False)] if not inputs else [
        (STDIN, "standard input", False) if p == DASH else (Path(p), p, True) for p in inputs]
    target = output_target(output) if output is not None else None
    if isinstance(target, Descriptor):
        return [Job(source, name, named, target, suffix=suffix) for source, name, named in sources]
    if output is not None and not names_a_directory(output):
        return [Job(source, name, named, target, suffix=suffix) for source, name, named in sources]
    directory = Path(output) if output is not None else Path(output_dir) if output_dir is not None else None
    jobs = []
    for source, name, named in sources:
        if named and directory is not None:
            jobs.append(Job(source, name, named, directory / (source.stem + suffix), suffix=suffix))
        else:
            place = directory if directory is not None else Path()
            jobs.append(Job(source, name, named, place / (Path(OWN_NAME).stem + suffix), own_name_in=place,
                            suffix=suffix))
    return jobs


class _FileIndex:
    """Files by real path and by device and inode (hard links), each
    remembering the first owner given."""

    def __init__(self):
        self.by_path, self.by_inode = {}, {}

    @staticmethod
    def _inode(path):
        try:
            status = os.stat(str(path))
        except OSError:
            return None
        return status.st_dev, status.st_ino

    def add(self, path, owner):
        self.by_path.setdefault(os.path.realpath(str(path)), owner)
        inode = self._inode(path)
        if inode is not None:
            self.by_inode.setdefault(inode, owner)

    def owners(self, path):
        found = [self.by_path.get(os.path.realpath(str(path)))]
        inode = self._inode(path)
        if inode is not None:
            found.append(self.by_inode.get(inode))
        return [owner for owner in found if owner is not None]


@dataclass(frozen=True)
class ReadFile:
    """A file the conversion reads besides the inputs: `what` says how a
    message names it."""
    path: Path
    what: str
    order: int = 0


def check(jobs, templates=()):
    """Refuses two inputs writing one file, an output replacing an input or
    a template the conversion reads (`templates`: ReadFile), and an output
    that is a symbolic link to nothing or a loop of them."""
    written = {}
    for job in jobs:
        if isinstance(job.target, Descriptor):
            continue
        problem = link_problem(job.target)
        if problem is not None:
            raise PlanError("%s is %s: not writing through it" % (shown(job.target), problem))
        key = os.path.realpath(str(job.target))
        if key in written:
            raise PlanError("%s and %s would both be written to %s" % (
                shown(written[key].name), shown(job.name), shown(job.target)))
        written[key] = job

    read = _FileIndex()
    for order, job in enumerate(jobs):
        if isinstance(job.source, Path):
            read.add(job.source, (order, job))
    for template in templates:
        read.add(template.path, (len(jobs) + template.order, template))
    for job in jobs:
        if isinstance(job.target, Descriptor):
            continue
        owners = read.owners(job.target)
        if not owners:
            continue
        _, owner = min(owners, key=lambda found: found[0])
        if owner is job:
            raise PlanError("the package of %s would replace itself" % shown(job.name))
        if isinstance(owner, Job):
            raise PlanError("the package of %s would replace %s, an input" % (shown(job.name), shown(owner.name)))
        raise PlanError("the package of %s would replace %s" % (shown(job.name), owner.what))


def output_directory(output, output_dir):
    """The directory the command writes into and creates when missing
    (-d DIR, or -o DIR/), or None."""
    if output_dir is not None:
        return Path(output_dir)
    if output is not None and output != DASH and names_a_directory(output) and descriptor_of(output) is None:
        return Path(output)
    return None


def front_matter_templates(sources):
    """The templates Markdown inputs name in their front matter, as files
    the conversion will read."""
    found = []
    for order, source in enumerate(sources):
        if not source.markdown_format:
            continue
        from quillmark_cli.input.markdown.front_matter import front_matter_template
        from quillmark_cli.input.reading import decode_text

        try:
            named = front_matter_template(decode_text(source.read()))
        except InputError:
            continue  # reported when the input is converted
        if named is None:
            continue
        base = source.path.parent if source.path is not None else None
        path = base / named if base is not None else os.path.abspath(named)
        found.append(ReadFile(path, "the template %s that %s names" % (named, source.name), order + 1))
    return found
