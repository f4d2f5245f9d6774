// Entry and result checks that a few methods make on top of their annotations.
#pragma once

#include <pybind11/pybind11.h>

namespace binding {

namespace py = pybind11;

// The argument must be exactly of type `expected`, not a subclass and not None:
// TypeError "Argument 'text' has incorrect type (expected str, got NoneType)".
void require_exact_type(py::handle value, PyTypeObject *expected, const char *argument);

// A result annotated with `expected` must be exactly of that type or None:
// TypeError "Expected bytes, got bytearray".
void require_result_type(py::handle value, PyTypeObject *expected);

}  // namespace binding
