// The Markdown links of _add_text_content, found in one pass.
//
// The generator compiles \[([^\]]+)\]\(([^)]+)\) with the module's `re` and
// asks the pattern for its matches. A backtracking engine takes time growing
// with the square of the text on a run of "[" without a "]" (40,000 of them
// take seconds). When the compiled pattern is exactly a real re.Pattern of
// that source with the default flags, its matches are fixed by the pattern
// alone, and this scanner finds the very same ones in linear time; any other
// pattern object is asked as before.
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

#include <string_view>
#include <vector>

namespace quillmark {

namespace py = pybind11;

// [link text](target): each part at least one character; the target ends at
// its first closing parenthesis.
inline binding::Name markdown_link{R"(\[([^\]]+)\]\(([^)]+)\))"};

// One match, in code points: the whole link, its text (group 1) and its
// target (group 2).
struct LinkMatch {
  Py_ssize_t start, end;
  Py_ssize_t text_start, text_end;
  Py_ssize_t target_start, target_end;
};

// Captures re.Pattern; run once when the module is executed.
void capture_pattern_type();

// Whether `pattern` is a real re.Pattern compiled from the link pattern's
// source with the default flags, whose matches find_markdown_links gives.
bool is_plain_link_pattern(py::handle pattern);

// The matches re.finditer gives for the link pattern in `text` (an exact
// str), in order.
std::vector<LinkMatch> find_markdown_links(py::handle text);

// The same matches in the text's UTF-8 form, in bytes: the pattern's
// delimiters are ASCII, which no other character's bytes contain.
std::vector<LinkMatch> find_markdown_links(std::string_view utf8);

}  // namespace quillmark
