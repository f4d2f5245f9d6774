#include "binding/imports.hpp"

namespace binding {

namespace {

py::object import(py::dict globals, const char *module, py::handle fromlist, int level) {
  PyObject *imported =
      PyImport_ImportModuleLevel(module, globals.ptr(), nullptr, fromlist.ptr(), level);
  if (imported == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(imported);
}

// One name of a `from` import: an attribute of the module or, failing that, a
// submodule already imported; otherwise the ImportError Python raises.
py::object import_name(py::handle module, const char *name) {
  PyObject *value = PyObject_GetAttrString(module.ptr(), name);
  if (value != nullptr) return py::reinterpret_steal<py::object>(value);
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
  PyErr_Clear();

  py::object module_name = py::getattr(module, "__name__", py::none());
  if (!module_name.is_none()) {
    py::object full_name = py::str("{}.{}").format(module_name, name);
    PyObject *submodule = PyImport_GetModule(full_name.ptr());
    if (submodule != nullptr) return py::reinterpret_steal<py::object>(submodule);
    if (PyErr_Occurred()) throw py::error_already_set();
  }
  py::object path = py::getattr(module, "__file__", py::str("unknown location"));
  py::object message = py::str("cannot import name '{}' from {!r} ({})").format(name, module_name, path);
  PyErr_SetImportError(message.ptr(), module_name.ptr(), path.ptr());
  throw py::error_already_set();
}

}  // namespace

void import_module(py::dict globals, const char *module) {
  globals[module] = import(globals, module, py::none(), 0);
}

void import_from(py::dict globals, const char *module, std::initializer_list<Imported> names, int level) {
  py::list fromlist;
  for (const Imported &item : names) fromlist.append(item.name);
  py::object imported = import(globals, module, py::tuple(fromlist), level);
  for (const Imported &item : names) {
    globals[item.as != nullptr ? item.as : item.name] = import_name(imported, item.name);
  }
}

}  // namespace binding
