// _add_text_content(): plain text written as runs in the paragraph's "Tv"
// character style, with Markdown links turned into hyperlinks on request.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"

namespace quillmark {

namespace {

// [link text](target): each part at least one character; the target ends at
// its first closing parenthesis.
constexpr const char markdown_link[] = R"(\[([^\]]+)\]\(([^)]+)\))";

void add_styled_run(py::handle paragraph, py::handle text, py::handle run_style, py::handle bold) {
  py::object run = paragraph.attr("add_run")(text, py::arg("style") = run_style);
  run.attr("bold") = bold;
}

py::object slice(py::handle text, py::handle start, py::handle stop) {
  PyObject *bounds = PySlice_New(start.ptr(), stop.ptr(), nullptr);
  if (bounds == nullptr) throw py::error_already_set();
  auto range = py::reinterpret_steal<py::object>(bounds);
  PyObject *part = PyObject_GetItem(text.ptr(), range.ptr());
  if (part == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(part);
}

}  // namespace

py::object add_text_content(const Call &call) {
  py::handle self = call.self();
  py::handle paragraph = call.arg(0);
  py::handle text = call.arg(1);
  py::handle style_name = call.arg(2);
  py::handle bold = call.arg(3);
  binding::require_exact_type(text, &PyUnicode_Type, "text");
  binding::require_exact_type(style_name, &PyUnicode_Type, "style_name");

  py::object md_link_pattern = call.global("re").attr("compile")(markdown_link);
  py::str run_style = character_style_name(style_name);
  // Only the value True itself turns conversion on, not any true value.
  const bool convert = self.attr("config").attr("markdown").ptr() == Py_True;
  if (!convert || !binding::is_true(md_link_pattern.attr("search")(text))) {
    add_styled_run(paragraph, text, run_style, bold);
    return py::none();
  }

  py::object pos = py::int_(0);
  for (py::handle m : md_link_pattern.attr("finditer")(text)) {
    py::object pre_text = slice(text, pos, m.attr("start")());
    if (binding::is_true(pre_text)) add_styled_run(paragraph, pre_text, run_style, bold);
    py::object link_text = m.attr("group")(1);
    py::object link_url = m.attr("group")(2);
    self.attr("_add_hyperlink")(paragraph, link_url, link_text, style_name, bold);
    pos = m.attr("end")();
  }
  py::object tail = slice(text, pos, py::none());
  if (binding::is_true(tail)) add_styled_run(paragraph, tail, run_style, bold);
  return py::none();
}

}  // namespace quillmark
