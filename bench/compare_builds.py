"""Two builds of the modules side by side: the same workloads, in CPU time,
each build in processes of its own, interleaved so that drift in the
machine's speed affects them alike.

    python bench/compare_builds.py .venv/py3.11/bin/python .venv/wheel-py3.11/bin/python

The first interpreter's build is the baseline; the table gives each other
build's time as a ratio of it.
"""

import argparse
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent

# workload: (calls timed in one child, what it is)
WORKLOADS = {
    "notice": (40, "examples/notice.json"),
    "1000 elements": (5, "the benchmark's notice shape, 1,000 elements"),
    "own code": (5, "1,000 elements against a python-docx that does nothing"),
}


def child(workload):
    sys.path.insert(0, str(HERE))
    from benchmark import document, template
    from tolvek.doc.generator.generate.generators import quillmark
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark
    from tolvek.doc.generator.generate.models import Config

    restore = None
    if workload == "notice":
        from quillmark_cli.input.loading import load_input

        config, doc, templ = load_input(ROOT / "examples" / "notice.json")[:3]
    else:
        config, doc, templ = Config(markdown=True), document(1000), template()
        if workload == "own code":
            import null_docx

            restore = null_docx.install(quillmark)
    generator = Quillmark(config)
    generator.generate(doc, templ)  # warm up
    calls = WORKLOADS[workload][0]
    start = time.process_time()
    for _ in range(calls):
        generator.generate(doc, templ)
    print((time.process_time() - start) / calls)
    if restore is not None:
        restore()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("pythons", nargs="*", help="interpreters whose environments hold the builds to compare")
    parser.add_argument("--repeats", type=int, default=9)
    parser.add_argument("--child", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child)
        return
    times = {(python, workload): [] for python in args.pythons for workload in WORKLOADS}
    for _ in range(args.repeats):
        for workload in WORKLOADS:
            for python in args.pythons:
                out = subprocess.run([python, __file__, "--child", workload], capture_output=True, text=True,
                                     check=True, cwd=str(ROOT))
                times[(python, workload)].append(float(out.stdout))
    print("| workload | " + " | ".join("%s ms" % p for p in args.pythons) + " | " +
          " | ".join("%s / first" % p for p in args.pythons[1:]) + " |")
    print("|---|" + "---:|" * (2 * len(args.pythons) - 1))
    for workload in WORKLOADS:
        medians = [statistics.median(times[(p, workload)]) for p in args.pythons]
        ratios = ["%.3f" % (m / medians[0]) for m in medians[1:]]
        print("| %s | %s | %s |" % (workload, " | ".join("%.2f" % (m * 1e3) for m in medians), " | ".join(ratios)))


if __name__ == "__main__":
    main()
