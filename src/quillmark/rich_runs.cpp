// _add_runs(): an element's own styled runs, written as they come, with no
// character style.
#include "binding/checks.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/rich_runs.hpp"

namespace quillmark {

// Copied from each run item onto its run, in this order.
const binding::Name *const run_properties[] = {&names::bold, &names::italic, &names::underline};

void add_rich_run(py::handle paragraph, py::handle item) {
  py::object text = item.attr(names::text);
  py::object r = binding::call_method(paragraph, names::add_run, text);
  for (const binding::Name *property : run_properties) r.attr(*property) = item.attr(*property);
}

py::object add_runs(const Call &call) {
  py::handle paragraph = call.arg(0);
  py::handle runs = call.arg(1);
  binding::require_exact_type(runs, &PyList_Type, "runs");

  // By index, re-reading the length: a run's setters may run arbitrary code.
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(runs.ptr()); ++i) {
    auto run = py::reinterpret_borrow<py::object>(PyList_GET_ITEM(runs.ptr(), i));
    add_rich_run(paragraph, run);
  }
  return py::none();
}

}  // namespace quillmark
