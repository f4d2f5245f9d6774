// add_paragraph(): one element of the document becomes one paragraph with its
// style, outline numbering for headers, and its content.
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/paragraph_assembly.hpp"

namespace quillmark {

using binding::call_method;

// Whether `name` is among the template's style names, scanned in template
// order and stopping at the first equal one, as `name in (...)` would.
bool is_template_style(py::handle template_, py::handle name) {
  for (py::handle style : template_.attr(names::styles)) {
    py::object candidate = style.attr(names::name).attr(names::value);
    const int equal = PyObject_RichCompareBool(candidate.ptr(), name.ptr(), Py_EQ);
    if (equal < 0) throw py::error_already_set();
    if (equal) return true;
  }
  return false;
}

py::object paragraph_style(const Call &c, py::handle element, py::handle template_,
                           const std::function<bool(py::handle)> &in_document) {
  if (is_template_style(template_, element.attr(names::style_name))) {
    if (in_document(element.attr(names::style_name))) return element.attr(names::style_name);
  }
  return c.global(names::StyleNames).attr(names::TEXT).attr(names::value);
}

namespace {

py::object numbering_properties(py::handle paragraph) {
  return call_method(call_method(paragraph.attr(names::_p), names::get_or_add_pPr), names::get_or_add_numPr);
}

}  // namespace

// Headers refer to the outline list (instance 1) at list level `level` - 1.
// Second-level headers are not numbered, and neither is a header whose level
// is missing or None.
py::object numbered_level(const Call &c, py::handle element) {
  if (!binding::equals(element.attr(names::type), c.global(names::ElementTypes).attr(names::HEADER))) {
    return py::object();
  }
  if (!binding::has_attribute(element, names::level)) return py::object();
  py::object level = element.attr(names::level);
  if (level.is_none() || !binding::differs(level, py::int_(2))) return py::object();
  return level;
}

void number_header(const Call &c, py::handle paragraph, py::handle element) {
  py::object level = numbered_level(c, element);
  if (!level) return;
  call_method(numbering_properties(paragraph), names::get_or_add_numId).attr(names::val) = py::int_(1);
  PyObject *list_level = PyNumber_Subtract(level.ptr(), py::int_(1).ptr());
  if (list_level == nullptr) throw py::error_already_set();
  call_method(numbering_properties(paragraph), names::get_or_add_ilvl).attr(names::val) =
      py::reinterpret_steal<py::object>(list_level);
}

// The bold setting of the first template style that bears `style_name`.
py::object template_bold(py::handle template_, py::handle style_name) {
  for (py::handle style : template_.attr(names::styles)) {
    if (binding::equals(style.attr(names::name).attr(names::value), style_name)) {
      return style.attr(names::font).attr(names::bold);
    }
  }
  return py::bool_(false);
}

py::object add_paragraph(const Call &c) {
  py::handle self = c.self();
  py::handle doc = c.arg(0);
  py::handle element = c.arg(1);
  py::handle template_ = c.arg(2);

  py::object style_name = paragraph_style(c, element, template_, [&](py::handle name) {
    const int in_document = PySequence_Contains(doc.attr(names::styles).ptr(), name.ptr());
    if (in_document < 0) throw py::error_already_set();
    return in_document != 0;
  });
  py::object paragraph = call_method(doc, names::add_paragraph, names::kw_style, style_name);
  number_header(c, paragraph, element);
  py::object bold = template_bold(template_, style_name);

  if (binding::has_attribute(element, names::runs) && binding::is_true(element.attr(names::runs))) {
    py::object runs = element.attr(names::runs);
    call_method(self, names::_add_runs, paragraph, runs);
    return py::none();
  }
  py::object text = binding::attribute_or(element, names::text, py::str(""));
  if (binding::is_true(text)) call_method(self, names::_add_text_content, paragraph, text, style_name, bold);
  return py::none();
}

}  // namespace quillmark
