// generate() and save(): one document from start to serialised package.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/methods.hpp"

namespace quillmark {

namespace {

// Element types that become a paragraph; every other type is skipped.
constexpr const char *written_types[] = {"TITLE", "HEADER", "PARAGRAPH"};

bool is_written(const Call &call, py::handle element_type) {
  for (const char *name : written_types) {
    if (binding::equals(element_type, call.global("ElementTypes").attr(name))) return true;
  }
  return false;
}

}  // namespace

py::object generate(const Call &call) {
  py::handle self = call.self();
  py::handle document = call.arg(0);
  py::handle template_ = call.arg(1);

  py::object doc = call.global("PyDocxDocument")();
  self.attr("_init_numbering")(doc);
  self.attr("set_styles")(doc, template_);
  for (py::handle element : document.attr("elements")) {
    py::object element_type = element.attr("type");
    if (is_written(call, element_type)) self.attr("add_paragraph")(doc, element, template_);
  }
  py::object data = self.attr("save")(doc);
  return call.global("File")(py::arg("name") = "output.docx", py::arg("data") = data);
}

py::object save(const Call &call) {
  py::handle doc = call.arg(0);
  py::object output = call.global("BytesIO")();
  doc.attr("save")(output);
  py::object value = output.attr("getvalue")();
  binding::require_result_type(value, &PyBytes_Type);
  return value;
}

}  // namespace quillmark
