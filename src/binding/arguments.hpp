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

// Fills slots[0..count) from the positional arguments, the keyword arguments
// and then the defaults. Keywords come either as the vectorcall convention's
// `kwnames` (their values follow the positional ones in `args`) or as a dict
// `kwargs`; both may be NULL. A missing or surplus argument, an unknown
// keyword or a value given twice raises TypeError with the interpreter's own
// wording, before any slot is used.
void bind_arguments(const Signature &signature, PyObject *const *args, std::size_t nargs, PyObject *kwnames,
                    PyObject *kwargs, py::object *slots);

}  // namespace binding
