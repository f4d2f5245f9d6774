// Multi-phase initialisation shared by our extension modules.
//
// Each module is a PyModuleDef whose slots are create_module and an exec
// function that calls execute_module with the module's own binder. The state
// these keep is per shared object, so each shared object defines one module.
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

}  // namespace binding
