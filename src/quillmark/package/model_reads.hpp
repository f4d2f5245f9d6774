// Reading the host's model on the package path: plain reads only, that is
// Python's ordinary attribute lookup finding the value in the instance (or a
// slot), or a member of the model's own enumerations. A read that is not
// plain sends the call to the element path (guards.hpp says why that is
// safe).
#pragma once

#include "binding/function.hpp"
#include "binding/names.hpp"

namespace quillmark::package {

namespace py = pybind11;

// Thrown where the package path does not take the call: generate then runs
// the element path, from the start.
struct ElementPathNeeded {};

// Whether reading `name` from `object` is a plain read.
bool plain_read(py::handle object, const binding::Name &name);

// object.<name>, read plainly, or ElementPathNeeded.
py::object read_plain(py::handle object, const binding::Name &name);

// Whether `object` is exactly of the class the module names `class_name`
// (a model class, or for a member, the model's enumeration).
bool is_exactly(const binding::Call &c, py::handle object, const binding::Name &class_name);

}  // namespace quillmark::package
