#include "quillmark/wordml.hpp"

#include "quillmark/identifiers.hpp"

namespace quillmark::wordml {

using binding::call;
using binding::call_method;

py::object qn(const binding::Call &c, const binding::Name &name) { return call(c.global(names::qn), name); }

py::object element(const binding::Call &c, const binding::Name &tag) {
  return call(c.global(names::OxmlElement), tag);
}

py::object element(const binding::Call &c, const binding::Name &tag, const binding::Name &attribute,
                   py::handle value) {
  py::object made = element(c, tag);
  call_method(made, names::set, qn(c, attribute), value);
  return made;
}

py::object element(const binding::Call &c, const ValueElement &spec) {
  return element(c, spec.tag, wml::val, spec.value);
}

void append(py::handle parent, py::handle child) { call_method(parent, names::append, child); }

}  // namespace quillmark::wordml
