// _set_paragraph_format(): a template style's paragraph settings on the
// paragraph style of the same name.
#include "binding/names.hpp"
#include "quillmark/methods.hpp"

namespace quillmark {

namespace {

enum class Setting {
  alignment,  // looked up in align_map, strictly
  length,     // points; an absent or zero value is written as an explicit 0
  flag,       // passed through unchanged, None included
};

struct ParagraphSetting {
  const char *name;
  Setting kind;
};

// Applied in this order, each through the style's paragraph_format.
constexpr ParagraphSetting paragraph_settings[] = {
    {"alignment", Setting::alignment},    {"left_indent", Setting::length},  {"right_indent", Setting::length},
    {"first_line_indent", Setting::length}, {"keep_with_next", Setting::flag}, {"page_break_before", Setting::flag},
    // Line spacing is an exact height in points, never a multiple of a line.
    {"line_spacing", Setting::length},    {"space_after", Setting::length},  {"space_before", Setting::length},
};

py::object document_value(const Call &call, const ParagraphSetting &setting, py::object value) {
  switch (setting.kind) {
    case Setting::alignment:
      return call.global("align_map")[value];
    case Setting::length:
      return call.global("Pt")(binding::is_true(value) ? value : py::int_(0));
    case Setting::flag:
      break;
  }
  return value;
}

}  // namespace

py::object set_paragraph_format(const Call &call) {
  py::handle doc_style = call.arg(0);
  py::handle style = call.arg(1);
  for (const ParagraphSetting &setting : paragraph_settings) {
    py::object value = document_value(call, setting, style.attr("p_format").attr(setting.name));
    doc_style.attr("paragraph_format").attr(setting.name) = value;
  }
  return py::none();
}

}  // namespace quillmark
