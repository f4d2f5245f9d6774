// Reading names and attributes with the exact semantics Python code has.
#pragma once

#include <pybind11/pybind11.h>

namespace binding {

namespace py = pybind11;

// An identifier as compiled Python code holds it: an interned string, made on
// first use and kept for the life of the process (our modules live in one
// interpreter). Lookups with it skip decoding and hashing, compare keys by
// identity and hit CPython's type attribute cache, which fresh strings miss.
//
// Declared at namespace scope as `inline Name x{"x"};`: the constructor is
// constexpr and the destructor trivial, so nothing runs at load or exit.
class Name {
 public:
  constexpr explicit Name(const char *text) noexcept : text_(text) {}

  py::handle get() const {
    if (object_ == nullptr) {
      object_ = PyUnicode_InternFromString(text_);
      if (object_ == nullptr) throw py::error_already_set();
    }
    return object_;
  }
  operator py::handle() const { return get(); }
  const char *text() const noexcept { return text_; }

 private:
  const char *text_;
  mutable PyObject *object_ = nullptr;
};

// A module-level name as Python code reads it when it runs: the module's
// globals, then the builtins; NameError if neither has it. Reading it at use
// time (never caching it) lets a host replace a module-level name.
py::object load_global(PyObject *globals, const Name &name);

// A presence test that counts any error raised while reading the attribute as
// absence, and clears it.
bool has_attribute(py::handle object, const Name &name);

// getattr(object, name, fallback): only an AttributeError yields the fallback;
// any other error escapes.
py::object attribute_or(py::handle object, const Name &name, py::handle fallback);

// The interpreter's truth test; an error raised by __bool__ escapes.
bool is_true(py::handle object);

// `a == b` and `a != b` followed by a truth test, as in an `if` statement.
bool equals(py::handle a, py::handle b);
bool differs(py::handle a, py::handle b);

}  // namespace binding
