#include "binding/arguments.hpp"

#include <string>
#include <vector>

namespace binding {

namespace {

[[noreturn]] void raise_type_error(PyObject *format_result) {
  // PyErr_Format already set the error; `format_result` is always NULL.
  (void)format_result;
  throw py::error_already_set();
}

std::size_t default_count(const Signature &signature) {
  if (!PyTuple_Check(signature.defaults)) return 0;
  // __defaults__ is writable; more defaults than parameters cover all of them.
  const auto n = static_cast<std::size_t>(PyTuple_GET_SIZE(signature.defaults));
  return n < signature.count ? n : signature.count;
}

[[noreturn]] void too_many_positional(const Signature &signature, std::size_t given) {
  const std::size_t defaults = default_count(signature);
  std::string takes = defaults > 0 ? "from " + std::to_string(signature.count - defaults) + " to " +
                                         std::to_string(signature.count)
                                   : std::to_string(signature.count);
  raise_type_error(PyErr_Format(PyExc_TypeError, "%U() takes %s positional argument%s but %zd %s given",
                                signature.display_name, takes.c_str(), signature.count == 1 ? "" : "s",
                                static_cast<Py_ssize_t>(given), given == 1 ? "was" : "were"));
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'", as CPython lists missing arguments.
[[noreturn]] void missing_arguments(const Signature &signature, const std::vector<std::size_t> &missing) {
  std::string names;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) names += missing.size() == 2 ? " and " : (i + 1 == missing.size() ? ", and " : ", ");
    names += '\'';
    names += signature.names[missing[i]];
    names += '\'';
  }
  raise_type_error(PyErr_Format(PyExc_TypeError, "%U() missing %zd required positional argument%s: %s",
                                signature.display_name, static_cast<Py_ssize_t>(missing.size()),
                                missing.size() == 1 ? "" : "s", names.c_str()));
}

std::size_t parameter_index(const Signature &signature, PyObject *keyword) {
  for (std::size_t i = 0; i < signature.count; ++i) {
    if (PyUnicode_CompareWithASCIIString(keyword, signature.names[i]) == 0) return i;
  }
  return signature.count;
}

void bind_keyword(const Signature &signature, PyObject *key, PyObject *value, py::object *slots) {
  if (!PyUnicode_Check(key)) {
    raise_type_error(PyErr_Format(PyExc_TypeError, "%U() keywords must be strings", signature.display_name));
  }
  const std::size_t index = parameter_index(signature, key);
  if (index == signature.count) {
    raise_type_error(PyErr_Format(PyExc_TypeError, "%U() got an unexpected keyword argument '%U'",
                                  signature.display_name, key));
  }
  if (slots[index]) {
    raise_type_error(
        PyErr_Format(PyExc_TypeError, "%U() got multiple values for argument '%U'", signature.display_name, key));
  }
  slots[index] = py::reinterpret_borrow<py::object>(value);
}

}  // namespace

void bind_arguments(const Signature &signature, PyObject *const *args, std::size_t nargs, PyObject *kwnames,
                    PyObject *kwargs, py::object *slots) {
  if (nargs > signature.count) too_many_positional(signature, nargs);
  for (std::size_t i = 0; i < nargs; ++i) slots[i] = py::reinterpret_borrow<py::object>(args[i]);

  if (kwnames != nullptr) {
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i) {
      bind_keyword(signature, PyTuple_GET_ITEM(kwnames, i), args[nargs + static_cast<std::size_t>(i)], slots);
    }
  }
  if (kwargs != nullptr) {
    PyObject *key = nullptr;
    PyObject *value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(kwargs, &position, &key, &value)) bind_keyword(signature, key, value, slots);
  }

  const std::size_t defaults = default_count(signature);
  const std::size_t first_default = signature.count - defaults;
  std::vector<std::size_t> missing;
  for (std::size_t i = 0; i < signature.count; ++i) {
    if (slots[i]) continue;
    if (i >= first_default) {
      const auto offset = PyTuple_GET_SIZE(signature.defaults) - static_cast<Py_ssize_t>(signature.count - i);
      slots[i] = py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(signature.defaults, offset));
    } else {
      missing.push_back(i);
    }
  }
  if (!missing.empty()) missing_arguments(signature, missing);
}

}  // namespace binding
