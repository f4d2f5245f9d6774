// generate() and save(): one document from start to serialised package, by
// whichever of three ways applies: the package written directly (package/),
// the elements written directly (direct/), or every step through python-docx
// and the methods looked up on self (the faithful path).
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/direct/steps.hpp"
#include "quillmark/document_driver.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/package/package_path.hpp"

namespace quillmark {

using binding::call;
using binding::call_method;

namespace {

// Element types that become a paragraph; every other type is skipped.
const binding::Name *const written_types[] = {&names::TITLE, &names::HEADER, &names::PARAGRAPH};

inline binding::Name output_name{"output.docx"};

// Styles and elements through python-docx's high-level API, every step looked
// up on self.
void build_faithfully(const Call &c, py::handle self, py::handle doc, py::handle document, py::handle template_) {
  call_method(self, names::set_styles, doc, template_);
  for (py::handle element : document.attr(names::elements)) {
    py::object element_type = element.attr(names::type);
    if (is_written(c, element_type)) call_method(self, names::add_paragraph, doc, element, template_);
  }
}

// The same, with the generator's own set_styles and add_paragraph taking the
// direct path (direct/guards.hpp); overrides are called as above.
void build_directly(const Call &c, py::handle self, py::handle doc, py::handle document, py::handle template_) {
  direct::Context context(c, doc);
  py::object method;
  if (binding::is_bound_method(self, names::set_styles, set_styles, method)) {
    direct::set_styles(context, self, template_);
  } else {
    call(method, doc, template_);
    context.invalidate();
  }
  for (py::handle element : document.attr(names::elements)) {
    py::object element_type = element.attr(names::type);
    if (!is_written(c, element_type)) continue;
    if (binding::is_bound_method(self, names::add_paragraph, add_paragraph, method)) {
      direct::add_paragraph(context, self, element, template_);
    } else {
      call(method, doc, element, template_);
      context.invalidate();
    }
  }
}

}  // namespace

bool is_written(const Call &c, py::handle element_type) {
  for (const binding::Name *name : written_types) {
    if (binding::equals(element_type, c.global(names::ElementTypes).attr(*name))) return true;
  }
  return false;
}

py::object generate(const Call &c) {
  py::handle self = c.self();
  py::handle document = c.arg(0);
  py::handle template_ = c.arg(1);

  py::object data;
  if (!package::write_package(c, self, document, template_, data)) {
    py::object doc = call(c.global(names::PyDocxDocument));
    call_method(self, names::_init_numbering, doc);
    if (direct::Context::applies(doc)) {
      build_directly(c, self, doc, document, template_);
    } else {
      build_faithfully(c, self, doc, document, template_);
    }
    data = call_method(self, names::save, doc);
  }
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
