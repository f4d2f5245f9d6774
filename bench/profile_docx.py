"""Where a conversion spends its time inside python-docx: a cProfile of one
generate() call, grouped into the library operations that dominate.

    python bench/profile_docx.py [ELEMENTS]
"""

import cProfile
import pstats
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from benchmark import document, template  # noqa: E402
from tolvek.doc.generator.generate.generators.quillmark import Quillmark  # noqa: E402
from tolvek.doc.generator.generate.models import Config  # noqa: E402

# (label, file suffix, function name): cumulative time of these entry points.
OPERATIONS = [
    ("style lookups: default style search (styles.py default_for)", "docx/oxml/styles.py", "default_for"),
    ("style lookups: by name (styles.py get_by_name)", "docx/oxml/styles.py", "get_by_name"),
    ("hyperlink relationships (rel.py get_or_add_ext_rel)", "docx/opc/rel.py", "get_or_add_ext_rel"),
    ("serialising the package (document.py save)", "docx/document.py", "save"),
    ("opening the default template (api.py Document)", "docx/api.py", "Document"),
]


def main():
    size = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    generator, d, t = Quillmark(Config(markdown=True)), document(size), template()
    generator.generate(document(10), t)  # warm imports
    profile = cProfile.Profile()
    profile.enable()
    generator.generate(d, t)
    profile.disable()
    stats = pstats.Stats(profile).stats
    total = sum(tt for (_, _, tt, _, _) in stats.values())
    print("%d elements: %.2f s under the profiler" % (size, total))
    for label, suffix, function in OPERATIONS:
        cumulative = sum(ct for (path, _, name), (_, _, _, ct, _) in stats.items()
                         if path.endswith(suffix) and name == function)
        print("  %5.1f%%  %s" % (100 * cumulative / total, label))


if __name__ == "__main__":
    main()
