// set_styles(): every template style becomes paragraph style N and character
// style "Tv" + N of the document.
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"

namespace quillmark {

using binding::call_method;

namespace {

// python-docx looks styles up by name through an XPath expression that it
// builds from the raw name, so a name with a double quote either fails
// obscurely or selects a different style. Such a style is refused before the
// document is touched for it.
void refuse_unsafe_name(py::handle style_name) {
  if (!PyUnicode_Check(style_name.ptr())) return;
  const Py_ssize_t quote = PyUnicode_FindChar(style_name.ptr(), '"', 0, PyUnicode_GET_LENGTH(style_name.ptr()), 1);
  if (quote == -2) throw py::error_already_set();
  if (quote == -1) return;
  PyErr_Format(PyExc_ValueError,
               "template style %R cannot be registered: style names containing '\"' are not supported",
               style_name.ptr());
  throw py::error_already_set();
}

}  // namespace

py::object set_styles(const Call &call) {
  py::handle self = call.self();
  py::handle doc = call.arg(0);
  py::handle template_ = call.arg(1);

  for (py::handle style : template_.attr(names::styles)) {
    py::object style_name = style.attr(names::name).attr(names::value);
    refuse_unsafe_name(style_name);

    const int present = PySequence_Contains(doc.attr(names::styles).ptr(), style_name.ptr());
    if (present < 0) throw py::error_already_set();
    if (!present) {
      py::object paragraph_type = call.global(names::WD_STYLE_TYPE).attr(names::PARAGRAPH);
      call_method(doc.attr(names::styles), names::add_style, style_name, paragraph_type);
    }
    py::object doc_style = doc.attr(names::styles)[style_name];
    call_method(self, names::_set_paragraph_format, doc_style, style);
    call_method(self, names::_set_font_style, doc_style, style);

    py::object character_type = call.global(names::WD_STYLE_TYPE).attr(names::CHARACTER);
    py::object run_style =
        call_method(doc.attr(names::styles), names::add_style, character_style_name(style_name), character_type);
    call_method(self, names::_set_font_style, run_style, style);
  }
  return py::none();
}

}  // namespace quillmark
