#include "quillmark/markdown_links.hpp"

namespace quillmark {

namespace {

// re's flags for a str pattern compiled without flags: re.UNICODE alone.
constexpr long kDefaultFlags = 32;

inline binding::Name pattern_attribute{"pattern"};
inline binding::Name flags_attribute{"flags"};

PyObject *pattern_type = nullptr;  // re.Pattern, kept for the life of the process

}  // namespace

void capture_pattern_type() {
  if (pattern_type == nullptr) {
    py::object type = py::module_::import("re").attr("Pattern");
    pattern_type = type.release().ptr();
  }
}

bool is_plain_link_pattern(py::handle pattern) {
  if (pattern_type == nullptr || Py_TYPE(pattern.ptr()) != reinterpret_cast<PyTypeObject *>(pattern_type)) {
    return false;
  }
  py::object compiled_from = pattern.attr(pattern_attribute);
  if (!PyUnicode_CheckExact(compiled_from.ptr())) return false;
  const int same = PyUnicode_Compare(compiled_from.ptr(), markdown_link.get().ptr());
  if (same == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (same != 0) return false;
  const long flags = PyLong_AsLong(pattern.attr(flags_attribute).ptr());
  if (flags == -1 && PyErr_Occurred()) throw py::error_already_set();
  return flags == kDefaultFlags;
}

namespace {

// For a match starting at a "[", the link text can only end at the first "]"
// after it, and the target at the first ")" after the "(" that must follow
// that "]": a shorter stretch would leave a character of the excluded kind
// where the closing one must be, and backtracking cannot help. So each "["
// has at most one candidate, found from the next "]" and the next ")", which
// only ever move forward.
template <class At>
std::vector<LinkMatch> scan(Py_ssize_t length, const At &at) {
  // The first `wanted` at or after `from`, or `length`.
  const auto next = [&](Py_UCS4 wanted, Py_ssize_t from) {
    while (from < length && at(from) != wanted) ++from;
    return from;
  };
  std::vector<LinkMatch> matches;
  Py_ssize_t close_bracket = -1, close_paren = -1;
  for (Py_ssize_t start = next('[', 0); start < length; start = next('[', start + 1)) {
    if (close_bracket <= start) close_bracket = next(']', start + 1);
    if (close_bracket >= length) break;  // no "]" after this "[", nor after any later one
    if (close_bracket == start + 1 || close_bracket + 1 >= length || at(close_bracket + 1) != '(') continue;
    if (close_paren < close_bracket + 2) close_paren = next(')', close_bracket + 2);
    if (close_paren >= length) break;  // no ")" after this "(", nor after any later one
    if (close_paren == close_bracket + 2) continue;
    matches.push_back({start, close_paren + 1, start + 1, close_bracket, close_bracket + 2, close_paren});
    start = close_paren;  // the next match starts after this one
  }
  return matches;
}

}  // namespace

std::vector<LinkMatch> find_markdown_links(py::handle text) {
  const int kind = PyUnicode_KIND(text.ptr());
  const void *data = PyUnicode_DATA(text.ptr());
  return scan(PyUnicode_GET_LENGTH(text.ptr()), [&](Py_ssize_t i) { return PyUnicode_READ(kind, data, i); });
}

std::vector<LinkMatch> find_markdown_links(std::string_view utf8) {
  return scan(static_cast<Py_ssize_t>(utf8.size()),
              [&](Py_ssize_t i) { return static_cast<Py_UCS4>(static_cast<unsigned char>(utf8[static_cast<std::size_t>(i)])); });
}

}  // namespace quillmark
