// Multi-phase initialisation shared by our extension modules.
//
// A module is a definition plus two slots: create_module makes the module
// object, and the exec slot runs the module's binder on its namespace. Its
// entry point is one line:
//
//   extern "C" PYBIND11_EXPORT PyObject *PyInit_name() { return binding::define_module<bind_names>("name"); }
//
// The state these keep is per shared object, so each shared object defines
// one module.
#pragma once

#include <pybind11/pybind11.h>

namespace binding {

namespace py = pybind11;

// Create step. The module object is made from the import spec, whose loader,
// origin, parent and submodule_search_locations become __loader__, __file__,
// __package__ and __path__. The module belongs to the first interpreter that
// creates it: a later create there returns the same object, and a create in
// another interpreter raises ImportError.
PyObject *create_module(PyObject *spec, PyModuleDef *def);

using Binder = void (*)(py::dict globals);

// Exec step: runs `bind` on the module's namespace, once. Executing a module
// object that is already bound leaves it as it is.
int execute_module(PyObject *module, Binder bind);

// The module definition for the entry point PyInit_<name>.
template <Binder bind>
PyObject *define_module(const char *name) {
  static PyModuleDef_Slot slots[] = {
      {Py_mod_create, reinterpret_cast<void *>(create_module)},
      {Py_mod_exec, reinterpret_cast<void *>(+[](PyObject *module) { return execute_module(module, bind); })},
      {0, nullptr},
  };
  static PyModuleDef definition = {
      PyModuleDef_HEAD_INIT, name, nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
  };
  return PyModuleDef_Init(&definition);
}

}  // namespace binding
