"""What one notice costs the quillmark command, step by step, and as a whole
process beside pandoc.

    python bench/command_cost.py            # full run
    python bench/command_cost.py --quick    # fewer repeats, for a smoke test

In process, CPU time (time.process_time) of each step the command takes for
one input, medians over distinct copies of examples/notice.md and
examples/notice.json (each with a document number of its own, as in a
batch of notices, so that nothing one copy leaves behind serves the next):

- plan: what the command reads before converting: for Markdown, the
  template the front matter names;
- describe: the file read and turned into the JSON description (JSON
  parsed, or Markdown converted with its front matter read);
- load: the description checked and made into the generator's model;
- generate: the plain generator's package;
- lay out: the official layout on the package's bytes;
- write: the package written to its file (atomically, as the command does).

Garbage is collected before each repeat, never inside one; the steps of one
repeat run one after another, as in the command. Then, as whole processes
(wall time, medians): the interpreter alone (`python -c pass`), the command
on one notice, and pandoc on the same Markdown where pandoc is installed,
each run interleaved with the others so that drift in the machine affects
them alike; and the command's imports for one Markdown notice
(`python -X importtime`), the largest first.
"""

import argparse
import gc
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"
STEPS = ("plan", "describe", "load", "generate", "lay out", "write")
NUMBER = "某应急〔2026〕12号"


def copies(path, count, directory):
    """`count` copies of the example `path`, each with a document number of
    its own."""
    text = path.read_text(encoding="utf-8")
    assert NUMBER in text
    made = []
    for index in range(count):
        copy = directory / ("%s-%04d%s" % (path.stem, index, path.suffix))
        copy.write_text(text.replace(NUMBER, "某应急〔2026〕%d号" % (index + 1)), encoding="utf-8")
        made.append(copy)
    return made


def step_times(path, repeats, directory):
    """{step: median CPU milliseconds} for converting copies of `path` in
    this process, as a batch does."""
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark

    from quillmark_cli.conversion import Source, describe, load
    from quillmark_cli.official.layout import lay_out
    from quillmark_cli.output.writing import write_package
    from quillmark_cli.planning import front_matter_templates

    times = {step: [] for step in STEPS}
    for index, copy in enumerate(copies(path, repeats + 3, directory)):  # the first three warm up
        source = Source(copy, None, path.suffix == ".md", copy.name)
        target = directory / (copy.stem + ".docx")
        gc.collect()
        marks = [time.process_time()]
        front_matter_templates([source])
        marks.append(time.process_time())
        description, _ = describe(source, None)
        marks.append(time.process_time())
        loaded = load(source, description, None, None)
        marks.append(time.process_time())
        result = Quillmark(loaded.config).generate(loaded.document, loaded.template)
        marks.append(time.process_time())
        data = lay_out(result.data, loaded.page, loaded.official)
        marks.append(time.process_time())
        write_package(target, data)
        marks.append(time.process_time())
        if index >= 3:
            for step, start, end in zip(STEPS, marks, marks[1:]):
                times[step].append((end - start) * 1000)
    return {step: statistics.median(values) for step, values in times.items()}


def process_times(repeats, directory):
    """{what: median wall milliseconds} of whole processes."""
    notice = EXAMPLES / "notice.md"
    runs = {
        "python -c pass": [sys.executable, "-c", "pass"],
        "quillmark notice.md": [sys.executable, "-m", "quillmark_cli", str(notice), "-o",
                                str(directory / "process.docx")],
        "quillmark notice.json": [sys.executable, "-m", "quillmark_cli", str(EXAMPLES / "notice.json"), "-o",
                                  str(directory / "process-json.docx")],
    }
    pandoc = shutil.which("pandoc")
    if pandoc is not None:
        runs["pandoc notice.md"] = [pandoc, str(notice), "-o", str(directory / "pandoc.docx")]
    times = {what: [] for what in runs}
    for repeat in range(repeats + 1):  # the first run of each warms the file cache
        for what, command in runs.items():
            start = time.perf_counter()
            subprocess.run(command, cwd=str(directory), check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            if repeat:
                times[what].append((time.perf_counter() - start) * 1000)
    return {what: statistics.median(values) for what, values in times.items()}


def largest_imports(count=12):
    """(cumulative milliseconds, module) of the top-level imports that take
    longest when the command converts one Markdown notice."""
    with tempfile.TemporaryDirectory() as directory:
        done = subprocess.run([sys.executable, "-X", "importtime", "-m", "quillmark_cli",
                               str(EXAMPLES / "notice.md"), "-o", os.path.join(directory, "n.docx")],
                              capture_output=True, text=True, check=True)
    found = []
    for line in done.stderr.splitlines():
        if not line.startswith("import time:") or "|" not in line:
            continue
        _, cumulative, name = line[len("import time:"):].split("|")
        name = name[1:]  # nested imports are indented further
        if cumulative.strip().isdigit() and not name.startswith(" "):
            found.append((int(cumulative) / 1000, name))
    return sorted(found, reverse=True)[:count]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="fewer repeats")
    args = parser.parse_args()
    repeats, process_repeats = (20, 3) if args.quick else (200, 15)
    print("Python %s" % sys.version.split()[0])
    with tempfile.TemporaryDirectory() as tmp:
        directory = Path(tmp)
        print("\nIn process, CPU ms per notice (median of %d)" % repeats)
        print("| input | %s | total |" % " | ".join(STEPS))
        print("|---|%s---|" % ("---|" * len(STEPS)))
        for name in ("notice.md", "notice.json"):
            times = step_times(EXAMPLES / name, repeats, directory)
            print("| %s | %s | %.3f |" % (name, " | ".join("%.3f" % times[step] for step in STEPS),
                                          sum(times.values())))
        print("\nWhole processes, wall ms (median of %d)" % process_repeats)
        walls = process_times(process_repeats, directory)
        for what, ms in walls.items():
            print("| %s | %.1f |" % (what, ms))
        if "pandoc notice.md" in walls:
            print("quillmark / pandoc on notice.md: %.2f" % (walls["quillmark notice.md"] / walls["pandoc notice.md"]))
    print("\nLargest imports converting notice.md (cumulative ms, -X importtime)")
    for ms, name in largest_imports():
        print("| %s | %.1f |" % (name, ms))


if __name__ == "__main__":
    main()
