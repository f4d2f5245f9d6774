// _add_runs(): an element's own styled runs, written as they come, with no
// character style.
#include "binding/checks.hpp"
#include "quillmark/methods.hpp"

namespace quillmark {

namespace {
// Copied from each run item onto its run, in this order.
constexpr const char *run_properties[] = {"bold", "italic", "underline"};
}  // namespace

py::object add_runs(const Call &call) {
  py::handle paragraph = call.arg(0);
  py::handle runs = call.arg(1);
  binding::require_exact_type(runs, &PyList_Type, "runs");

  // By index, re-reading the length: a run's setters may run arbitrary code.
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(runs.ptr()); ++i) {
    auto run = py::reinterpret_borrow<py::object>(PyList_GET_ITEM(runs.ptr(), i));
    py::object r = paragraph.attr("add_run")(run.attr("text"));
    for (const char *property : run_properties) r.attr(property) = run.attr(property);
  }
  return py::none();
}

}  // namespace quillmark
