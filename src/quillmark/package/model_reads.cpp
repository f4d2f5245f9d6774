#include "quillmark/package/model_reads.hpp"

namespace quillmark::package {

bool plain_read(py::handle object, const binding::Name &name) {
  PyTypeObject *type = Py_TYPE(object.ptr());
  if (type->tp_getattro != PyObject_GenericGetAttr) return false;  // __getattr__ or __getattribute__ of its own
  PyObject *found = _PyType_Lookup(type, name.get().ptr());
  if (found == nullptr) return true;                           // the instance's own
  if (Py_TYPE(found) == &PyMemberDescr_Type) return true;     // a slot
  // A class-level default, which the instance's own value hides; a property
  // or any other descriptor runs code.
  return Py_TYPE(found)->tp_descr_get == nullptr && Py_TYPE(found)->tp_descr_set == nullptr;
}

py::object read_plain(py::handle object, const binding::Name &name) {
  if (!plain_read(object, name)) throw ElementPathNeeded();
  return object.attr(name);
}

bool is_exactly(const binding::Call &c, py::handle object, const binding::Name &class_name) {
  py::object cls = c.global(class_name);
  return Py_TYPE(object.ptr()) == reinterpret_cast<PyTypeObject *>(cls.ptr());
}

}  // namespace quillmark::package
