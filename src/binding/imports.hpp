// Import statements executed from native code, binding names into a module's
// namespace exactly as the equivalent Python statements would.
#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>

namespace binding {

namespace py = pybind11;

struct Imported {
  const char *name;
  const char *as = nullptr;  // bound under `name` when not given
};

// import <module>
void import_module(py::dict globals, const char *module);

// from <module> import <name> [as <alias>], ...
// `level` 1 imports from the package of the module that owns `globals`.
void import_from(py::dict globals, const char *module, std::initializer_list<Imported> names, int level = 0);

}  // namespace binding
