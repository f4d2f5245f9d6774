"""Benchmark: the native generator against the same generator in plain Python
and against python-docx's own floor (an empty document created and saved).

    python bench/benchmark.py            # full run, writes bench/results/
    python bench/benchmark.py --quick    # fewer repeats, for a smoke test

The plain-Python generator runs once at 20,000 elements, where it takes
minutes, and not at all on the document of 20,000 distinct links.

Timings interleave the three candidates within each repeat so that drift in
the machine's speed affects them alike. Peak memory is measured in a fresh
process per candidate and size (the growth of the resident set's high-water
mark over the process's state after imports and building the input).
"""

import argparse
import gc
import io
import json
import os
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
# What the direct path is expected to reach, native / python, by size.
TARGETS = {10: 0.5, 100: 0.12, 1000: 0.03, 5000: 0.015}


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
}


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
                gc.collect()  # nobody pays for another candidate's garbage
                start = time.perf_counter()
                run(d, t)
                times[name].append(time.perf_counter() - start)
        row = {"size": size, "repeats": repeats[size]}
        for name in CANDIDATES:
            median = statistics.median(times[name])
            row[name] = {"median_s": median, "per_element_us": median / size * 1e6,
                         "peak_kib": None if once and name == "python" else peak_memory_kib(name, size)}
        row["ratio"] = row["native"]["median_s"] / row["python"]["median_s"]
        rows.append(row)
        print("%5d elements: native %.4f s, python %.4f s, floor %.4f s, ratio %.4f" % (
            size, row["native"]["median_s"], row["python"]["median_s"], row["floor"]["median_s"], row["ratio"]),
            file=sys.stderr)
    return rows


def measure_links(count, repeats):
    """The native modules on one document of `count` distinct links (the
    plain-Python generator is left out: its relationship search makes this
    take many minutes)."""
    d, t = links_document(count), template()
    CANDIDATES["native"](d, t)
    times = []
    for _ in range(repeats):
        gc.collect()
        start = time.perf_counter()
        CANDIDATES["native"](d, t)
        times.append(time.perf_counter() - start)
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
                gc.collect()
                start = time.perf_counter()
                CANDIDATES[name](d, t)
                times[name].append(time.perf_counter() - start)
    finally:
        for restore in restores:
            restore()
    row = {name: statistics.median(values) / size * 1e6 for name, values in times.items()}
    row["ratio"] = row["native"] / row["python"]
    return row


def table(rows):
    lines = [
        "| elements | native ms/doc | python ms/doc | floor ms/doc | native µs/element | python µs/element "
        "| native / python | peak MiB native | peak MiB python |",
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for r in rows:
        python_peak = r["python"]["peak_kib"]
        target = TARGETS.get(r["size"])
        lines.append("| %d | %.1f | %.1f | %.1f | %.0f | %.0f | %.4f%s | %.1f | %s |" % (
            r["size"], r["native"]["median_s"] * 1e3, r["python"]["median_s"] * 1e3, r["floor"]["median_s"] * 1e3,
            r["native"]["per_element_us"], r["python"]["per_element_us"], r["ratio"],
            " (target ≤ %g)" % target if target else "", r["native"]["peak_kib"] / 1024,
            "%.1f" % (python_peak / 1024) if python_peak is not None else "–"))
    return "\n".join(lines)


def plot(rows, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sizes = [r["size"] for r in rows]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for name, label in (("native", "native modules"), ("python", "plain Python")):
        ax.plot(sizes, [r[name]["per_element_us"] for r in rows], marker="o", label=label)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("elements per document")
    ax.set_ylabel("median time per element (µs)")
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
    links = measure_links(LINKS, 1 if args.quick else 3)
    links_line = ("One document of %d distinct links: native %.0f ms, %.1f µs per link" % (
        links["links"], links["median_s"] * 1e3, links["per_link_us"]))
    own = measure_own_code(1000, 5 if args.quick else 31)
    own_line = ("Own code only (python-docx replaced by no-op objects), 1000 elements: native %.2f µs/element, "
                "plain Python %.2f µs/element, ratio %.3f" % (own["native"], own["python"], own["ratio"]))
    args.out.mkdir(parents=True, exist_ok=True)
    (args.out / "results.json").write_text(json.dumps({"end_to_end": rows, "links": links, "own_code": own},
                                                      indent=2))
    (args.out / "results.md").write_text(table(rows) + "\n\n" + links_line + "\n\n" + own_line + "\n")
    plot(rows, args.out / "time_per_element.png")
    print(table(rows))
    print()
    print(links_line)
    print(own_line)


if __name__ == "__main__":
    main()
