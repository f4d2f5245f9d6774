// _set_paragraph_format(): a template style's paragraph settings on the
// paragraph style of the same name.
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/template_settings.hpp"

namespace quillmark {

namespace {

enum class Setting {
  alignment,  // looked up in align_map, strictly
  length,     // points; an absent or zero value is written as an explicit 0
  flag,       // passed through unchanged, None included
};

struct ParagraphSetting {
  const binding::Name &name;
  Setting kind;
};

// Applied in this order, each through the style's paragraph_format.
const ParagraphSetting paragraph_settings[kParagraphSettings] = {
    {names::alignment, Setting::alignment},
    {names::left_indent, Setting::length},
    {names::right_indent, Setting::length},
    {names::first_line_indent, Setting::length},
    {names::keep_with_next, Setting::flag},
    {names::page_break_before, Setting::flag},
    // Line spacing is an exact height in points, never a multiple of a line.
    {names::line_spacing, Setting::length},
    {names::space_after, Setting::length},
    {names::space_before, Setting::length},
};

py::object document_value(const Call &call, const ParagraphSetting &setting, py::object value) {
  switch (setting.kind) {
    case Setting::alignment:
      return call.global(names::align_map)[value];
    case Setting::length:
      return binding::call(call.global(names::Pt), binding::is_true(value) ? value : py::int_(0));
    case Setting::flag:
      break;
  }
  return value;
}

}  // namespace

const binding::Name *const paragraph_setting_names[kParagraphSettings] = {
    &paragraph_settings[0].name, &paragraph_settings[1].name, &paragraph_settings[2].name,
    &paragraph_settings[3].name, &paragraph_settings[4].name, &paragraph_settings[5].name,
    &paragraph_settings[6].name, &paragraph_settings[7].name, &paragraph_settings[8].name,
};

py::object set_paragraph_format(const Call &call) {
  py::handle doc_style = call.arg(0);
  py::handle style = call.arg(1);
  for (const ParagraphSetting &setting : paragraph_settings) {
    py::object value = document_value(call, setting, style.attr(names::p_format).attr(setting.name));
    doc_style.attr(names::paragraph_format).attr(setting.name) = value;
  }
  return py::none();
}

}  // namespace quillmark
