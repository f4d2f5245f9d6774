#include "quillmark/package/body_writer.hpp"

#include "binding/calls.hpp"
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/markdown_links.hpp"
#include "quillmark/package/model_reads.hpp"
#include "quillmark/package/xml_text.hpp"
#include "quillmark/rich_runs.hpp"
#include "quillmark/style_names.hpp"
#include "quillmark/template_settings.hpp"

#include <climits>

namespace quillmark::package {

namespace {

// The link symbol, and what readers see in its place (UTF-8).
constexpr std::string_view kLinkSymbol = "\xF0\x9F\x94\x97";
constexpr std::string_view kLinkSymbolText = "(\xE6\x9F\xA5\xE7\x9C\x8B\xE5\x8E\x9F\xE6\x96\x87)";

bool bool_or_none(py::handle value) { return value.is_none() || PyBool_Check(value.ptr()); }

std::string_view utf8_or_restart(py::handle text) {
  std::string_view utf8;
  if (!PyUnicode_CheckExact(text.ptr()) || !writable_utf8(text, utf8)) throw ElementPathNeeded();
  return utf8;
}

// A run's on/off property as python-docx's Font setters write it: nothing
// for None, the bare element for True, w:val="0" for False.
void on_off(std::string &out, py::handle value, const char *tag) {
  if (value.is_none()) return;
  out += '<';
  out += tag;
  out += value.ptr() == Py_True ? "/>" : " w:val=\"0\"/>";
}

Py_UCS4 code_point_at(std::string_view utf8, std::size_t at) {
  const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
  Py_UCS4 code = bytes[at];
  const int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
  code &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
  for (int i = 1; i <= extra; ++i) code = (code << 6) | (bytes[at + static_cast<std::size_t>(i)] & 0x3F);
  return code;
}

// Whether str.strip() would shorten the text (python-docx then asks readers
// to keep its white space).
bool outer_space(std::string_view utf8) {
  if (utf8.empty()) return false;
  std::size_t last = utf8.size() - 1;
  while (last > 0 && (static_cast<unsigned char>(utf8[last]) & 0xC0) == 0x80) --last;
  return Py_UNICODE_ISSPACE(code_point_at(utf8, 0)) || Py_UNICODE_ISSPACE(code_point_at(utf8, last));
}

std::string run_style_element(const std::string *id) {
  if (id == nullptr) return std::string();
  std::string element = "<w:rStyle w:val=\"";
  append_attribute(element, *id);
  return element + "\"/>";
}

}  // namespace

BodyWriter::BodyWriter(const binding::Call &c, py::handle self, const TemplateReading &reading,
                       const StyleTable &styles, const PackageConstants &constants, std::string &out)
    : c_(c), self_(self), reading_(reading), styles_(styles), out_(out) {
  py::object types = c.global(names::ElementTypes);
  title_ = types.attr(names::TITLE);
  header_ = types.attr(names::HEADER);
  paragraph_ = types.attr(names::PARAGRAPH);
  for (const Relationship &rel : constants.relationships) {
    template_ids_.insert(rel.id);
    // python-docx reuses the first external hyperlink to the same target.
    if (rel.external && rel.type == kHyperlinkRelationshipType) links_.emplace(rel.target, rel.id);
  }
}

// `value == member` for an element type: by identity for a member of the
// model's ElementTypes, by the str's own comparison for a str.
bool BodyWriter::equals_member(py::handle value, py::handle member) {
  if (is_exactly(c_, value, names::ElementTypes)) return value.is(member);
  if (!PyUnicode_CheckExact(value.ptr())) throw ElementPathNeeded();
  return binding::equals(value, member);
}

bool BodyWriter::is_written(py::handle element_type) {
  return equals_member(element_type, title_) || equals_member(element_type, header_) ||
         equals_member(element_type, paragraph_);
}

// `name in (style.name.value for style in template.styles)`.
bool BodyWriter::is_template_style(py::handle name) {
  if (!name.is_none() && !PyUnicode_CheckExact(name.ptr())) throw ElementPathNeeded();
  for (const TemplateReading::StyleValues &style : reading_.styles()) {
    const int equal = PyObject_RichCompareBool(style.name.ptr(), name.ptr(), Py_EQ);
    if (equal < 0) throw py::error_already_set();
    if (equal) return true;
  }
  return false;
}

// The bold setting of the first template style that bears `name`.
py::object BodyWriter::template_bold(py::handle name) {
  for (const TemplateReading::StyleValues &style : reading_.styles()) {
    const int equal = PyObject_RichCompareBool(style.name.ptr(), name.ptr(), Py_EQ);
    if (equal < 0) throw py::error_already_set();
    if (equal) return style.font[kFontBoldSlot];
  }
  return py::bool_(false);
}

py::handle BodyWriter::fallback_style() {
  if (!fallback_) {
    py::object member = c_.global(names::StyleNames).attr(names::TEXT);
    if (!is_exactly(c_, member, names::StyleNames)) throw ElementPathNeeded();
    fallback_ = member.attr(names::value);
  }
  return fallback_;
}

const BodyWriter::NameInfo &BodyWriter::name_info(py::handle name) {
  if (!PyUnicode_CheckExact(name.ptr())) throw ElementPathNeeded();
  PyObject *index = PyDict_GetItemWithError(name_index_.ptr(), name.ptr());
  if (index != nullptr) return names_[PyLong_AsSize_t(index)];
  if (PyErr_Occurred()) throw py::error_already_set();
  py::object internal = binding::call(direct::internal_style_name(), name);
  NameInfo info{std::string(utf8_or_restart(internal)), false};
  info.in_document = styles_.has(info.internal);
  name_index_[name] = py::int_(names_.size());
  names_.push_back(std::move(info));
  return names_.back();
}

const std::string *BodyWriter::style_id(py::handle name, StyleKind kind) {
  const std::string *id = nullptr;
  if (!styles_.resolve(name_info(name).internal, kind, id)) throw ElementPathNeeded();
  return id;
}

bool BodyWriter::plain_element(py::handle element) {
  PyTypeObject *type = Py_TYPE(element.ptr());
  if (type == plain_element_type_) return true;
  if (!is_exactly(c_, element, names::Element)) return false;
  for (const binding::Name *read : {&names::type, &names::style_name, &names::level, &names::runs, &names::text}) {
    if (!plain_read(element, *read)) return false;
  }
  plain_element_type_ = type;
  return true;
}

BodyWriter::ParagraphStyle &BodyWriter::paragraph_style(py::handle name) {
  PyObject *index = PyDict_GetItemWithError(paragraph_style_index_.ptr(), name.ptr());
  if (index != nullptr) return paragraph_styles_[PyLong_AsSize_t(index)];
  if (PyErr_Occurred()) throw py::error_already_set();

  ParagraphStyle style;
  style.name = py::reinterpret_borrow<py::object>(name);
  const std::string *id = style_id(name, StyleKind::paragraph);
  if (id != nullptr) {
    style.properties = "<w:pStyle w:val=\"";
    append_attribute(style.properties, *id);
    style.properties += "\"/>";
  }
  style.bold = template_bold(name);
  if (!bool_or_none(style.bold)) throw ElementPathNeeded();
  paragraph_style_index_[name] = py::int_(paragraph_styles_.size());
  paragraph_styles_.push_back(std::move(style));
  return paragraph_styles_.back();
}

// The run properties of the paragraph style's text: its "Tv" character
// style and the template's bold, and for hyperlinks that style by identifier
// with the link's colour and underline.
void BodyWriter::text_properties(ParagraphStyle &style) {
  if (style.text_known) return;
  py::str run_style = character_style_name(style.name);
  const std::string element = run_style_element(style_id(run_style, StyleKind::character));
  std::string bold;
  on_off(bold, style.bold, "w:b");
  style.run_properties = element.empty() && bold.empty() ? "<w:rPr/>" : "<w:rPr>" + element + bold + "</w:rPr>";

  py::str link_style_id = character_style_id(style.name);
  style.link_properties = "<w:rPr><w:rStyle w:val=\"";
  append_attribute(style.link_properties, utf8_or_restart(link_style_id));
  style.link_properties += "\"/>";
  if (binding::is_true(style.bold)) style.link_properties += "<w:b w:val=\"true\"/>";
  style.link_properties += "<w:color w:val=\"0000FF\"/><w:u w:val=\"single\"/></w:rPr>";
  style.text_known = true;
}

void BodyWriter::add_paragraph(py::handle element) {
  // The paragraph's style: the element's own when it is a template style and
  // a style of the document, else the fallback (style_name read as
  // add_paragraph reads it: once for each test and once for the result).
  py::object style_name;
  if (is_template_style(element.attr(names::style_name)) &&
      name_info(element.attr(names::style_name)).in_document) {
    style_name = element.attr(names::style_name);
  } else {
    style_name = py::reinterpret_borrow<py::object>(fallback_style());
  }
  ParagraphStyle &style = paragraph_style(style_name);

  // Outline numbering for headers whose level is not 2.
  bool numbered = false;
  long long list_level = 0;
  if (equals_member(element.attr(names::type), header_) && binding::has_attribute(element, names::level)) {
    py::object level = element.attr(names::level);
    if (!level.is_none()) {
      if (!PyLong_CheckExact(level.ptr())) throw ElementPathNeeded();
      int overflow = 0;
      const long long value = PyLong_AsLongLongAndOverflow(level.ptr(), &overflow);
      if (overflow || value - 1 < INT_MIN || value - 1 > INT_MAX) throw ElementPathNeeded();
      numbered = value != 2;
      list_level = value - 1;
    }
  }

  // The paragraph properties python-docx writes: the style (none for the
  // default one), then the numbering.
  out_ += "<w:p>";
  if (style.properties.empty() && !numbered) {
    out_ += "<w:pPr/>";
  } else {
    out_ += "<w:pPr>";
    out_ += style.properties;
    if (numbered) {
      out_ += "<w:numPr><w:ilvl w:val=\"";
      out_ += std::to_string(list_level);
      out_ += "\"/><w:numId w:val=\"1\"/></w:numPr>";
    }
    out_ += "</w:pPr>";
  }

  if (binding::has_attribute(element, names::runs) && binding::is_true(element.attr(names::runs))) {
    py::object runs = element.attr(names::runs);
    binding::require_exact_type(runs, &PyList_Type, "runs");
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(runs.ptr()); ++i) {
      rich_run(py::reinterpret_borrow<py::object>(PyList_GET_ITEM(runs.ptr(), i)));
    }
  } else {
    py::object text = binding::attribute_or(element, names::text, py::str(""));
    if (binding::is_true(text)) text_content(text, style);
  }
  out_ += "</w:p>";
}

