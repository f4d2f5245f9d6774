// tolvek.doc.generator.generate.generators.lodestem: the abstract contract
// that every generator follows. A generator is built from a Config and keeps
// it; it turns a Document and a Template into a File through generate().
#include "binding/classes.hpp"
#include "binding/imports.hpp"
#include "binding/module.hpp"

namespace {

namespace py = pybind11;
using binding::Call;

py::object init(const Call &call) {
  call.self().attr("config") = call.arg(0);
  return py::none();
}

py::object generate(const Call &) {
  PyErr_SetNone(PyExc_NotImplementedError);
  throw py::error_already_set();
}

// What Python sees of class Lodestem, in the order of its class body.
const binding::MethodSpec lodestem_methods[] = {
    {"__init__", {{{"config", "Config"}}}, "None", nullptr, init},
    {"generate", {{{"document", "Document"}, {"template", "Template"}}}, "File", "生成文件", generate, true},
};

void bind_names(py::dict globals) {
  binding::import_from(globals, "abc", {{"ABC"}, {"abstractmethod"}});
  binding::import_from(globals, "tolvek.doc.generator.generate.models",
                       {{"Config"}, {"Document"}, {"File"}, {"Template"}});
  globals["Lodestem"] = binding::make_class(globals, "Lodestem", globals["ABC"], lodestem_methods);
}

}  // namespace

// Exported explicitly: before 3.9, PyMODINIT_FUNC does not override hidden visibility.
extern "C" PYBIND11_EXPORT PyObject *PyInit_lodestem() { return binding::define_module<bind_names>("lodestem"); }
