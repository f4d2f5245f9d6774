// The styles of a document's styles part as python-docx looks them up by
// name, read once when a template's results are made and kept as plain
// data: what `name in doc.styles` answers, and what Styles.get_style_id
// resolves a paragraph's or run's style name to.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <unordered_map>

namespace quillmark::package {

namespace py = pybind11;

enum class StyleKind { paragraph, character, other };

class StyleTable {
 public:
  // From python-docx's styles element (CT_Styles).
  static StyleTable read(py::handle styles_element);

  // `name in doc.styles`, for the internal form of a name.
  bool has(std::string_view internal_name) const { return find(internal_name) != nullptr; }

  // What get_style_id(name, kind) gives for the internal form of a name:
  // true with `id` null for the default style of that kind (no style
  // element is written) or pointing at the identifier (UTF-8); false where
  // python-docx would not find the style by name (it then looks it up by
  // identifier, with a warning, or raises) or would refuse its kind.
  bool resolve(std::string_view internal_name, StyleKind kind, const std::string *&id) const;

  std::size_t bytes() const noexcept { return bytes_; }

 private:
  struct Style {
    StyleKind kind;
    std::string id;  // UTF-8
    bool is_default;
  };
  const Style *find(std::string_view internal_name) const;

  std::unordered_map<std::string, Style> by_name_;
  std::size_t bytes_ = 0;
};

}  // namespace quillmark::package
