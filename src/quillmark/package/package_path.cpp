#include "quillmark/package/package_path.hpp"

#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "quillmark/direct/context.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/direct/steps.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/package/body_writer.hpp"
#include "quillmark/package/constant_parts.hpp"
#include "quillmark/package/guards.hpp"
#include "quillmark/package/model_reads.hpp"
#include "quillmark/package/template_memo.hpp"
#include "quillmark/package/template_reading.hpp"
#include "quillmark/style_names.hpp"

namespace quillmark::package {

using binding::call;
using binding::call_method;

namespace {

inline binding::Name Quillmark{"Quillmark"};
inline binding::Name _styles_part{"_styles_part"};
inline binding::Name blob{"blob"};

struct OwnMethod {
  const binding::Name &name;
  binding::Body body;
};

// Every method generate would call, and the ones those call.
const OwnMethod own_methods[] = {
    {names::add_paragraph, add_paragraph},   {names::_add_runs, add_runs},
    {names::_add_text_content, add_text_content}, {names::_init_numbering, init_numbering},
    {names::set_styles, set_styles},         {names::_set_font_style, set_font_style},
    {names::_set_paragraph_format, set_paragraph_format}, {names::save, save},
    {names::_add_hyperlink, add_hyperlink},
};

// The generator is exactly the module's Quillmark, with every method its own.
bool own_generator(const binding::Call &c, py::handle self) {
  if (!is_exactly(c, self, Quillmark)) return false;
  py::object found;
  for (const OwnMethod &method : own_methods) {
    if (!binding::is_bound_method(self, method.name, method.body, found)) return false;
  }
  return true;
}

// Whether python-docx found every style the template registered by its name
// (finding one only by identifier warns, and such a template is not kept).
bool found_by_name(py::handle snapshot, const StyleTable &table) {
  for (py::handle style : snapshot.attr(names::styles)) {
    py::object name = style.attr(names::name).attr(names::value);
    if (!PyUnicode_CheckExact(name.ptr())) return false;
    py::str run_style = character_style_name(name);
    for (py::handle registered : {py::handle(name), py::handle(run_style)}) {
      py::object internal = call(direct::internal_style_name(), registered);
      if (!PyUnicode_CheckExact(internal.ptr())) return false;
      if (!table.has(py::str(internal).cast<std::string>())) return false;
    }
  }
  return true;
}

// The template's styles registered as set_styles registers them, on a fresh
// document, reading the snapshot in the model's place; an error is the one
// set_styles raises.
std::shared_ptr<const TemplateResults> register_template(const binding::Call &c, py::handle self,
                                                         const TemplateReading &reading,
                                                         const PackageConstants &constants) {
  py::object doc = call(c.global(names::PyDocxDocument));
  call_method(self, names::_init_numbering, doc);
  py::object snapshot = reading.snapshot();
  direct::Context context(c, doc);
  direct::set_styles(context, self, snapshot);
  py::object styles_part = doc.attr(names::part).attr(_styles_part);
  auto results = std::make_shared<TemplateResults>(TemplateResults{
      constants.generation, compress_member(constants.styles_name, styles_part.attr(blob)),
      StyleTable::read(styles_part.attr(names::element))});
  if (found_by_name(snapshot, results->table)) TemplateMemo::shared().store(reading.key(), results);
  return results;
}

py::object assemble(const PackageConstants &constants, const TemplateResults &results, const std::string &document,
                    const std::vector<HyperlinkRelationship> &hyperlinks) {
  const Member document_member = compress_member(constants.document_name, std::string_view(document));
  const std::string rels = relationships_xml(constants.relationships, hyperlinks);
  const Member rels_member = compress_member(constants.relationships_name, std::string_view(rels));
  std::vector<const Member *> members;
  for (const auto &[slot, index] : constants.layout) {
    switch (slot) {
      case PackageConstants::Slot::constant: members.push_back(&constants.members[index]); break;
      case PackageConstants::Slot::styles: members.push_back(&results.styles); break;
      case PackageConstants::Slot::document: members.push_back(&document_member); break;
      case PackageConstants::Slot::document_relationships: members.push_back(&rels_member); break;
    }
  }
  return write_container(members);
}

}  // namespace

bool write_package(const binding::Call &c, py::handle self, py::handle document, py::handle template_,
                   py::object &data) {
  if (!chain_unchanged(c.global_namespace()) || !own_generator(c, self)) return false;
  std::shared_ptr<const PackageConstants> constants = package_constants(self);
  if (!constants) return false;
  try {
    if (!is_exactly(c, document, names::Document)) return false;
    if (!plain_read(self, names::config) || !plain_read(self.attr(names::config), names::markdown)) return false;

    TemplateReading reading = read_template(c, template_);
    std::shared_ptr<const TemplateResults> results = TemplateMemo::shared().find(reading.key(), constants->generation);
    if (!results) results = register_template(c, self, reading, *constants);

    py::object elements = read_plain(document, names::elements);
    if (!PyList_CheckExact(elements.ptr()) && !PyTuple_CheckExact(elements.ptr())) return false;
    std::string xml = constants->document_head;
    xml.reserve(xml.size() + constants->document_tail.size() + 512 * static_cast<std::size_t>(Py_SIZE(elements.ptr())));
    BodyWriter writer(c, self, reading, results->table, *constants, xml);
    for (py::handle element : elements) {
      if (!writer.plain_element(element)) return false;
      py::object element_type = element.attr(names::type);
      if (writer.is_written(element_type)) writer.add_paragraph(element);
    }
    xml += constants->document_tail;
    data = assemble(*constants, *results, xml, writer.hyperlinks());
    return true;
  } catch (ElementPathNeeded &) {
    return false;
  } catch (ContainerUnsupported &) {
    return false;
  }
}

}  // namespace quillmark::package