// paragraph.add_run(item.text), then the item's bold, italic and underline.
void BodyWriter::rich_run(py::handle item) {
  if (Py_TYPE(item.ptr()) != plain_run_type_) {
    for (const binding::Name *read : std::initializer_list<const binding::Name *>{
             &names::text, run_properties[0], run_properties[1], run_properties[2]}) {
      if (!plain_read(item, *read)) throw ElementPathNeeded();
    }
    plain_run_type_ = Py_TYPE(item.ptr());
  }
  py::object text = item.attr(names::text);
  const bool has_text = binding::is_true(text);
  const std::string_view utf8 = has_text ? utf8_or_restart(text) : std::string_view();
  py::object settings[3];
  for (int i = 0; i < 3; ++i) {
    settings[i] = item.attr(*run_properties[i]);
    if (!bool_or_none(settings[i])) throw ElementPathNeeded();
  }
  out_ += "<w:r>";
  if (settings[0].is_none() && settings[1].is_none() && settings[2].is_none()) {
    out_ += "<w:rPr/>";
  } else {
    out_ += "<w:rPr>";
    on_off(out_, settings[0], "w:b");
    on_off(out_, settings[1], "w:i");
    if (!settings[2].is_none()) {
      out_ += settings[2].ptr() == Py_True ? "<w:u w:val=\"single\"/>" : "<w:u w:val=\"none\"/>";
    }
    out_ += "</w:rPr>";
  }
  if (has_text) run_content(utf8);
  out_ += "</w:r>";
}

