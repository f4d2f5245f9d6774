#include "quillmark/captured_attributes.hpp"

namespace quillmark {

namespace {

PyObject *class_attribute(py::handle cls, const binding::Name &name) {
  return _PyType_Lookup(reinterpret_cast<PyTypeObject *>(cls.ptr()), name.get().ptr());  // borrowed, may be null
}

}  // namespace

bool CapturedAttributes::capture(const ClassAttribute *classes, std::size_t class_count,
                                 const ModuleAttribute *modules, std::size_t module_count) {
  std::vector<Entry> entries;
  try {
    for (std::size_t i = 0; i < class_count; ++i) {
      const ClassAttribute &entry = classes[i];
      py::object cls = py::module_::import(entry.module).attr(entry.class_name);
      binding::Name name(entry.attribute);
      PyObject *original = class_attribute(cls, name);
      if (original == nullptr) return false;
      entries.push_back({cls, name, py::reinterpret_borrow<py::object>(original), entry.shortcuts, true});
    }
    for (std::size_t i = 0; i < module_count; ++i) {
      const ModuleAttribute &entry = modules[i];
      py::object module = py::module_::import(entry.module);
      entries.push_back({module.attr("__dict__"), binding::Name(entry.attribute), module.attr(entry.attribute),
                         entry.shortcuts, false});
    }
  } catch (py::error_already_set &) {
    return false;
  }
  entries_ = std::move(entries);
  return true;
}

bool CapturedAttributes::unchanged(unsigned mask) const {
  for (const Entry &entry : entries_) {
    if (!(entry.shortcuts & mask)) continue;
    PyObject *current;
    if (entry.in_class) {
      current = class_attribute(entry.owner, entry.name);
    } else {
      current = PyDict_GetItemWithError(entry.owner.ptr(), entry.name.get().ptr());
      if (current == nullptr && PyErr_Occurred()) throw py::error_already_set();
    }
    if (current != entry.original.ptr()) return false;
  }
  return true;
}

}  // namespace quillmark
