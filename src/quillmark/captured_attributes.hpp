// Library functions, methods and properties captured when the module is
// executed, so that a shortcut standing in for them can check, where it is
// about to be taken, that each is still the object it was written against
// (a replaced one is then called as the faithful path calls it).
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

#include <vector>

namespace quillmark {

namespace py = pybind11;

// An attribute looked up through a class's method resolution order, as the
// library's own code finds it.
struct ClassAttribute {
  const char *module;
  const char *class_name;
  const char *attribute;
  unsigned shortcuts;  // which shortcuts stand in for it, as a bit mask
};

// A name in a module's namespace, as the library's own code reads it.
struct ModuleAttribute {
  const char *module;
  const char *attribute;
  unsigned shortcuts;
};

class CapturedAttributes {
 public:
  // Captures every entry; false (with nothing captured) when one is
  // missing, for a library release that lacks what a shortcut needs.
  bool capture(const ClassAttribute *classes, std::size_t class_count, const ModuleAttribute *modules,
               std::size_t module_count);

  // Whether every entry of the shortcuts in `mask` is still the captured
  // object.
  bool unchanged(unsigned mask) const;

 private:
  struct Entry {
    py::object owner;  // the class, or the module's namespace
    binding::Name name;
    py::object original;
    unsigned shortcuts;
    bool in_class;
  };
  std::vector<Entry> entries_;
};

}  // namespace quillmark