// _add_text_content(paragraph, text, style_name, bold): runs in the "Tv"
// character style, and with markdown on, each link a hyperlink (the module's
// `re` is the real one here, so its pattern finds what the scan finds).
void BodyWriter::text_content(py::handle text, ParagraphStyle &style) {
  binding::require_exact_type(text, &PyUnicode_Type, "text");
  binding::require_exact_type(style.name, &PyUnicode_Type, "style_name");
  const std::string_view utf8 = utf8_or_restart(text);
  const bool convert = self_.attr(names::config).attr(names::markdown).ptr() == Py_True;
  text_properties(style);
  const std::vector<LinkMatch> links = convert ? find_markdown_links(utf8) : std::vector<LinkMatch>();
  const auto slice = [&](Py_ssize_t from, Py_ssize_t to) {
    return utf8.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  };
  Py_ssize_t pos = 0;
  for (const LinkMatch &link : links) {
    if (link.start > pos) styled_run(slice(pos, link.start), style);
    hyperlink(slice(link.target_start, link.target_end), slice(link.text_start, link.text_end), style);
    pos = link.end;
  }
  if (static_cast<std::size_t>(pos) < utf8.size()) styled_run(utf8.substr(static_cast<std::size_t>(pos)), style);
}

// run = paragraph.add_run(text, style="Tv" + name); run.bold = bold
void BodyWriter::styled_run(std::string_view utf8, const ParagraphStyle &style) {
  out_ += "<w:r>";
  out_ += style.run_properties;
  run_content(utf8);
  out_ += "</w:r>";
}

