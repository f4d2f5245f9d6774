"""Benchmark: official documents, from the command's steps in process to
whole processes and batches, each beside pandoc on the same Markdown where
pandoc is installed, measured in the same run.

    python bench/official.py              # full run, writes bench/results/official.json
    python bench/official.py --quick      # fewer notices and repeats, for a smoke test

1. In process, CPU time per official notice (medians): describing the input
   (Markdown or JSON), loading it, generating the package with the plain
   generator, laying it out (the byte layout), and generate + layout
   together, for examples/notice.md and examples/notice.json.
2. Whole processes: one notice converted by `quillmark` and by `pandoc`
   (wall time, medians of repeated runs).
3. Batches: N distinct official notices (the example notice with its text
   varied), `quillmark -j 1` and `-j 2` on all of them in one run, against
   pandoc converting each in a loop (wall and CPU time of the processes).

Figures are ratios against pandoc's in the same run; no figure is a test.
"""

import argparse
import gc
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"
RESULTS = Path(__file__).resolve().parent / "results"


def cpu_median(step, repeats):
    """Median CPU milliseconds of `step()`, garbage collected before each
    call, never inside it."""
    step()
    times = []
    for _ in range(repeats):
        gc.collect()
        gc.disable()
        start = time.process_time()
        step()
        times.append(time.process_time() - start)
        gc.enable()
    return statistics.median(times) * 1000


def in_process(repeats):
    from tolvek.doc.generator.generate.generators.quillmark import Quillmark

    from quillmark_cli.conversion import Source, describe
    from quillmark_cli.input.loading import load_description
    from quillmark_cli.official.layout import lay_out
    from quillmark_cli.official.roles import styles_of

    figures = {}
    for name in ("notice.md", "notice.json"):
        source = Source(EXAMPLES / name, None, name.endswith(".md"), name)
        described = describe(source)[0]
        loaded = load_description(described)
        styles = styles_of(loaded.document)
        plain = Quillmark(loaded.config).generate(loaded.document, loaded.template).data

        def both():
            data = Quillmark(loaded.config).generate(loaded.document, loaded.template).data
            return lay_out(data, loaded.page, loaded.official, styles)

        figures[name] = {
            "describe_ms": cpu_median(lambda: describe(source), repeats),
            "load_ms": cpu_median(lambda: load_description(described), repeats),
            "generate_ms": cpu_median(lambda: Quillmark(loaded.config).generate(loaded.document, loaded.template),
                                      repeats),
            "lay_out_ms": cpu_median(lambda: lay_out(plain, loaded.page, loaded.official, styles), repeats),
            "generate_and_lay_out_ms": cpu_median(both, repeats),
        }
    return figures


def timed(command, cwd):
    """(wall seconds, CPU seconds of the children) of one run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, cwd=str(cwd), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def notices(folder, count):
    """`count` distinct official notices in Markdown: the example notice with
    its title and text varied by number."""
    text = (EXAMPLES / "notice.md").read_text(encoding="utf-8")
    folder.mkdir()
    for number in range(count):
        varied = text.replace("2026年度安全生产检查", "2026年度第%d批安全生产检查" % number).replace(
            "确保检查工作取得实效", "确保第%d项检查工作取得实效" % number)
        (folder / ("notice-%04d.md" % number)).write_text(varied, encoding="utf-8")
    return sorted(folder.iterdir())


def whole_processes(quillmark, pandoc, count, repeats):
    figures = {}
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        shutil.copy(str(EXAMPLES / "notice.md"), str(work / "notice.md"))
        runs = {"quillmark": [quillmark, "notice.md", "-o", "q.docx"]}
        if pandoc:
            runs["pandoc"] = [pandoc, "notice.md", "-o", "p.docx"]
        single = {name: [] for name in runs}
        for _ in range(repeats):
            for name, command in runs.items():  # interleaved, so that drift hits both alike
                single[name].append(timed(command, work)[0])
        figures["one_notice_wall_s"] = {name: statistics.median(times) for name, times in single.items()}

        inputs = notices(work / "in", count)
        batch = {}
        for jobs in (1, 2):
            out = work / ("out-j%d" % jobs)
            wall, cpu = timed([quillmark, "-j", str(jobs), "-d", str(out)] + [str(p) for p in inputs], work)
            batch["quillmark -j %d" % jobs] = {"wall_s": wall, "cpu_s": cpu, "per_second": count / wall}
        if pandoc:
            out = work / "out-pandoc"
            out.mkdir()
            start, cpu = time.perf_counter(), 0.0
            for path in inputs:
                cpu += timed([pandoc, str(path), "-o", str(out / (path.stem + ".docx"))], work)[1]
            wall = time.perf_counter() - start
            batch["pandoc loop"] = {"wall_s": wall, "cpu_s": cpu, "per_second": count / wall}
        figures["batch_of_%d" % count] = batch
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="fewer notices and repeats")
    parser.add_argument("--notices", type=int, default=None, help="notices in the batch (default 1000)")
    args = parser.parse_args()
    repeats = 20 if args.quick else 200
    count = args.notices or (50 if args.quick else 1000)
    quillmark = shutil.which("quillmark") or str(Path(sys.executable).with_name("quillmark"))
    pandoc = shutil.which("pandoc")

    results = {"python": sys.version.split()[0], "cpus": os.cpu_count(), "load_before": os.getloadavg(),
               "in_process": in_process(repeats)}
    results.update(whole_processes(quillmark, pandoc, count, 5 if args.quick else 21))
    one = results["one_notice_wall_s"]
    batch = results["batch_of_%d" % count]
    ratios = {"generate_and_lay_out_ms (notice.md)": results["in_process"]["notice.md"]["generate_and_lay_out_ms"]}
    if pandoc:
        ratios["one notice: quillmark / pandoc wall"] = one["quillmark"] / one["pandoc"]
        ratios["batch -j 1: quillmark / pandoc loop wall"] = batch["quillmark -j 1"]["wall_s"] / batch["pandoc loop"]["wall_s"]
    ratios["batch -j 1: notices per CPU second"] = count / batch["quillmark -j 1"]["cpu_s"]
    ratios["batch: -j 2 rate / -j 1 rate"] = batch["quillmark -j 2"]["per_second"] / batch["quillmark -j 1"]["per_second"]
    results["ratios"] = ratios
    results["load_after"] = os.getloadavg()
    RESULTS.mkdir(exist_ok=True)
    (RESULTS / "official.json").write_text(json.dumps(results, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    print(json.dumps(results, indent=2, ensure_ascii=False))


if __name__ == "__main__":
    main()
