"""Where a conversion spends its time inside python-docx: a cProfile of one
generate() call, grouped into the library operations that dominate.

    python bench/profile_docx.py [ELEMENTS]
"""

import cProfile
import pstats
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from benchmark import document, template  # noqa: E402
from tolvek.doc.generator.generate.generators.quillmark import Quillmark  # noqa: E402
from tolvek.doc.generator.generate.models import Config  # noqa: E402

# (label, file suffix, function name): cumulative time of these entry points.
OPERATIONS = [
    ("style lookups: default style search (styles.py default_for)", "docx/oxml/styles.py", "default_for"),
    ("style lookups: by name (styles.py get_by_name)", "docx/oxml/styles.py", "get_by_name"),
    ("hyperlink relationships, searched (rel.py get_or_add_ext_rel)", "docx/opc/rel.py", "get_or_add_ext_rel"),
    ("hyperlink relationships, added (rel.py add_relationship)", "docx/opc/rel.py", "add_relationship"),
    ("element layer get-or-add children (xmlchemy.py get_or_add_child)", "docx/oxml/xmlchemy.py",
     "get_or_add_child"),
    ("serialising the package (document.py save)", "docx/document.py", "save"),
    ("opening the default template (api.py Document)", "docx/api.py", "Document"),
]


def main():
    size = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    generator, d, t = Quillmark(Config(markdown=True)), document(size), template()
    generator.generate(document(10), t)  # warm imports
    profile = cProfile.Profile()
    start = time.perf_counter()
    profile.enable()
    generator.generate(d, t)
    profile.disable()
    wall = time.perf_counter() - start
    stats = pstats.Stats(profile).stats
    total = sum(tt for (_, _, tt, _, _) in stats.values())
    print("%d elements: %.2f s under the profiler" % (size, total))
    for label, suffix, function in OPERATIONS:
        cumulative = sum(ct for (path, _, name), (_, _, _, ct, _) in stats.items()
                         if path.endswith(suffix) and name == function)
        print("  %5.1f%%  %s" % (100 * cumulative / total, label))
    # The native generate() itself, its own code and the lxml calls it makes
    # directly (copying and inserting elements), is no function the profiler
    # records: it is what the recorded functions leave of the wall time.
    print("  %5.1f%%  %s" % (100 * max(0.0, wall - total) / wall,
                             "the native code and the lxml calls it makes itself (of the wall time)"))


if __name__ == "__main__":
    main()
