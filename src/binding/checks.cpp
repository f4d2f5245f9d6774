#include "binding/checks.hpp"

namespace binding {

void require_exact_type(py::handle value, PyTypeObject *expected, const char *argument) {
  if (Py_TYPE(value.ptr()) == expected) return;
  PyErr_Format(PyExc_TypeError, "Argument '%.200s' has incorrect type (expected %.200s, got %.200s)", argument,
               expected->tp_name, Py_TYPE(value.ptr())->tp_name);
  throw py::error_already_set();
}

void require_result_type(py::handle value, PyTypeObject *expected) {
  if (Py_TYPE(value.ptr()) == expected || value.is_none()) return;
  PyErr_Format(PyExc_TypeError, "Expected %s, got %.200s", expected->tp_name, Py_TYPE(value.ptr())->tp_name);
  throw py::error_already_set();
}

}  // namespace binding
