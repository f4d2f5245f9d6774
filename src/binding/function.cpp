// The native function type. CPython offers no public way to make a function
// object around C code that carries a qualified name, annotations, defaults and
// binds like a Python function, so this type is written against the C API.
// Everything it holds is owned by the object and released in one place.
#include "binding/function.hpp"

#include "binding/arguments.hpp"
#include "binding/boundary.hpp"
#include "binding/names.hpp"

#include <structmember.h>

#include <cstddef>
#include <string>

namespace binding {

namespace {

struct FunctionObject {
  PyObject_HEAD
  vectorcallfunc vectorcall;
  const MethodSpec *spec;
  std::size_t count;  // parameters, `self` included
  std::array<const char *, max_parameters + 1> names;
  PyObject *name;
  PyObject *qualname;
  PyObject *module;
  PyObject *doc;
  PyObject *annotations;
  PyObject *defaults;
  PyObject *globals;
  PyObject *dict;
  PyObject *weakrefs;
};

PyObject *new_reference(PyObject *object) noexcept {
  Py_INCREF(object);
  return object;
}

FunctionObject *as_function(PyObject *self) noexcept { return reinterpret_cast<FunctionObject *>(self); }

PyObject *invoke(PyObject *self, PyObject *const *args, std::size_t nargs, PyObject *kwnames, PyObject *kwargs) {
  return returning_object([&] {
    FunctionObject *f = as_function(self);
    // Held for the whole call: the body may replace __defaults__, or drop the
    // last other reference to this function.
    py::object defaults = py::reinterpret_borrow<py::object>(f->defaults);
    py::object globals = py::reinterpret_borrow<py::object>(f->globals);
#if PY_VERSION_HEX >= 0x030A0000
    PyObject *display_name = f->qualname;
#else
    PyObject *display_name = f->name;
#endif
    std::array<py::object, max_parameters + 1> slots;
    bind_arguments(Signature{display_name, f->names.data(), f->count, defaults.ptr()}, args, nargs, kwnames, kwargs,
                   slots.data());
    return f->spec->body(Call(slots.data(), globals.ptr()));
  });
}

PyObject *function_vectorcall(PyObject *self, PyObject *const *args, std::size_t nargsf, PyObject *kwnames) {
  return invoke(self, args, static_cast<std::size_t>(PyVectorcall_NARGS(nargsf)), kwnames, nullptr);
}

PyObject *function_call(PyObject *self, PyObject *args, PyObject *kwargs) {
  return invoke(self, &PyTuple_GET_ITEM(args, 0), static_cast<std::size_t>(PyTuple_GET_SIZE(args)), nullptr, kwargs);
}

PyObject *function_get(PyObject *self, PyObject *instance, PyObject * /*owner*/) {
  if (instance == nullptr || instance == Py_None) {
    Py_INCREF(self);
    return self;
  }
  return PyMethod_New(self, instance);
}

PyObject *function_repr(PyObject *self) {
  return PyUnicode_FromFormat("<function %U at %p>", as_function(self)->qualname, self);
}

int function_traverse(PyObject *self, visitproc visit, void *arg) {
  FunctionObject *f = as_function(self);
  Py_VISIT(f->name);
  Py_VISIT(f->qualname);
  Py_VISIT(f->module);
  Py_VISIT(f->doc);
  Py_VISIT(f->annotations);
  Py_VISIT(f->defaults);
  Py_VISIT(f->globals);
  Py_VISIT(f->dict);
  return 0;
}

int function_clear(PyObject *self) {
  FunctionObject *f = as_function(self);
  Py_CLEAR(f->name);
  Py_CLEAR(f->qualname);
  Py_CLEAR(f->module);
  Py_CLEAR(f->doc);
  Py_CLEAR(f->annotations);
  Py_CLEAR(f->defaults);
  Py_CLEAR(f->globals);
  Py_CLEAR(f->dict);
  return 0;
}

void function_dealloc(PyObject *self) {
  PyObject_GC_UnTrack(self);
  if (as_function(self)->weakrefs != nullptr) PyObject_ClearWeakRefs(self);
  function_clear(self);
  PyObject_GC_Del(self);
}

// Attributes that Python code may replace must keep their type, as on functions.
int set_str(PyObject **field, PyObject *value, const char *what) {
  if (value == nullptr || !PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s must be set to a string object", what);
    return -1;
  }
  Py_INCREF(value);
  Py_SETREF(*field, value);
  return 0;
}

PyObject *get_name(PyObject *self, void *) { return new_reference(as_function(self)->name); }
int set_name(PyObject *self, PyObject *value, void *) { return set_str(&as_function(self)->name, value, "__name__"); }
PyObject *get_qualname(PyObject *self, void *) { return new_reference(as_function(self)->qualname); }
int set_qualname(PyObject *self, PyObject *value, void *) {
  return set_str(&as_function(self)->qualname, value, "__qualname__");
}

PyObject *get_annotations(PyObject *self, void *) { return new_reference(as_function(self)->annotations); }
int set_annotations(PyObject *self, PyObject *value, void *) {
  if (value == nullptr || !PyDict_Check(value)) {
    PyErr_SetString(PyExc_TypeError, "__annotations__ must be set to a dict object");
    return -1;
  }
  Py_INCREF(value);
  Py_SETREF(as_function(self)->annotations, value);
  return 0;
}

PyObject *get_defaults(PyObject *self, void *) { return new_reference(as_function(self)->defaults); }
int set_defaults(PyObject *self, PyObject *value, void *) {
  if (value == nullptr) value = Py_None;
  if (value != Py_None && !PyTuple_Check(value)) {
    PyErr_SetString(PyExc_TypeError, "__defaults__ must be set to a tuple object");
    return -1;
  }
  Py_INCREF(value);
  Py_SETREF(as_function(self)->defaults, value);
  return 0;
}

PyObject *get_globals(PyObject *self, void *) { return new_reference(as_function(self)->globals); }

// inspect.signature reads this: every parameter positional-or-keyword, with
// the annotations and defaults the function carries at that moment.
PyObject *get_signature(PyObject *self, void *) {
  return returning_object([&] {
    FunctionObject *f = as_function(self);
    py::module_ inspect = py::module_::import("inspect");
    py::object parameter = inspect.attr("Parameter");
    py::object kind = parameter.attr("POSITIONAL_OR_KEYWORD");
    py::object empty = parameter.attr("empty");
    auto annotations = py::reinterpret_borrow<py::dict>(f->annotations);
    auto annotation_of = [&](const char *key) -> py::object {
      return annotations.contains(key) ? py::object(annotations[key]) : empty;
    };
    const Py_ssize_t defaults = PyTuple_Check(f->defaults) ? PyTuple_GET_SIZE(f->defaults) : 0;
    py::list parameters;
    for (std::size_t i = 0; i < f->count; ++i) {
      const auto from_end = static_cast<Py_ssize_t>(f->count - i);
      py::object fallback = from_end <= defaults
                                ? py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(f->defaults, defaults - from_end))
                                : empty;
      parameters.append(parameter(f->names[i], kind, py::arg("default") = fallback,
                                  py::arg("annotation") = annotation_of(f->names[i])));
    }
    return inspect.attr("Signature")(parameters, py::arg("return_annotation") = annotation_of("return"));
  });
}

// Pickled by reference, as Python functions are.
PyObject *function_reduce(PyObject *self, PyObject *) { return new_reference(as_function(self)->qualname); }

PyGetSetDef function_getset[] = {
    {"__name__", get_name, set_name, nullptr, nullptr},
    {"__qualname__", get_qualname, set_qualname, nullptr, nullptr},
    {"__annotations__", get_annotations, set_annotations, nullptr, nullptr},
    {"__defaults__", get_defaults, set_defaults, nullptr, nullptr},
    {"__globals__", get_globals, nullptr, nullptr, nullptr},
    {"__signature__", get_signature, nullptr, nullptr, nullptr},
    {"__dict__", PyObject_GenericGetDict, PyObject_GenericSetDict, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMemberDef function_members[] = {
    {"__module__", T_OBJECT, offsetof(FunctionObject, module), 0, nullptr},
    {"__doc__", T_OBJECT, offsetof(FunctionObject, doc), 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyMethodDef function_methods[] = {
    {"__reduce__", function_reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

// Filled in by function_type(); one type per shared object, which is why our
// modules refuse to load into a second interpreter.
PyTypeObject native_function_type = {PyVarObject_HEAD_INIT(nullptr, 0)};

PyTypeObject *function_type() {
  if (native_function_type.tp_flags & Py_TPFLAGS_READY) return &native_function_type;
  PyTypeObject &t = native_function_type;
  t.tp_name = "native_function";
  t.tp_basicsize = sizeof(FunctionObject);
#ifdef Py_TPFLAGS_HAVE_VECTORCALL
  t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_METHOD_DESCRIPTOR | Py_TPFLAGS_HAVE_VECTORCALL;
#else
  t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_METHOD_DESCRIPTOR | _Py_TPFLAGS_HAVE_VECTORCALL;
#endif
  t.tp_vectorcall_offset = offsetof(FunctionObject, vectorcall);
  t.tp_dealloc = function_dealloc;
  t.tp_repr = function_repr;
  t.tp_call = function_call;
  t.tp_getattro = PyObject_GenericGetAttr;
  t.tp_setattro = PyObject_GenericSetAttr;
  t.tp_traverse = function_traverse;
  t.tp_clear = function_clear;
  t.tp_weaklistoffset = offsetof(FunctionObject, weakrefs);
  t.tp_methods = function_methods;
  t.tp_members = function_members;
  t.tp_getset = function_getset;
  t.tp_descr_get = function_get;
  t.tp_dictoffset = offsetof(FunctionObject, dict);
  if (PyType_Ready(&t) < 0) throw py::error_already_set();
  return &t;
}

py::dict annotations_of(const MethodSpec &spec) {
  py::dict annotations;
  for (std::size_t i = 0; i < spec.parameter_count(); ++i) {
    annotations[spec.parameters[i].name] = py::str(spec.parameters[i].annotation);
  }
  annotations["return"] = py::str(spec.returns);
  return annotations;
}

py::object defaults_of(const MethodSpec &spec) {
  py::list defaults;
  for (std::size_t i = 0; i < spec.parameter_count(); ++i) {
    switch (spec.parameters[i].fallback) {
      case Default::required:
        break;
      case Default::false_value:
        defaults.append(py::bool_(false));
        break;
    }
  }
  if (defaults.empty()) return py::none();
  return py::tuple(defaults);
}

}  // namespace

py::object Call::global(const Name &name) const { return load_global(globals_, name); }

Body native_body(py::handle function) noexcept {
  if (Py_TYPE(function.ptr()) != &native_function_type) return nullptr;
  return as_function(function.ptr())->spec->body;
}

bool is_bound_method(py::handle self, const Name &name, Body body, py::object &found) {
  found = py::reinterpret_steal<py::object>(PyObject_GetAttr(self.ptr(), name.get().ptr()));
  if (!found) throw py::error_already_set();
  return PyMethod_Check(found.ptr()) && PyMethod_GET_SELF(found.ptr()) == self.ptr() &&
         native_body(PyMethod_GET_FUNCTION(found.ptr())) == body;
}

py::object make_function(const MethodSpec &spec, const char *class_name, py::handle globals) {
  PyTypeObject *type = function_type();
  py::str name(spec.name);
  py::str qualname(std::string(class_name) + "." + spec.name);
  py::object module = py::reinterpret_borrow<py::dict>(globals)["__name__"];
  py::object doc = spec.doc != nullptr ? py::object(py::str(spec.doc)) : py::object(py::none());
  py::dict annotations = annotations_of(spec);
  py::object defaults = defaults_of(spec);

  auto *f = PyObject_GC_New(FunctionObject, type);
  if (f == nullptr) throw py::error_already_set();
  f->vectorcall = function_vectorcall;
  f->spec = &spec;
  f->count = spec.parameter_count() + 1;
  f->names = {};
  f->names[0] = "self";
  for (std::size_t i = 0; i + 1 < f->count; ++i) f->names[i + 1] = spec.parameters[i].name;
  f->name = name.release().ptr();
  f->qualname = qualname.release().ptr();
  f->module = module.release().ptr();
  f->doc = doc.release().ptr();
  f->annotations = annotations.release().ptr();
  f->defaults = defaults.release().ptr();
  f->globals = new_reference(globals.ptr());
  f->dict = nullptr;
  f->weakrefs = nullptr;
  PyObject_GC_Track(f);
  return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject *>(f));
}

}  // namespace binding
