// add_paragraph(): one element of the document becomes one paragraph with its
// style, outline numbering for headers, and its content.
#include "binding/names.hpp"
#include "quillmark/methods.hpp"

namespace quillmark {

namespace {

// Whether `name` is among the template's style names, scanned in template
// order and stopping at the first equal one, as `name in (...)` would.
bool is_template_style(py::handle template_, py::handle name) {
  for (py::handle style : template_.attr("styles")) {
    py::object candidate = style.attr("name").attr("value");
    const int equal = PyObject_RichCompareBool(candidate.ptr(), name.ptr(), Py_EQ);
    if (equal < 0) throw py::error_already_set();
    if (equal) return true;
  }
  return false;
}

// The element's own style when both the template and the document have it,
// otherwise the fallback body style.
py::object paragraph_style(const Call &call, py::handle doc, py::handle element, py::handle template_) {
  if (is_template_style(template_, element.attr("style_name"))) {
    const int in_document = PySequence_Contains(doc.attr("styles").ptr(), element.attr("style_name").ptr());
    if (in_document < 0) throw py::error_already_set();
    if (in_document) return element.attr("style_name");
  }
  return call.global("StyleNames").attr("TEXT").attr("value");
}

// Headers refer to the outline list (instance 1) at list level `level` - 1.
// Second-level headers are not numbered, and neither is a header whose level
// is missing or None.
void number_header(const Call &call, py::handle paragraph, py::handle element) {
  if (!binding::equals(element.attr("type"), call.global("ElementTypes").attr("HEADER"))) return;
  if (!binding::has_attribute(element, "level")) return;
  py::object level = element.attr("level");
  if (level.is_none() || !binding::differs(level, py::int_(2))) return;

  paragraph.attr("_p").attr("get_or_add_pPr")().attr("get_or_add_numPr")().attr("get_or_add_numId")().attr("val") =
      py::int_(1);
  PyObject *list_level = PyNumber_Subtract(level.ptr(), py::int_(1).ptr());
  if (list_level == nullptr) throw py::error_already_set();
  paragraph.attr("_p").attr("get_or_add_pPr")().attr("get_or_add_numPr")().attr("get_or_add_ilvl")().attr("val") =
      py::reinterpret_steal<py::object>(list_level);
}

// The bold setting of the first template style that bears `style_name`.
py::object template_bold(py::handle template_, py::handle style_name) {
  for (py::handle style : template_.attr("styles")) {
    if (binding::equals(style.attr("name").attr("value"), style_name)) return style.attr("font").attr("bold");
  }
  return py::bool_(false);
}

}  // namespace

py::object add_paragraph(const Call &call) {
  py::handle self = call.self();
  py::handle doc = call.arg(0);
  py::handle element = call.arg(1);
  py::handle template_ = call.arg(2);

  py::object style_name = paragraph_style(call, doc, element, template_);
  py::object paragraph = doc.attr("add_paragraph")(py::arg("style") = style_name);
  number_header(call, paragraph, element);
  py::object bold = template_bold(template_, style_name);

  if (binding::has_attribute(element, "runs") && binding::is_true(element.attr("runs"))) {
    self.attr("_add_runs")(paragraph, element.attr("runs"));
    return py::none();
  }
  py::object text = binding::attribute_or(element, "text", py::str(""));
  if (binding::is_true(text)) self.attr("_add_text_content")(paragraph, text, style_name, bold);
  return py::none();
}

}  // namespace quillmark
