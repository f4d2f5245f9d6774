// generate() and save(): one document from start to serialised package.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"

namespace quillmark {

using binding::call;
using binding::call_method;

namespace {

// Element types that become a paragraph; every other type is skipped.
const binding::Name *const written_types[] = {&names::TITLE, &names::HEADER, &names::PARAGRAPH};

inline binding::Name output_name{"output.docx"};

bool is_written(const Call &c, py::handle element_type) {
  for (const binding::Name *name : written_types) {
    if (binding::equals(element_type, c.global(names::ElementTypes).attr(*name))) return true;
  }
  return false;
}

}  // namespace

py::object generate(const Call &c) {
  py::handle self = c.self();
  py::handle document = c.arg(0);
  py::handle template_ = c.arg(1);

  py::object doc = call(c.global(names::PyDocxDocument));
  call_method(self, names::_init_numbering, doc);
  call_method(self, names::set_styles, doc, template_);
  for (py::handle element : document.attr(names::elements)) {
    py::object element_type = element.attr(names::type);
    if (is_written(c, element_type)) call_method(self, names::add_paragraph, doc, element, template_);
  }
  py::object data = call_method(self, names::save, doc);
  return call(c.global(names::File), names::kw_name_data, output_name, data);
}

py::object save(const Call &c) {
  py::handle doc = c.arg(0);
  py::object output = call(c.global(names::BytesIO));
  call_method(doc, names::save, output);
  py::object value = call_method(output, names::getvalue);
  binding::require_result_type(value, &PyBytes_Type);
  return value;
}

}  // namespace quillmark
