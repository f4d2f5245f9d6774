#include "quillmark/style_names.hpp"

#include "binding/names.hpp"

namespace quillmark {

namespace {

inline binding::Name character_prefix{"Tv"};
inline binding::Name space{" "};
inline binding::Name nothing{""};

py::str steal_str(PyObject *object) {
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(object);
}

}  // namespace

py::str character_style_name(py::handle style_name) {
  py::str text = steal_str(PyObject_Format(style_name.ptr(), nullptr));
  return steal_str(PyUnicode_Concat(character_prefix.get().ptr(), text.ptr()));
}

py::str character_style_id(py::handle style_name) {
  py::str name = character_style_name(style_name);
  return steal_str(PyUnicode_Replace(name.ptr(), space.get().ptr(), nothing.get().ptr(), -1));
}

}  // namespace quillmark
