#include "quillmark/package/style_table.hpp"

#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/identifiers.hpp"

namespace quillmark::package {

namespace {

inline binding::Name style_lst{"style_lst"};
inline binding::Name styleId{"styleId"};
inline binding::Name default_for{"default_for"};

std::string utf8(py::handle text) {
  Py_ssize_t size = 0;
  const char *data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

StyleTable StyleTable::read(py::handle styles_element) {
  py::handle types = direct::style_types();
  py::object paragraph = types.attr(names::PARAGRAPH), character = types.attr(names::CHARACTER);
  py::object default_paragraph = binding::call_method(styles_element, default_for, paragraph);
  py::object default_character = binding::call_method(styles_element, default_for, character);

  StyleTable table;
  for (py::handle style : styles_element.attr(style_lst)) {
    py::object name = style.attr(names::name_val);
    if (!PyUnicode_CheckExact(name.ptr())) continue;  // a style without a name is never found by one
    std::string key = utf8(name);
    if (table.by_name_.count(key)) continue;  // python-docx finds the first of a name
    py::object type = style.attr(names::type);
    // A style without a type is a paragraph style.
    StyleKind kind = type.is_none() || binding::equals(type, paragraph) ? StyleKind::paragraph
                     : binding::equals(type, character)                ? StyleKind::character
                                                                        : StyleKind::other;
    const bool is_default = (kind == StyleKind::paragraph && style.is(default_paragraph)) ||
                            (kind == StyleKind::character && style.is(default_character));
    py::object id = style.attr(styleId);
    if (!is_default && !PyUnicode_CheckExact(id.ptr())) kind = StyleKind::other;  // never resolved here
    std::string id_utf8 = is_default || !PyUnicode_CheckExact(id.ptr()) ? std::string() : utf8(id);
    table.bytes_ += key.size() * 2 + id_utf8.size() + sizeof(Style) + 32;
    table.by_name_.emplace(std::move(key), Style{kind, std::move(id_utf8), is_default});
  }
  return table;
}

const StyleTable::Style *StyleTable::find(std::string_view internal_name) const {
  auto found = by_name_.find(std::string(internal_name));
  return found == by_name_.end() ? nullptr : &found->second;
}

bool StyleTable::resolve(std::string_view internal_name, StyleKind kind, const std::string *&id) const {
  const Style *style = find(internal_name);
  if (style == nullptr || style->kind != kind) return false;
  id = style->is_default ? nullptr : &style->id;
  return true;
}

}  // namespace quillmark::package
