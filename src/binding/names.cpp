#include "binding/names.hpp"

namespace binding {

py::object load_global(PyObject *globals, const Name &name) {
  PyObject *key = name.get().ptr();
  PyObject *value = PyDict_GetItemWithError(globals, key);
  if (value == nullptr && !PyErr_Occurred()) {
    PyObject *builtins = PyEval_GetBuiltins();  // borrowed
    value = builtins != nullptr ? PyDict_GetItemWithError(builtins, key) : nullptr;
    if (value == nullptr && !PyErr_Occurred()) PyErr_Format(PyExc_NameError, "name '%s' is not defined", name.text());
  }
  if (value == nullptr) throw py::error_already_set();
  return py::reinterpret_borrow<py::object>(value);
}

bool has_attribute(py::handle object, const Name &name) {
  PyObject *value = PyObject_GetAttr(object.ptr(), name.get().ptr());
  if (value == nullptr) {
    PyErr_Clear();
    return false;
  }
  Py_DECREF(value);
  return true;
}

py::object attribute_or(py::handle object, const Name &name, py::handle fallback) {
  PyObject *value = PyObject_GetAttr(object.ptr(), name.get().ptr());
  if (value != nullptr) return py::reinterpret_steal<py::object>(value);
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
  PyErr_Clear();
  return py::reinterpret_borrow<py::object>(fallback);
}

bool is_true(py::handle object) {
  const int result = PyObject_IsTrue(object.ptr());
  if (result < 0) throw py::error_already_set();
  return result != 0;
}

namespace {
bool compare(py::handle a, py::handle b, int op) {
  PyObject *result = PyObject_RichCompare(a.ptr(), b.ptr(), op);
  if (result == nullptr) throw py::error_already_set();
  return is_true(py::reinterpret_steal<py::object>(result));
}
}  // namespace

bool equals(py::handle a, py::handle b) { return compare(a, b, Py_EQ); }
bool differs(py::handle a, py::handle b) { return compare(a, b, Py_NE); }

}  // namespace binding
