#include "quillmark/wordml.hpp"

namespace quillmark::wordml {

py::object qn(const binding::Call &call, const char *name) { return call.global("qn")(name); }

py::object element(const binding::Call &call, const char *tag) { return call.global("OxmlElement")(tag); }

py::object element(const binding::Call &call, const char *tag, const char *attribute, py::handle value) {
  py::object made = element(call, tag);
  made.attr("set")(qn(call, attribute), value);
  return made;
}

py::object element(const binding::Call &call, const char *tag, const char *attribute, const char *value) {
  return element(call, tag, attribute, py::str(value));
}

py::object element(const binding::Call &call, const ValueElement &spec) {
  return element(call, spec.tag, "w:val", spec.value);
}

void append(py::handle parent, py::handle child) { parent.attr("append")(child); }

}  // namespace quillmark::wordml
