// _init_numbering(): the default template's list definitions replaced by one
// outline scheme for headings in Chinese counting numerals: 一、 at the first
// level and （一） at the second.
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark {

using binding::Name;

namespace {

inline Name abstract_num_tag{"w:abstractNum"};
inline Name abstract_num_id_attribute{"w:abstractNumId"};
inline Name lvl_tag{"w:lvl"};
inline Name ilvl_attribute{"w:ilvl"};
inline Name num_fmt_tag{"w:numFmt"};
inline Name lvl_text_tag{"w:lvlText"};
inline Name start_tag{"w:start"};
inline Name p_style_tag{"w:pStyle"};
inline Name num_tag{"w:num"};
inline Name num_id_attribute{"w:numId"};
inline Name abstract_num_id_tag{"w:abstractNumId"};
inline Name definitions_path{".//w:abstractNum|.//w:num"};

struct OutlineLevel {
  Name ilvl;
  Name start;
  Name num_fmt;
  Name p_style;
  Name lvl_text;
};

// The second level shows the first level's number (%1) in full-width
// parentheses; its own counter is never displayed.
OutlineLevel outline_levels[] = {
    {Name("0"), Name("1"), Name("chineseCountingThousand"), Name("Heading1"), Name("%1、")},
    {Name("1"), Name("1"), Name("chineseCountingThousand"), Name("Heading2"), Name("（%1）")},
};

// Abstract definition and instance share the identifier 1, which header
// paragraphs refer to.
inline Name outline_id{"1"};

py::object outline_level(const Call &c, const OutlineLevel &level) {
  py::object lvl = wordml::element(c, lvl_tag, ilvl_attribute, level.ilvl);
  // Children in the schema's sequence for a level.
  const wordml::ValueElement children[] = {
      {start_tag, level.start}, {num_fmt_tag, level.num_fmt}, {p_style_tag, level.p_style}, {lvl_text_tag, level.lvl_text}};
  for (const wordml::ValueElement &child : children) wordml::append(lvl, wordml::element(c, child));
  return lvl;
}

py::object numbering_root(py::handle doc) {
  return doc.attr(names::part).attr(names::numbering_part).attr(names::element);
}

}  // namespace

py::object init_numbering(const Call &c) {
  py::handle doc = c.arg(0);

  // A document whose numbering part cannot be read has nothing to remove; the
  // read below then reports why.
  if (binding::has_attribute(doc.attr(names::part), names::numbering_part)) {
    py::object numbering = numbering_root(doc);
    py::object definitions = binding::call_method(numbering, names::xpath, definitions_path);
    for (py::handle child : definitions) binding::call_method(numbering, names::remove, child);
  }

  py::object abstract_num = wordml::element(c, abstract_num_tag, abstract_num_id_attribute, outline_id);
  for (const OutlineLevel &level : outline_levels) wordml::append(abstract_num, outline_level(c, level));
  py::object numbering = numbering_root(doc);
  wordml::append(numbering, abstract_num);

  py::object num = wordml::element(c, num_tag, num_id_attribute, outline_id);
  wordml::append(num, wordml::element(c, {abstract_num_id_tag, outline_id}));
  wordml::append(numbering, num);
  return py::none();
}

}  // namespace quillmark
