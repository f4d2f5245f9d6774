// Reading names and attributes with the exact semantics Python code has.
#pragma once

#include <pybind11/pybind11.h>

namespace binding {

namespace py = pybind11;

// A module-level name as Python code reads it when it runs: the module's
// globals, then the builtins; NameError if neither has it. Reading it at use
// time (never caching it) lets a host replace a module-level name.
py::object load_global(PyObject *globals, const char *name);

// A presence test that counts any error raised while reading the attribute as
// absence, and clears it.
bool has_attribute(py::handle object, const char *name);

// getattr(object, name, fallback): only an AttributeError yields the fallback;
// any other error escapes.
py::object attribute_or(py::handle object, const char *name, py::handle fallback);

// The interpreter's truth test; an error raised by __bool__ escapes.
bool is_true(py::handle object);

// `a == b` and `a != b` followed by a truth test, as in an `if` statement.
bool equals(py::handle a, py::handle b);
bool differs(py::handle a, py::handle b);

}  // namespace binding
