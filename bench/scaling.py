"""How the scans that hostile input can stretch grow with their input: the
generator's Markdown link scan on long bracket-heavy paragraphs, and the
command's collision check on large batches.

    python bench/scaling.py            # writes bench/results/scaling.{json,md}
    python bench/scaling.py --quick

The plain-Python generator (bench/reference_generator.py) scans with the
regular expression itself, as the native modules did before their linear
scanner; it runs only at the smaller sizes, where it already takes seconds.
"""

import argparse
import json
import os
import statistics
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from reference_generator import PyQuillmark  # noqa: E402
from tolvek.doc.generator.core.enums import ElementTypes  # noqa: E402
from tolvek.doc.generator.generate.generators.quillmark import Quillmark  # noqa: E402
from tolvek.doc.generator.generate.models import Config, Document, Element  # noqa: E402

from benchmark import template  # noqa: E402

LENGTHS = [10000, 40000, 100000, 400000, 1000000]
REGEX_UP_TO = 40000
# Paragraph texts that a backtracking link pattern takes long over.
SHAPES = {
    "[ repeated": lambda n: "[" * n,
    "[a]( repeated": lambda n: "[a](" * (n // 4),
    "[a] repeated": lambda n: "[a]" * (n // 3),
}
BATCHES = [1000, 2000, 5000, 10000]


def seconds(function, repeats):
    times = []
    for _ in range(repeats):
        start = time.process_time()
        function()
        times.append(time.process_time() - start)
    return statistics.median(times)


def link_scan(lengths, repeats):
    rows = []
    for shape, make in SHAPES.items():
        for length in lengths:
            document = Document([Element(ElementTypes.PARAGRAPH, "正文", make(length))])
            row = {"shape": shape, "characters": length,
                   "native_s": seconds(lambda: Quillmark(Config(markdown=True)).generate(document, template()),
                                       repeats)}
            if length <= REGEX_UP_TO:
                row["regex_s"] = seconds(lambda: PyQuillmark(Config(markdown=True)).generate(document, template()), 1)
            rows.append(row)
            print("%-14s %8d characters: native %.3f s%s" % (
                shape, length, row["native_s"], ", regex %.3f s" % row["regex_s"] if "regex_s" in row else ""),
                file=sys.stderr)
    return rows


def collision_check(batches, repeats):
    from quillmark_cli.planning import check, plan

    rows = []
    with tempfile.TemporaryDirectory() as directory:
        for size in batches:
            names = []
            for i in range(size):
                name = os.path.join(directory, "in%05d.json" % i)
                if not os.path.exists(name):
                    open(name, "w").close()
                names.append(name)
            taken = seconds(lambda: check(plan(names, None, os.path.join(directory, "out"), None)), repeats)
            rows.append({"inputs": size, "seconds": taken, "per_input_us": taken / size * 1e6})
            print("%6d inputs: %.3f s" % (size, taken), file=sys.stderr)
    return rows


def tables(scan, batches):
    lines = ["| text | characters | native s | regular expression s |", "|---|---:|---:|---:|"]
    for row in scan:
        regex = "%.2f" % row["regex_s"] if "regex_s" in row else "–"
        lines.append("| %s | %d | %.3f | %s |" % (row["shape"], row["characters"], row["native_s"], regex))
    lines += ["", "| inputs | collision check s | µs per input |", "|---:|---:|---:|"]
    for row in batches:
        lines.append("| %d | %.3f | %.0f |" % (row["inputs"], row["seconds"], row["per_input_us"]))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--out", type=Path, default=HERE / "results")
    args = parser.parse_args()
    scan = link_scan(LENGTHS[:3] if args.quick else LENGTHS, 1 if args.quick else 3)
    batches = collision_check(BATCHES[:2] if args.quick else BATCHES, 1 if args.quick else 3)
    args.out.mkdir(parents=True, exist_ok=True)
    (args.out / "scaling.json").write_text(json.dumps({"link_scan": scan, "collision_check": batches}, indent=2))
    text = tables(scan, batches)
    (args.out / "scaling.md").write_text(text + "\n")
    print(text)


if __name__ == "__main__":
    main()
