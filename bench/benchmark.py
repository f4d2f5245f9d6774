"""Benchmark: the native generator against the same generator in plain Python
and against python-docx's own floor (an empty document created and saved).

    python bench/benchmark.py            # full run, writes bench/results/
    python bench/benchmark.py --quick    # fewer repeats, for a smoke test

The plain-Python generator runs once at 20,000 elements, where it takes
minutes, and not at all on the document of 20,000 distinct links.

Times are CPU time of this process (time.process_time), medians, with wall
time alongside; garbage is collected before each timed call, never inside
it. Timings interleave the candidates within each repeat so that drift in
the machine's speed affects them alike. Peak memory is measured in a fresh
process per candidate and size (the growth of the resident set's high-water
mark over the process's state after imports and building the input).

Besides the sizes: a service loop (500 notices of 10 to 50 elements, one
template, converted one after another as a service would), a template of
30 styles at 10 elements, and the native generator's element path (the
elements given as an iterator, which keeps generate off its package path).
"""

import argparse
import gc
import io
import json
import resource
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import docx  # noqa: E402
from reference_generator import PyQuillmark  # noqa: E402
from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames  # noqa: E402
from tolvek.doc.generator.generate.generators.quillmark import Quillmark  # noqa: E402
from tolvek.doc.generator.generate.models import (  # noqa: E402
    Config, Document, Element, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

SIZES = [10, 100, 1000, 5000, 20000]
REPEATS = {10: 41, 100: 15, 1000: 7, 5000: 5, 20000: 3}
QUICK_REPEATS = {10: 5, 100: 3, 1000: 1, 5000: 1, 20000: 1}
# The plain-Python generator grows with the square of the size (python-docx's
# searches); at the largest size it runs once, and its peak memory is not
# measured.
PYTHON_ONCE_FROM = 20000
LINKS = 20000
# What the native generator is expected to reach by size: native / floor,
# and at 5,000 elements CPU milliseconds.
FLOOR_TARGETS = {10: 0.05, 1000: 0.4}
MS_TARGETS = {5000: 20}
SERVICE_NOTICES = 500
SERVICE_TARGET = 2000  # notices per second per core
STYLES30_TARGET = 0.05  # native / floor


def template():
    """Six styles, as an official notice uses them."""
    def style(name, font, size, bold=None, **p):
        p.setdefault("alignment", AlignmentTypes.JUSTIFY)
        return Style(name, Font(font, "000000", size, bold), ParagraphFormat(**p))

    return Template(styles=[
        style(StyleNames.TITLE, "方正小标宋简体", 22, alignment=AlignmentTypes.CENTER, line_spacing=36),
        style(StyleNames.HEADING_1, "黑体", 16, first_line_indent=32, line_spacing=28, keep_with_next=True),
        style(StyleNames.HEADING_2, "楷体_GB2312", 16, True, first_line_indent=32, line_spacing=28),
        style(StyleNames.TEXT, "仿宋_GB2312", 16, first_line_indent=32, line_spacing=28),
        style(StyleName("落款"), "仿宋_GB2312", 16, alignment=AlignmentTypes.RIGHT, line_spacing=28),
        style(StyleName("Quote Text"), "楷体_GB2312", 14, left_indent=32, right_indent=32, line_spacing=24),
    ])


def document(size):
    """About a tenth headers, links in half of the paragraphs, rich runs in a tenth."""
    elements = [Element(ElementTypes.TITLE, "Title", "关于开展年度检查工作的通知")]
    for i in range(1, size):
        if i % 10 == 0:
            level = 1 if i % 20 == 0 else 2
            elements.append(Element(ElementTypes.HEADER, "Heading %d" % level, "第%d部分" % i, level=level))
        elif i % 10 == 5:
            elements.append(Element(ElementTypes.PARAGRAPH, "正文", runs=[
                Run("请于", None), Run("12月31日前", True, None, True), Run("完成报送。", italic=True)]))
        elif i % 2:
            elements.append(Element(ElementTypes.PARAGRAPH, "正文",
                                    "第%d条：详见[附件%d🔗](https://example.gov.cn/a/%d.pdf)，并按[要求](https://"
                                    "example.gov.cn/req?id=%d&x=1)执行。" % (i, i, i, i)))
        else:
            elements.append(Element(ElementTypes.PARAGRAPH, "正文", "第%d条：各单位应当认真组织，确保工作落实到位。" % i))
    return Document(elements)


def links_document(count):
    """One link per paragraph, every target distinct."""
    return Document([Element(ElementTypes.PARAGRAPH, "正文", "见[附件%d](https://example.gov.cn/f/%d.pdf)。" % (i, i))
                     for i in range(count)])


def floor(_document, _template):
    out = io.BytesIO()
    docx.Document().save(out)
    return out.getvalue()


CANDIDATES = {
    "native": lambda d, t: Quillmark(Config(markdown=True)).generate(d, t),
    "python": lambda d, t: PyQuillmark(Config(markdown=True)).generate(d, t),
    "floor": floor,
    # The same native generator, its package path left aside.
    "element path": lambda d, t: Quillmark(Config(markdown=True)).generate(Document(iter(d.elements)), t),
}


def timed(run, *args):
    """(CPU seconds, wall seconds) of one call."""
    gc.collect()  # nobody pays for another candidate's garbage
    cpu, wall = time.process_time(), time.perf_counter()
    run(*args)
    return time.process_time() - cpu, time.perf_counter() - wall


def peak_memory_kib(candidate, size):
    """Run in a child process: the peak growth of its resident set for one call."""
    out = subprocess.run([sys.executable, __file__, "--child-memory", candidate, str(size)], capture_output=True,
                         text=True, check=True)
    return int(out.stdout.strip())


def peak_resident_kib():
    """This process's own resident-set high-water mark. (ru_maxrss will not
    do: Linux carries it over from the parent across fork and exec.)"""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def child_memory(candidate, size):
    d, t = document(size), template()
    base = peak_resident_kib()  # after imports and the input
    CANDIDATES[candidate](d, t)
    print(peak_resident_kib() - base)


def measure(sizes, repeats):
    rows = []
    for size in sizes:
        d, t = document(size), template()
        once = size >= PYTHON_ONCE_FROM
        times = {name: [] for name in CANDIDATES}
        for name, run in CANDIDATES.items():
            if not (once and name == "python"):
                run(d, t)  # warm up
        for repeat in range(repeats[size]):
            for name, run in CANDIDATES.items():
                if once and name == "python" and repeat > 0:
                    continue
                times[name].append(timed(run, d, t))
        row = {"size": size, "repeats": repeats[size]}
        for name in CANDIDATES:
            cpu = statistics.median(c for c, _ in times[name])
            wall = statistics.median(w for _, w in times[name])
            row[name] = {"median_s": cpu, "wall_s": wall, "per_element_us": cpu / size * 1e6,
                         "peak_kib": None if (once and name == "python") or name == "element path"
                         else peak_memory_kib(name, size)}
        row["ratio"] = row["native"]["median_s"] / row["python"]["median_s"]
        row["floor_ratio"] = row["native"]["median_s"] / row["floor"]["median_s"]
        rows.append(row)
        print("%5d elements: native %.4f s, element path %.4f s, python %.4f s, floor %.4f s (CPU)" % (
            size, row["native"]["median_s"], row["element path"]["median_s"], row["python"]["median_s"],
            row["floor"]["median_s"]), file=sys.stderr)
    return rows


def service_notices(count, seed=9704):
    """Notices of 10 to 50 elements, as a service receives them."""
    import random

    chance = random.Random(seed)
    return [document(chance.randint(10, 50)) for _ in range(count)]


def measure_service(repeats):
    """Notices per second per core (CPU time), one template for all."""
    notices, t = service_notices(SERVICE_NOTICES), template()
    generator = Quillmark(Config(markdown=True))
    row = {}
    for name, run in (("native", lambda d: generator.generate(d, t)),
                      ("element path", lambda d: generator.generate(Document(iter(d.elements)), t))):
        run(notices[0])
        cpu = []
        for _ in range(repeats):
            gc.collect()
            start = time.process_time()
            for notice in notices:
                run(notice)
            cpu.append(time.process_time() - start)
        row[name] = len(notices) / statistics.median(cpu)
    return row


def styles30_template():
    def style(i):
        return Style(StyleName("样式%d" % i), Font("仿宋_GB2312", "000000", 10 + i % 7, bool(i % 2) or None),
                     ParagraphFormat(alignment=AlignmentTypes.JUSTIFY, line_spacing=12 + i, first_line_indent=i))

    return Template(styles=template().styles + [style(i) for i in range(24)])


def measure_styles30(repeats):
    d, t = document(10), styles30_template()
    row = {}
    for name in ("native", "floor", "element path"):
        CANDIDATES[name](d, t)
        row[name] = statistics.median(timed(CANDIDATES[name], d, t)[0] for _ in range(repeats))
    row["floor_ratio"] = row["native"] / row["floor"]
    return row


def measure_links(count, repeats):
    """The native modules on one document of `count` distinct links (the
    plain-Python generator is left out: its relationship search makes this
    take many minutes)."""
    d, t = links_document(count), template()
    CANDIDATES["native"](d, t)
    times = []
    for _ in range(repeats):
        times.append(timed(CANDIDATES["native"], d, t)[0])
    median = statistics.median(times)
    return {"links": count, "median_s": median, "per_link_us": median / count * 1e6}


def measure_own_code(size, repeats):
    """The generators' own work: both run against a python-docx that does nothing."""
    import null_docx
    import reference_generator
    from tolvek.doc.generator.generate.generators import quillmark

    d, t = document(size), template()
    restores = [null_docx.install(quillmark), null_docx.install(reference_generator)]
    try:
        times = {"native": [], "python": []}
        for _ in range(repeats):
            for name in times:
                times[name].append(timed(CANDIDATES[name], d, t)[0])
    finally:
        for restore in restores:
            restore()
    row = {name: statistics.median(values) / size * 1e6 for name, values in times.items()}
    row["ratio"] = row["native"] / row["python"]
    return row


def table(rows):
    lines = [
        "| elements | native ms/doc | element path ms/doc | python ms/doc | floor ms/doc | native µs/element "
        "| native / floor | native / python | peak MiB native | peak MiB python |",
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for r in rows:
        python_peak = r["python"]["peak_kib"]
        target = FLOOR_TARGETS.get(r["size"])
        ms_target = MS_TARGETS.get(r["size"])
        lines.append("| %d | %.2f%s | %.1f | %.1f | %.1f | %.2f | %.4f%s | %.5f | %.1f | %s |" % (
            r["size"], r["native"]["median_s"] * 1e3, " (target ≤ %d)" % ms_target if ms_target else "",
            r["element path"]["median_s"] * 1e3, r["python"]["median_s"] * 1e3, r["floor"]["median_s"] * 1e3,
            r["native"]["per_element_us"], r["floor_ratio"], " (target ≤ %g)" % target if target else "",
            r["ratio"], r["native"]["peak_kib"] / 1024,
            "%.1f" % (python_peak / 1024) if python_peak is not None else "–"))
    return "\n".join(lines)


def plot(rows, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sizes = [r["size"] for r in rows]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for name, label in (("native", "native modules"), ("element path", "native, element path"),
                        ("python", "plain Python")):
        ax.plot(sizes, [r[name]["per_element_us"] for r in rows], marker="o", label=label)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("elements per document")
    ax.set_ylabel("median CPU time per element (µs)")
    ax.set_title("quillmark: time per element (python-docx %s, Python %s)" % (
        docx.__version__ if hasattr(docx, "__version__") else "", "%d.%d" % sys.version_info[:2]))
    ax.plot(sizes, [r["floor"]["median_s"] / r["size"] * 1e6 for r in rows], linestyle=":", color="grey",
            label="python-docx floor (empty document)")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(str(path), dpi=110)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--sizes", type=int, nargs="*", default=SIZES)
    parser.add_argument("--out", type=Path, default=HERE / "results")
    parser.add_argument("--child-memory", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child_memory:
        child_memory(args.child_memory[0], int(args.child_memory[1]))
        return
    rows = measure(args.sizes, QUICK_REPEATS if args.quick else REPEATS)
    service = measure_service(1 if args.quick else 5)
    service_line = ("Service loop, %d notices of 10-50 elements: native %.0f notices per second per core "
                    "(target ≥ %d), element path %.0f" % (SERVICE_NOTICES, service["native"], SERVICE_TARGET,
                                                        service["element path"]))
    styles30 = measure_styles30(5 if args.quick else 31)
    styles30_line = ("30-style template, 10 elements: native %.2f ms, floor %.1f ms, native / floor %.4f "
                     "(target ≤ %g); element path %.1f ms" % (
                         styles30["native"] * 1e3, styles30["floor"] * 1e3, styles30["floor_ratio"],
                         STYLES30_TARGET, styles30["element path"] * 1e3))
    links = measure_links(LINKS, 1 if args.quick else 3)
    links_line = ("One document of %d distinct links: native %.0f ms, %.1f µs per link" % (
        links["links"], links["median_s"] * 1e3, links["per_link_us"]))
    own = measure_own_code(1000, 5 if args.quick else 31)
    own_line = ("Own code only (python-docx replaced by no-op objects), 1000 elements: native %.2f µs/element, "
                "plain Python %.2f µs/element, ratio %.3f" % (own["native"], own["python"], own["ratio"]))
    args.out.mkdir(parents=True, exist_ok=True)
    (args.out / "results.json").write_text(json.dumps({
        "python": sys.version.split()[0], "python_docx": docx.__version__, "end_to_end": rows,
        "service": service, "styles30": styles30, "links": links, "own_code": own}, indent=2))
    lines = [table(rows), service_line, styles30_line, links_line, own_line]
    (args.out / "results.md").write_text("\n\n".join(lines) + "\n")
    plot(rows, args.out / "time_per_element.png")
    print("\n\n".join(lines))


if __name__ == "__main__":
    main()
