// The one place where a Python error travelling as a C++ exception becomes a
// Python error again: the boundary where Python calls into our code.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <new>

namespace binding {

namespace py = pybind11;

// Reports the exception in flight to the interpreter. A Python exception is
// restored as the very object that was raised, with its traceback.
inline void restore_current_exception() noexcept {
  try {
    throw;
  } catch (py::error_already_set &e) {
    e.restore();
  } catch (py::builtin_exception &e) {
    e.set_error();
  } catch (const std::bad_alloc &) {
    PyErr_NoMemory();
  } catch (const std::exception &e) {
    PyErr_SetString(PyExc_SystemError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
  }
}

// Runs `body` for a slot that returns a new reference, or NULL with an error set.
template <class Body>
PyObject *returning_object(Body &&body) noexcept {
  try {
    return body().release().ptr();
  } catch (...) {
    restore_current_exception();
    return nullptr;
  }
}

// Runs `body` for a slot that returns 0, or -1 with an error set.
template <class Body>
int returning_status(Body &&body) noexcept {
  try {
    body();
    return 0;
  } catch (...) {
    restore_current_exception();
    return -1;
  }
}

}  // namespace binding
