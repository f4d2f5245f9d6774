// Calls made the way the interpreter makes them (vectorcall): no argument
// tuple, no keyword dictionary and, for methods, no bound-method object.
//
//   call(f, a, b)                              f(a, b)
//   call_method(obj, names::add_run, text)     obj.add_run(text)
//   call_method(obj, names::add_run, kw_style, text, style)
//                                              obj.add_run(text, style=style)
//
// Arguments are handles or interned names, kept alive by the caller; keyword
// values come last, in the order of the KeywordNames.
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

#include <array>
#include <cstddef>
#include <type_traits>

namespace binding {

namespace py = pybind11;

// The names of a call's keyword arguments, as the interpreter passes them: a
// tuple of interned strings, made on first use and kept for the process.
class KeywordNames {
 public:
  constexpr explicit KeywordNames(const char *first, const char *second = nullptr) noexcept
      : names_{first, second} {}

  std::size_t size() const noexcept { return names_[1] == nullptr ? 1 : 2; }
  PyObject *get() const {
    if (tuple_ == nullptr) {
      PyObject *tuple = PyTuple_New(static_cast<Py_ssize_t>(size()));
      if (tuple == nullptr) throw py::error_already_set();
      for (std::size_t i = 0; i < size(); ++i) {
        PyObject *name = PyUnicode_InternFromString(names_[i]);
        if (name == nullptr) {
          Py_DECREF(tuple);
          throw py::error_already_set();
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), name);
      }
      tuple_ = tuple;
    }
    return tuple_;
  }

 private:
  const char *names_[2];
  mutable PyObject *tuple_ = nullptr;
};

namespace detail {

// Handles and objects, and interned names. Anything else (a pybind11
// accessor, say) would be converted to a temporary that may not outlive the
// call, so it does not compile: name the object first.
template <class T, std::enable_if_t<std::is_base_of<py::handle, T>::value, int> = 0>
PyObject *pointer(const T &value) {
  return value.ptr();
}
inline PyObject *pointer(const Name &name) { return name.get().ptr(); }

inline py::object result(PyObject *value) {
  if (value == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(value);
}

inline PyObject *vectorcall(PyObject *callable, PyObject *const *args, std::size_t nargsf, PyObject *kwnames) {
#if PY_VERSION_HEX >= 0x03090000
  return PyObject_Vectorcall(callable, args, nargsf, kwnames);
#else
  return _PyObject_Vectorcall(callable, args, nargsf, kwnames);
#endif
}

// argv is laid out as [spare, self, arguments...]: the callee may use the
// slot before the first argument it gets (PY_VECTORCALL_ARGUMENTS_OFFSET).
inline py::object call(py::handle callable, PyObject **argv, std::size_t count, const KeywordNames *keywords) {
  PyObject *kwnames = keywords != nullptr ? keywords->get() : nullptr;
  const std::size_t positional = count - (keywords != nullptr ? keywords->size() : 0);
  return result(vectorcall(callable.ptr(), argv + 2, positional | PY_VECTORCALL_ARGUMENTS_OFFSET, kwnames));
}

inline py::object call_method(py::handle self, const Name &name, PyObject **argv, std::size_t count,
                              const KeywordNames *keywords) {
#if PY_VERSION_HEX >= 0x03090000
  argv[1] = self.ptr();
  PyObject *kwnames = keywords != nullptr ? keywords->get() : nullptr;
  const std::size_t positional = 1 + count - (keywords != nullptr ? keywords->size() : 0);
  return result(PyObject_VectorcallMethod(name.get().ptr(), argv + 1, positional | PY_VECTORCALL_ARGUMENTS_OFFSET,
                                          kwnames));
#else
  py::object method = result(PyObject_GetAttr(self.ptr(), name.get().ptr()));
  return call(method, argv, count, keywords);
#endif
}

}  // namespace detail

template <class... Args>
py::object call(py::handle callable, const Args &...args) {
  std::array<PyObject *, sizeof...(Args) + 2> argv{nullptr, nullptr, detail::pointer(args)...};
  return detail::call(callable, argv.data(), sizeof...(Args), nullptr);
}

template <class... Args>
py::object call(py::handle callable, const KeywordNames &keywords, const Args &...args) {
  std::array<PyObject *, sizeof...(Args) + 2> argv{nullptr, nullptr, detail::pointer(args)...};
  return detail::call(callable, argv.data(), sizeof...(Args), &keywords);
}

template <class... Args>
py::object call_method(py::handle self, const Name &name, const Args &...args) {
  std::array<PyObject *, sizeof...(Args) + 2> argv{nullptr, nullptr, detail::pointer(args)...};
  return detail::call_method(self, name, argv.data(), sizeof...(Args), nullptr);
}

template <class... Args>
py::object call_method(py::handle self, const Name &name, const KeywordNames &keywords, const Args &...args) {
  std::array<PyObject *, sizeof...(Args) + 2> argv{nullptr, nullptr, detail::pointer(args)...};
  return detail::call_method(self, name, argv.data(), sizeof...(Args), &keywords);
}

}  // namespace binding
