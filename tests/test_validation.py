"""The two validators an input meets agree: a value the compiled validator
(jsonschema-rs) finds valid, the reference validator (jsonschema), whose
messages the command gives, finds valid too, so that skipping the reference
for it changes nothing. Checked on the examples changed at random places
into random values, templates and official mappings among them."""

import copy
import json
from pathlib import Path

from hypothesis import given, settings, strategies as st
from quillmark_cli.input.schema import _validator, surely_valid

from test_robustness import THOROUGH

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"
DESCRIPTIONS = [json.loads((EXAMPLES / name).read_text(encoding="utf-8"))
                for name in ("notice.json", "default.json", "english.json")]

# Values near the schema's edges: its patterns, enums, bounds and steps.
EDGES = st.sampled_from([
    "A4", "A4\n", "a4", "000000", "00aaFF", "#000000", "0000000", "00000g", "000000\n", "2026-12-08",
    "2026年12月8日", "2026-12-08\n", "2026-02-30", "", " ", "left", "justify", "middle", "standard", "center",
    "正文", 0, 1, 1.0, 1.5, -1, 9, 10, 0.5, 16.25, 1638, 1638.5, 1584, -1584, -1584.5, 558.8, 558.9, 200, 201,
    2 ** 63, -(2 ** 63) - 1, 1e308, True, False, None, [], {}, {"width": 210, "height": 297},
    {"width": 9, "height": 297}, {"lines": 22}, {"characters": 0}, [{"text": "x"}], [{"text": 1}],
])
VALUES = st.recursive(st.one_of(EDGES, st.integers(), st.floats(allow_nan=False, allow_infinity=False),
                                st.text(max_size=6), st.booleans(), st.none()),
                      lambda inner: st.one_of(st.lists(inner, max_size=3),
                                              st.dictionaries(st.sampled_from(["text", "type", "name", "size",
                                                                               "paper", "x"]), inner, max_size=3)),
                      max_leaves=6)


def places(value, path=()):
    """The path of every node of a JSON value."""
    yield path
    if isinstance(value, dict):
        for key, item in value.items():
            yield from places(item, path + (key,))
    elif isinstance(value, list):
        for index, item in enumerate(value):
            yield from places(item, path + (index,))


def changed(description, path, value, new_key):
    """`description` with the node at `path` replaced by `value`, or (with
    `new_key`, where the node is an object) given a member of that name."""
    result = copy.deepcopy(description)
    if not path:
        return value
    node = result
    for key in path[:-1]:
        node = node[key]
    if new_key is not None and isinstance(node[path[-1]], dict):
        node[path[-1]][new_key] = value
    else:
        node[path[-1]] = value
    return result


@settings(max_examples=3000 if THOROUGH else 500, deadline=None)
@given(st.data())
def test_what_the_compiled_validator_accepts_the_reference_accepts(data):
    description = data.draw(st.sampled_from(DESCRIPTIONS))
    path = data.draw(st.sampled_from(list(places(description))))
    new_key = data.draw(st.one_of(st.none(), st.sampled_from(["page", "official", "grid", "printed_on", "seal",
                                                              "margins", "paper", "font_size"])))
    value = changed(description, path, data.draw(VALUES), new_key)
    if surely_valid(value):
        assert list(_validator().iter_errors(value)) == []
    for definition, part in (("template", value.get("template") if isinstance(value, dict) else None),
                             ("official", value.get("official") if isinstance(value, dict) else None)):
        if part is not None and surely_valid(part, definition):
            assert list(_validator(definition).iter_errors(part)) == []


def test_the_examples_are_valid_to_both():
    for description in DESCRIPTIONS:
        assert surely_valid(description) and list(_validator().iter_errors(description)) == []
