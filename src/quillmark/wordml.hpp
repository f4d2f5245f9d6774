// WordprocessingML that python-docx has no API for, built leaves up through its
// element layer: each element is made unattached by the module's OxmlElement,
// gets its attribute through set() with a name qualified by the module's qn,
// receives its children in a fixed order and is attached only when complete.
#pragma once

#include "binding/function.hpp"

namespace quillmark::wordml {

namespace py = pybind11;

// An element with one w:val attribute, such as <w:color w:val="0000FF"/>.
struct ValueElement {
  const binding::Name &tag;
  const binding::Name &value;
};

py::object qn(const binding::Call &call, const binding::Name &name);

// <tag/>
py::object element(const binding::Call &call, const binding::Name &tag);
// <tag attribute="value"/>
py::object element(const binding::Call &call, const binding::Name &tag, const binding::Name &attribute,
                   py::handle value);
// <tag w:val="value"/>
py::object element(const binding::Call &call, const ValueElement &spec);

void append(py::handle parent, py::handle child);

}  // namespace quillmark::wordml
