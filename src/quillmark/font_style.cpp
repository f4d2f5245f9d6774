// _set_font_style(): a template style's font settings on a paragraph or
// character style of the document.
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/template_settings.hpp"
#include "quillmark/wordml.hpp"

#include <initializer_list>

namespace quillmark {

using binding::call;
using binding::call_method;

const FontSettingRead font_setting_reads[kFontSettingReads] = {
    {&names::name, 0}, {&names::name, 0}, {&names::color, 1},  {&names::size, 2},
    {&names::bold, 3}, {&names::bold, 3}, {&names::italic, 4}, {&names::underline, 5},
};

py::object set_font_style(const Call &c) {
  py::handle doc_style = c.arg(0);
  py::handle style = c.arg(1);
  // The template's font record is read afresh for every setting.
  auto template_font = [&](const binding::Name &field) -> py::object { return style.attr(names::font).attr(field); };

  doc_style.attr(names::font).attr(names::name) = template_font(names::name);
  // East Asian text takes the same font, set on the w:rFonts just written.
  py::object r_fonts = doc_style.attr(names::_element).attr(names::rPr).attr(names::rFonts);
  call_method(r_fonts, names::set, wordml::qn(c, wml::east_asia), template_font(names::name));
  // A style of the default template edited in place (the headings, Title,
  // Subtitle) names its fonts by theme as well, and a reader takes the theme's
  // font over a named one in the same w:rFonts. Those references go only once
  // all three names are written, so that a call failing on the name never
  // leaves a style with neither a theme reference nor a name for a script.
  // The complex-script reference stays: no name replaces it.
  py::object attributes = r_fonts.attr(names::attrib);
  for (const binding::Name *theme : {&wml::ascii_theme, &wml::h_ansi_theme, &wml::east_asia_theme}) {
    call_method(attributes, names::pop, wordml::qn(c, *theme), py::none());
  }
  py::object rgb = call_method(c.global(names::RGBColor), names::from_string, template_font(names::color));
  doc_style.attr(names::font).attr(names::color).attr(names::rgb) = rgb;
  py::object size = call(c.global(names::Pt), template_font(names::size));
  doc_style.attr(names::font).attr(names::size) = size;
  doc_style.attr(names::font).attr(names::bold) = template_font(names::bold);
  // A bold style states its bold explicitly: the w:b that the property above
  // wrote, at its place in the run properties, carries w:val "true".
  if (binding::is_true(template_font(names::bold))) {
    py::object rpr = call_method(doc_style.attr(names::_element), names::get_or_add_rPr);
    py::object b = call_method(rpr, names::get_or_add_b);
    call_method(b, names::set, wordml::qn(c, wml::val), wml::true_value);
  }
  doc_style.attr(names::font).attr(names::italic) = template_font(names::italic);
  doc_style.attr(names::font).attr(names::underline) = template_font(names::underline);
  return py::none();
}

}  // namespace quillmark