// What python-docx's run text setter writes: each tab a w:tab, each line
// feed or carriage return a w:br, the text between in w:t elements.
void BodyWriter::run_content(std::string_view utf8) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c != '\t' && c != '\n' && c != '\r') continue;
    text_element(utf8.substr(start, i - start));
    out_ += c == '\t' ? "<w:tab/>" : "<w:br/>";
    start = i + 1;
  }
  text_element(utf8.substr(start));
}

void BodyWriter::text_element(std::string_view utf8) {
  if (utf8.empty()) return;
  out_ += outer_space(utf8) ? "<w:t xml:space=\"preserve\">" : "<w:t>";
  append_text(out_, utf8);
  out_ += "</w:t>";
}

// _add_hyperlink(paragraph, url, text, style_name, bold): the link symbol
// shown as a note, the text kept as it is (no tabs or breaks made of it).
void BodyWriter::hyperlink(std::string_view target, std::string_view text, const ParagraphStyle &style) {
  std::string shown;
  for (std::size_t at = 0;;) {
    const std::size_t symbol = text.find(kLinkSymbol, at);
    shown.append(text.substr(at, symbol == std::string_view::npos ? std::string_view::npos : symbol - at));
    if (symbol == std::string_view::npos) break;
    shown.append(kLinkSymbolText);
    at = symbol + kLinkSymbol.size();
  }
  const std::string &id = relate(target);
  out_ += "<w:hyperlink r:id=\"";
  append_attribute(out_, id);
  out_ += "\"><w:r>";
  out_ += style.link_properties;
  out_ += outer_space(shown) ? "<w:t xml:space=\"preserve\">" : "<w:t>";
  append_text(out_, shown);
  out_ += "</w:t></w:r></w:hyperlink>";
}

// part.relate_to(target, hyperlink, is_external=True): the first relationship
// to the target, or a new one with the lowest free "rIdN".
const std::string &BodyWriter::relate(std::string_view target) {
  std::string key(target);
  auto found = links_.find(key);
  if (found != links_.end()) return found->second;
  std::string id;
  do {
    id = "rId" + std::to_string(next_id_++);
  } while (template_ids_.count(id));
  const auto &added = *links_.emplace(std::move(key), std::move(id)).first;  // nodes stay where they are
  hyperlinks_.push_back({&added.second, &added.first});
  return added.second;
}

}  // namespace quillmark::package
