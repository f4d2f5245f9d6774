// Native functions that behave like functions written in Python.
//
// A method is declared once, as data: its name, its parameters with their
// annotations and defaults, its docstring and the C++ body that runs it. The
// function object made from that declaration binds to instances like a Python
// function (it is a descriptor), carries __name__, __qualname__, __module__,
// __doc__, __annotations__ and __defaults__, accepts every parameter by
// position or by keyword, can be marked by abc.abstractmethod and is described
// by inspect.signature.
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

#include <array>
#include <cstddef>

namespace binding {

namespace py = pybind11;

// Parameters after `self` that one method may declare.
inline constexpr std::size_t max_parameters = 6;

enum class Default { required, false_value };

struct Parameter {
  const char *name = nullptr;
  const char *annotation = nullptr;
  Default fallback = Default::required;
};

class Call;
using Body = py::object (*)(const Call &);

struct MethodSpec {
  const char *name;
  // The parameters after `self`, in order; unused slots have no name.
  std::array<Parameter, max_parameters> parameters;
  const char *returns;  // the return annotation
  const char *doc;      // nullptr: the method has no docstring
  Body body;
  bool abstract = false;

  std::size_t parameter_count() const noexcept {
    std::size_t n = 0;
    while (n < parameters.size() && parameters[n].name != nullptr) ++n;
    return n;
  }
};

// What a body sees of one call: the bound arguments, and the namespace of the
// module that defines the method.
class Call {
 public:
  Call(const py::object *slots, PyObject *globals) noexcept : slots_(slots), globals_(globals) {}

  py::handle self() const noexcept { return slots_[0]; }
  // The i-th argument after `self`, in declaration order.
  py::handle arg(std::size_t i) const noexcept { return slots_[i + 1]; }
  // A module-level name, read when the body asks for it as Python code would
  // read it: the module's globals first, then the builtins.
  py::object global(const Name &name) const;
  // The module's namespace itself (borrowed).
  PyObject *global_namespace() const noexcept { return globals_; }

 private:
  const py::object *slots_;
  PyObject *globals_;
};

// The body of `function` when it is one of our native functions, else nullptr.
Body native_body(py::handle function) noexcept;

// `self.<name>` read as Python code reads it, and whether the result is the
// method whose body is `body` bound to `self` (rather than an override, an
// instance attribute or anything else). The attribute is read exactly once;
// `found` holds what was read, for calling it when it is not ours.
bool is_bound_method(py::handle self, const Name &name, Body body, py::object &found);

// Makes the function object for `spec`, a method of class `class_name` in the
// module whose namespace is `globals`.
py::object make_function(const MethodSpec &spec, const char *class_name, py::handle globals);

}  // namespace binding
