// One item of _add_runs, shared by the faithful and the direct path.
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

namespace quillmark {

namespace py = pybind11;

// The run properties copied from a run item, in this order.
extern const binding::Name *const run_properties[3];

// r = paragraph.add_run(item.text), then the item's bold, italic and
// underline set on r.
void add_rich_run(py::handle paragraph, py::handle item);

}  // namespace quillmark
