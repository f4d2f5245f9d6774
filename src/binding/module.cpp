#include "binding/module.hpp"

#include "binding/boundary.hpp"

#include <cstdint>

namespace binding {

namespace {

// One module object per shared object, owned for the life of the process.
PyObject *created_module = nullptr;
bool module_bound = false;
std::int64_t owner_interpreter = -1;

PyInterpreterState *current_interpreter() {
#if PY_VERSION_HEX >= 0x03090000
  return PyInterpreterState_Get();
#else
  return PyThreadState_Get()->interp;
#endif
}

// Returns false with ImportError set when another interpreter owns the module.
// Runs in that other interpreter, where pybind11's error objects must not be
// made: releasing one takes the GIL through the PyGILState API, which belongs
// to the main interpreter and would deadlock here.
bool claim_interpreter() {
  const std::int64_t current = PyInterpreterState_GetID(current_interpreter());
  if (current == -1) return false;
  if (owner_interpreter == -1) {
    owner_interpreter = current;
  } else if (owner_interpreter != current) {
    PyErr_SetString(PyExc_ImportError,
                    "Interpreter change detected - this module can only be loaded into one interpreter per process.");
    return false;
  }
  return true;
}

struct SpecField {
  const char *spec_attribute;
  const char *module_attribute;
  bool none_allowed;
};

// __path__ exists only for packages, so a None search path is not copied.
constexpr SpecField spec_fields[] = {
    {"loader", "__loader__", true},
    {"origin", "__file__", true},
    {"parent", "__package__", true},
    {"submodule_search_locations", "__path__", false},
};

}  // namespace

PyObject *create_module(PyObject *spec, PyModuleDef * /*def*/) {
  if (!claim_interpreter()) return nullptr;
  return returning_object([&]() -> py::object {
    if (created_module != nullptr) return py::reinterpret_borrow<py::object>(created_module);

    py::handle import_spec(spec);
    PyObject *module = PyModule_NewObject(import_spec.attr("name").ptr());
    if (module == nullptr) throw py::error_already_set();
    auto result = py::reinterpret_steal<py::object>(module);
    for (const SpecField &field : spec_fields) {
      py::object value = import_spec.attr(field.spec_attribute);
      if (value.is_none() && !field.none_allowed) continue;
      result.attr(field.module_attribute) = value;
    }
    created_module = result.inc_ref().ptr();
    return result;
  });
}

int execute_module(PyObject *module, Binder bind) {
  if (module_bound && module == created_module) return 0;
  return returning_status([&] {
    bind(py::reinterpret_borrow<py::dict>(PyModule_GetDict(module)));
    module_bound = true;
  });
}

}  // namespace binding
