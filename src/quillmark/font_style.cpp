// _set_font_style(): a template style's font settings on a paragraph or
// character style of the document.
#include "binding/names.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark {

namespace {
constexpr wordml::ValueElement explicit_bold = {"w:b", "true"};
}  // namespace

py::object set_font_style(const Call &call) {
  py::handle doc_style = call.arg(0);
  py::handle style = call.arg(1);
  auto template_font = [&] { return style.attr("font"); };

  doc_style.attr("font").attr("name") = template_font().attr("name");
  // East Asian text takes the same font, set on the w:rFonts just written.
  py::object set_east_asian = doc_style.attr("_element").attr("rPr").attr("rFonts").attr("set");
  set_east_asian(wordml::qn(call, "w:eastAsia"), template_font().attr("name"));
  py::object rgb = call.global("RGBColor").attr("from_string")(template_font().attr("color"));
  doc_style.attr("font").attr("color").attr("rgb") = rgb;
  py::object size = call.global("Pt")(template_font().attr("size"));
  doc_style.attr("font").attr("size") = size;
  doc_style.attr("font").attr("bold") = template_font().attr("bold");
  // A bold style also carries an explicit <w:b w:val="true"/>, appended
  // after everything the font properties above wrote.
  if (binding::is_true(template_font().attr("bold"))) {
    py::object rpr = doc_style.attr("_element").attr("get_or_add_rPr")();
    wordml::append(rpr, wordml::element(call, explicit_bold));
  }
  doc_style.attr("font").attr("italic") = template_font().attr("italic");
  doc_style.attr("font").attr("underline") = template_font().attr("underline");
  return py::none();
}

}  // namespace quillmark
