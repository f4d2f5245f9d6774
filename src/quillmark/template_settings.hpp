// The template settings that registration reads, in the order it reads them,
// for code that must read a template exactly as set_styles does.
#pragma once

#include "binding/names.hpp"

#include <cstddef>

namespace quillmark {

// _set_paragraph_format reads each paragraph setting once, in this order
// (paragraph_format.cpp).
constexpr std::size_t kParagraphSettings = 9;
extern const binding::Name *const paragraph_setting_names[kParagraphSettings];

// _set_font_style reads the font settings in this order (font_style.cpp):
// the name twice (Latin and East Asian fonts) and bold twice (the property,
// then its explicit value). `slot` numbers the distinct settings.
struct FontSettingRead {
  const binding::Name *field;
  std::size_t slot;
};
constexpr std::size_t kFontSettings = 6;
constexpr std::size_t kFontBoldSlot = 3;
constexpr std::size_t kFontSettingReads = 8;
extern const FontSettingRead font_setting_reads[kFontSettingReads];

}  // namespace quillmark
