// Binding a call's arguments to a function's parameters, as Python does for a
// function whose parameters are all positional-or-keyword.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>

namespace binding {

namespace py = pybind11;

struct Signature {
  PyObject *display_name;     // the name CPython shows in its TypeError messages
  const char *const *names;   // every parameter, `self` first
  std::size_t count;
  PyObject *defaults;         // tuple for the last parameters, or None
};

// Fills slots[0..count) from `args` and `kwargs` (which may be NULL), then from
// the defaults. A missing or surplus argument, an unknown keyword or a value
// given twice raises TypeError with the interpreter's own wording, before any
// slot is used.
void bind_arguments(const Signature &signature, PyObject *args, PyObject *kwargs, py::object *slots);

}  // namespace binding
