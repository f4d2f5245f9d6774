// The main document part's paragraphs written as text: each element read as
// add_paragraph reads it, and written as the elements python-docx and the
// generator would have built, serialised as lxml serialises them.
//
// The template, which add_paragraph scans for every element, is not read
// again: its scans are answered from the values read for the call
// (template_reading.hpp), which plain reads give unchanged however often
// they are made. Where an element needs anything this writer does not write
// itself, it throws ElementPathNeeded (model_reads.hpp).
#pragma once

#include "binding/function.hpp"
#include "quillmark/package/constant_parts.hpp"
#include "quillmark/package/style_table.hpp"
#include "quillmark/package/template_reading.hpp"

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillmark::package {

namespace py = pybind11;

class BodyWriter {
 public:
  // Writes into `out`, after what it already holds.
  BodyWriter(const binding::Call &c, py::handle self, const TemplateReading &reading, const StyleTable &styles,
             const PackageConstants &constants, std::string &out);

  // Whether generate writes an element of this type (a title, header or
  // paragraph).
  bool is_written(py::handle element_type);

  // Whether add_paragraph's reads of the element are plain (model_reads.hpp).
  bool plain_element(py::handle element);

  // add_paragraph(doc, element, template) for one element of a written type.
  void add_paragraph(py::handle element);

  // The hyperlink relationships the paragraphs added, after the template's
  // own, in order.
  const std::vector<HyperlinkRelationship> &hyperlinks() const noexcept { return hyperlinks_; }

 private:
  // What a paragraph style name stands for in this document, worked out on
  // its first use in the call.
  struct ParagraphStyle {
    py::object name;
    std::string properties;  // the paragraph's style element, or nothing for the default style
    py::object bold;         // the template's bold for the name
    // A text run's and a hyperlink run's w:rPr, made on the first text run
    // (a paragraph of rich runs never asks for its "Tv" style).
    bool text_known = false;
    std::string run_properties, link_properties;
  };

  bool equals_member(py::handle value, py::handle member);
  bool is_template_style(py::handle name);
  py::object template_bold(py::handle name);
  py::handle fallback_style();
  // A style name's internal form, as BabelFish gives it (UTF-8), and
  // whether the document has a style of that name; kept by the str itself,
  // whose hash Python keeps.
  struct NameInfo {
    std::string internal;
    bool in_document;
  };
  const NameInfo &name_info(py::handle name);
  const std::string *style_id(py::handle name, StyleKind kind);
  ParagraphStyle &paragraph_style(py::handle name);
  void text_properties(ParagraphStyle &style);
  void rich_run(py::handle item);
  void text_content(py::handle text, ParagraphStyle &style);
  void styled_run(std::string_view utf8, const ParagraphStyle &style);
  void hyperlink(std::string_view target, std::string_view text, const ParagraphStyle &style);
  void run_content(std::string_view utf8);
  void text_element(std::string_view utf8);
  const std::string &relate(std::string_view target);

  const binding::Call &c_;
  py::handle self_;
  const TemplateReading &reading_;
  const StyleTable &styles_;
  std::string &out_;
  py::object title_, header_, paragraph_;  // the model's element types
  py::object fallback_;                    // StyleNames.TEXT.value, read on first use
  py::dict name_index_;  // style name -> index into names_
  std::deque<NameInfo> names_;
  // Types whose reads were found plain in this call.
  PyTypeObject *plain_element_type_ = nullptr;
  PyTypeObject *plain_run_type_ = nullptr;
  py::dict paragraph_style_index_;  // style name -> index into paragraph_styles_
  std::deque<ParagraphStyle> paragraph_styles_;
  // Hyperlink target -> relationship id; the ids the template's
  // relationships hold; the new relationships in order.
  std::unordered_map<std::string, std::string> links_;
  std::unordered_set<std::string> template_ids_;
  std::vector<HyperlinkRelationship> hyperlinks_;
  long next_id_ = 1;
};

}  // namespace quillmark::package
