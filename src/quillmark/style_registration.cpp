// set_styles(): every template style becomes paragraph style N and character
// style "Tv" + N of the document.
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"

namespace quillmark {

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

  for (py::handle style : template_.attr("styles")) {
    py::object style_name = style.attr("name").attr("value");
    refuse_unsafe_name(style_name);

    const int present = PySequence_Contains(doc.attr("styles").ptr(), style_name.ptr());
    if (present < 0) throw py::error_already_set();
    if (!present) doc.attr("styles").attr("add_style")(style_name, call.global("WD_STYLE_TYPE").attr("PARAGRAPH"));
    py::object doc_style = doc.attr("styles")[style_name];
    self.attr("_set_paragraph_format")(doc_style, style);
    self.attr("_set_font_style")(doc_style, style);

    py::object run_style = doc.attr("styles").attr("add_style")(character_style_name(style_name),
                                                                 call.global("WD_STYLE_TYPE").attr("CHARACTER"));
    self.attr("_set_font_style")(run_style, style);
  }
  return py::none();
}

}  // namespace quillmark
