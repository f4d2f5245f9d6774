"""PDF output measured as people use it: the command, a whole process,
rendering a batch of distinct official notices (examples/notice.md with its
title, number and body varied) with -j 1 and with -j 2, and one notice
alone; wall time and the CPU time of the command and its children
(LibreOffice included), medians of the runs, in one run of this script.
The figure that matters is the rate with -j 2 against the rate with -j 1.

    python bench/pdf_batch.py [--count 200] [--runs 3]

pandoc is not beside these figures: it writes PDF only through a LaTeX
engine, which is a different job from rendering the .docx the command
writes.
"""

import argparse
import os
import platform
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
NOTICE = (ROOT / "examples" / "notice.md").read_text(encoding="utf-8")


def notices(directory, count):
    """`count` distinct notices in `directory`; their paths."""
    paths = []
    for number in range(1, count + 1):
        text = NOTICE.replace("2026〕12号", "2026〕%d号" % number)
        text = text.replace("关于开展2026年度安全生产检查工作的通知", "关于开展第%d批安全生产检查工作的通知" % number)
        text = text.replace("各区县应急管理局，各有关企业：", "各区县应急管理局，各有关企业（第%d组）：" % number)
        path = directory / ("notice-%04d.md" % number)
        path.write_text(text, encoding="utf-8")
        paths.append(path)
    return paths


def timed(argv, cwd):
    """(wall seconds, CPU seconds of the process and its children)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(argv, cwd=str(cwd), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(map(str, argv)), done.stderr))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def _load():
    """The one-minute load average: on a machine shared with other work,
    the figures hold only beside it (two processes get less than twice the
    CPU of one when others want it too)."""
    return "%.1f" % os.getloadavg()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--count", type=int, default=200, help="notices in the batch (default 200)")
    parser.add_argument("--runs", type=int, default=3, help="runs of each measurement (default 3)")
    args = parser.parse_args()
    if shutil.which("soffice") is None and shutil.which("libreoffice") is None:
        raise SystemExit("LibreOffice is not installed")
    command = [sys.executable, "-m", "quillmark_cli"]
    load_before = _load()
    with tempfile.TemporaryDirectory(prefix="pdf-batch-") as work:
        work = Path(work)
        inputs = notices(work, args.count)
        results = {}
        # The measurements alternate, so that a change in the machine's load
        # falls on both alike.
        for run in range(args.runs):
            for jobs in (1, 2):
                out = work / ("out-%d-%d" % (jobs, run))
                wall, cpu = timed(command + [*map(str, inputs), "--to", "pdf", "-d", str(out), "-j", str(jobs)],
                                  work)
                assert len(os.listdir(str(out))) == args.count
                results.setdefault(jobs, []).append((wall, cpu))
                shutil.rmtree(str(out))
            single = timed(command + [str(inputs[0]), "-o", str(work / "one.pdf")], work)
            results.setdefault("one", []).append(single)
    print("PDF batches: %d distinct notices, Python %s, %d CPUs, %d runs (medians); load average %s before, "
          "%s after\n" % (args.count, platform.python_version(), os.cpu_count(), args.runs, load_before,
                           _load()))
    print("| run | wall s | CPU s | notices/s (wall) | rate / -j 1 |")
    print("|---|---:|---:|---:|---:|")
    base = None
    for jobs in (1, 2):
        wall = statistics.median(w for w, _ in results[jobs])
        cpu = statistics.median(c for _, c in results[jobs])
        rate = args.count / wall
        base = base or rate
        print("| %d notices, -j %d | %.1f | %.1f | %.2f | %.2f |" % (args.count, jobs, wall, cpu, rate, rate / base))
    wall = statistics.median(w for w, _ in results["one"])
    cpu = statistics.median(c for _, c in results["one"])
    print("| one notice | %.2f | %.2f | – | – |" % (wall, cpu))
    per_notice = {jobs: statistics.median(c for _, c in results[jobs]) / args.count for jobs in (1, 2)}
    print("\nCPU per notice: %.3f s with -j 1, %.3f s with -j 2" % (per_notice[1], per_notice[2]))
    print("wall seconds of each run: -j 1 %s; -j 2 %s" % ([round(w, 1) for w, _ in results[1]],
                                                         [round(w, 1) for w, _ in results[2]]))


if __name__ == "__main__":
    main()
