// _add_text_content(): plain text written as runs in the paragraph's "Tv"
// character style, with Markdown links turned into hyperlinks on request.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/markdown_links.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"
#include "quillmark/text_content.hpp"

namespace quillmark {

using binding::call;
using binding::call_method;

namespace {

py::object substring(py::handle text, Py_ssize_t start, Py_ssize_t end) {
  PyObject *part = PyUnicode_Substring(text.ptr(), start, end);
  if (part == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(part);
}

// The pattern's matches as the linear scanner finds them: the same runs and
// links as finditer gives.
void write_scanned(py::handle text, const py::str &run_style, TextSink &sink) {
  const std::vector<LinkMatch> links = find_markdown_links(text);
  if (links.empty()) {
    sink.run(text, run_style);
    return;
  }
  Py_ssize_t pos = 0;
  for (const LinkMatch &link : links) {
    if (link.start > pos) sink.run(substring(text, pos, link.start), run_style);
    py::object link_text = substring(text, link.text_start, link.text_end);
    py::object link_url = substring(text, link.target_start, link.target_end);
    sink.link(link_url, link_text);
    pos = link.end;
  }
  if (pos < PyUnicode_GET_LENGTH(text.ptr())) sink.run(substring(text, pos, PyUnicode_GET_LENGTH(text.ptr())), run_style);
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

void add_styled_run(py::handle paragraph, py::handle text, py::handle run_style, py::handle bold) {
  py::object run = call_method(paragraph, names::add_run, names::kw_style, text, run_style);
  run.attr(names::bold) = bold;
}

void write_text_content(const Call &c, py::handle self, py::handle text, py::handle style_name, TextSink &sink) {
  binding::require_exact_type(text, &PyUnicode_Type, "text");
  binding::require_exact_type(style_name, &PyUnicode_Type, "style_name");

  py::object md_link_pattern = call_method(c.global(names::re), names::compile, markdown_link);
  py::str run_style = character_style_name(style_name);
  // Only the value True itself turns conversion on, not any true value.
  const bool convert = self.attr(names::config).attr(names::markdown).ptr() == Py_True;
  if (convert && is_plain_link_pattern(md_link_pattern)) {
    write_scanned(text, run_style, sink);
    return;
  }
  if (!convert || !binding::is_true(call_method(md_link_pattern, names::search, text))) {
    sink.run(text, run_style);
    return;
  }

  py::object pos = py::int_(0);
  py::object one = py::int_(1);
  py::object two = py::int_(2);
  for (py::handle m : call_method(md_link_pattern, names::finditer, text)) {
    py::object pre_text = slice(text, pos, call_method(m, names::start));
    if (binding::is_true(pre_text)) sink.run(pre_text, run_style);
    py::object link_text = call_method(m, names::group, one);
    py::object link_url = call_method(m, names::group, two);
    sink.link(link_url, link_text);
    pos = call_method(m, names::end);
  }
  py::object tail = slice(text, pos, py::none());
  if (binding::is_true(tail)) sink.run(tail, run_style);
}

namespace {

// Runs through python-docx's paragraph, links through self._add_hyperlink.
class ParagraphSink final : public TextSink {
 public:
  ParagraphSink(py::handle self, py::handle paragraph, py::handle style_name, py::handle bold)
      : self_(self), paragraph_(paragraph), style_name_(style_name), bold_(bold) {}

  void run(py::handle text, py::handle run_style) override { add_styled_run(paragraph_, text, run_style, bold_); }
  void link(py::handle url, py::handle text) override {
    call_method(self_, names::_add_hyperlink, paragraph_, url, text, style_name_, bold_);
  }

 private:
  py::handle self_, paragraph_, style_name_, bold_;
};

}  // namespace

py::object add_text_content(const Call &c) {
  ParagraphSink sink(c.self(), c.arg(0), c.arg(2), c.arg(3));
  write_text_content(c, c.self(), c.arg(1), c.arg(2), sink);
  return py::none();
}

}  // namespace quillmark
