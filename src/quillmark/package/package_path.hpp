// generate's third way: the package's bytes written directly (package/),
// beside the faithful path and the direct element path (direct/). Taken only
// where guards.hpp says nothing can tell the difference.
#pragma once

#include "binding/function.hpp"

namespace quillmark::package {

namespace py = pybind11;

// The bytes save() would return for generate(document, template), into
// `data`; false where the call must take the element path instead (from the
// start: nothing of it has been written). Errors the faithful path raises
// in the same place propagate.
bool write_package(const binding::Call &c, py::handle self, py::handle document, py::handle template_,
                   py::object &data);

}  // namespace quillmark::package
