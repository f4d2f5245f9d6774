// _init_numbering(): the default template's list definitions replaced by one
// outline scheme for headings in Chinese counting numerals: 一、 at the first
// level and （一） at the second.
#include "binding/names.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark {

namespace {

struct OutlineLevel {
  const char *ilvl;
  const char *num_fmt;
  const char *lvl_text;
  const char *start;
  const char *p_style;
};

// The second level shows the first level's number (%1) in full-width
// parentheses; its own counter is never displayed.
constexpr OutlineLevel outline_levels[] = {
    {"0", "chineseCountingThousand", "%1、", "1", "Heading1"},
    {"1", "chineseCountingThousand", "（%1）", "1", "Heading2"},
};

// Abstract definition and instance share the identifier 1, which header
// paragraphs refer to.
constexpr const char outline_id[] = "1";

py::object outline_level(const Call &call, const OutlineLevel &level) {
  py::object lvl = wordml::element(call, "w:lvl", "w:ilvl", level.ilvl);
  // Children in this order, which readers accept although the schema lists
  // w:start first.
  const wordml::ValueElement children[] = {
      {"w:numFmt", level.num_fmt}, {"w:lvlText", level.lvl_text}, {"w:start", level.start}, {"w:pStyle", level.p_style}};
  for (const wordml::ValueElement &child : children) wordml::append(lvl, wordml::element(call, child));
  return lvl;
}

py::object numbering_root(py::handle doc) { return doc.attr("part").attr("numbering_part").attr("element"); }

}  // namespace

py::object init_numbering(const Call &call) {
  py::handle doc = call.arg(0);

  // A document whose numbering part cannot be read has nothing to remove; the
  // read below then reports why.
  if (binding::has_attribute(doc.attr("part"), "numbering_part")) {
    py::object numbering = numbering_root(doc);
    py::object definitions = numbering.attr("xpath")(".//w:abstractNum|.//w:num");
    for (py::handle child : definitions) numbering.attr("remove")(child);
  }

  py::object abstract_num = wordml::element(call, "w:abstractNum", "w:abstractNumId", outline_id);
  for (const OutlineLevel &level : outline_levels) wordml::append(abstract_num, outline_level(call, level));
  py::object numbering = numbering_root(doc);
  wordml::append(numbering, abstract_num);

  py::object num = wordml::element(call, "w:num", "w:numId", outline_id);
  wordml::append(num, wordml::element(call, "w:abstractNumId", "w:val", outline_id));
  wordml::append(numbering, num);
  return py::none();
}

}  // namespace quillmark
