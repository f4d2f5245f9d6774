// The identifiers the generator reads: attribute names of the model and of
// python-docx objects, method names, and the module-level names it uses.
#pragma once

#include "binding/calls.hpp"
#include "binding/names.hpp"

namespace quillmark::names {

inline binding::Name AlignmentTypes{"AlignmentTypes"};
inline binding::Name BytesIO{"BytesIO"};
inline binding::Name CENTER{"CENTER"};
inline binding::Name CHARACTER{"CHARACTER"};
inline binding::Name ElementTypes{"ElementTypes"};
inline binding::Name File{"File"};
inline binding::Name HEADER{"HEADER"};
inline binding::Name JUSTIFY{"JUSTIFY"};
inline binding::Name LEFT{"LEFT"};
inline binding::Name OxmlElement{"OxmlElement"};
inline binding::Name PARAGRAPH{"PARAGRAPH"};
inline binding::Name Pt{"Pt"};
inline binding::Name PyDocxDocument{"PyDocxDocument"};
inline binding::Name RGBColor{"RGBColor"};
inline binding::Name RIGHT{"RIGHT"};
inline binding::Name Document{"Document"};
inline binding::Name Element{"Element"};
inline binding::Name Style{"Style"};
inline binding::Name StyleNames{"StyleNames"};
inline binding::Name Template{"Template"};
inline binding::Name TEXT{"TEXT"};
inline binding::Name TITLE{"TITLE"};
inline binding::Name WD_ALIGN_PARAGRAPH{"WD_ALIGN_PARAGRAPH"};
inline binding::Name WD_STYLE_TYPE{"WD_STYLE_TYPE"};
inline binding::Name _add_hyperlink{"_add_hyperlink"};
inline binding::Name _add_runs{"_add_runs"};
inline binding::Name _add_text_content{"_add_text_content"};
inline binding::Name _element{"_element"};
inline binding::Name _init_numbering{"_init_numbering"};
inline binding::Name _p{"_p"};
inline binding::Name _set_font_style{"_set_font_style"};
inline binding::Name _set_paragraph_format{"_set_paragraph_format"};
inline binding::Name add_paragraph{"add_paragraph"};
inline binding::Name add_run{"add_run"};
inline binding::Name add_style{"add_style"};
inline binding::Name align_map{"align_map"};
inline binding::Name alignment{"alignment"};
inline binding::Name append{"append"};
inline binding::Name attrib{"attrib"};
inline binding::Name bold{"bold"};
inline binding::Name color{"color"};
inline binding::Name compile{"compile"};
inline binding::Name config{"config"};
inline binding::Name element{"element"};
inline binding::Name elements{"elements"};
inline binding::Name end{"end"};
inline binding::Name finditer{"finditer"};
inline binding::Name first_line_indent{"first_line_indent"};
inline binding::Name font{"font"};
inline binding::Name from_string{"from_string"};
inline binding::Name get_or_add_b{"get_or_add_b"};
inline binding::Name get_or_add_ilvl{"get_or_add_ilvl"};
inline binding::Name get_or_add_numId{"get_or_add_numId"};
inline binding::Name get_or_add_numPr{"get_or_add_numPr"};
inline binding::Name get_or_add_pPr{"get_or_add_pPr"};
inline binding::Name get_or_add_rPr{"get_or_add_rPr"};
inline binding::Name get_by_id{"get_by_id"};
inline binding::Name getvalue{"getvalue"};
inline binding::Name group{"group"};
inline binding::Name italic{"italic"};
inline binding::Name keep_with_next{"keep_with_next"};
inline binding::Name left_indent{"left_indent"};
inline binding::Name level{"level"};
inline binding::Name line_spacing{"line_spacing"};
inline binding::Name markdown{"markdown"};
inline binding::Name name{"name"};
inline binding::Name name_val{"name_val"};
inline binding::Name numbering_part{"numbering_part"};
inline binding::Name p_format{"p_format"};
inline binding::Name page_break_before{"page_break_before"};
inline binding::Name paragraph_format{"paragraph_format"};
inline binding::Name part{"part"};
inline binding::Name pop{"pop"};
inline binding::Name qn{"qn"};
inline binding::Name rFonts{"rFonts"};
inline binding::Name rPr{"rPr"};
inline binding::Name re{"re"};
inline binding::Name relate_to{"relate_to"};
inline binding::Name remove{"remove"};
inline binding::Name rgb{"rgb"};
inline binding::Name right_indent{"right_indent"};
inline binding::Name runs{"runs"};
inline binding::Name save{"save"};
inline binding::Name search{"search"};
inline binding::Name set{"set"};
inline binding::Name set_styles{"set_styles"};
inline binding::Name size{"size"};
inline binding::Name space_after{"space_after"};
inline binding::Name space_before{"space_before"};
inline binding::Name start{"start"};
inline binding::Name strip{"strip"};
inline binding::Name style_name{"style_name"};
inline binding::Name styles{"styles"};
inline binding::Name text{"text"};
inline binding::Name type{"type"};
inline binding::Name underline{"underline"};
inline binding::Name val{"val"};
inline binding::Name value{"value"};
inline binding::Name xpath{"xpath"};

// Keyword arguments of the library calls.
inline binding::KeywordNames kw_style{"style"};
inline binding::KeywordNames kw_is_external{"is_external"};
inline binding::KeywordNames kw_name_data{"name", "data"};

}  // namespace quillmark::names

// WordprocessingML names and values that the generator writes itself.
namespace quillmark::wml {

inline binding::Name val{"w:val"};
inline binding::Name east_asia{"w:eastAsia"};
inline binding::Name ascii_theme{"w:asciiTheme"};
inline binding::Name h_ansi_theme{"w:hAnsiTheme"};
inline binding::Name east_asia_theme{"w:eastAsiaTheme"};
inline binding::Name xml_space{"xml:space"};
inline binding::Name preserve{"preserve"};
inline binding::Name r_id{"r:id"};
inline binding::Name hyperlink{"w:hyperlink"};
inline binding::Name r{"w:r"};
inline binding::Name r_pr{"w:rPr"};
inline binding::Name r_style{"w:rStyle"};
inline binding::Name b{"w:b"};
inline binding::Name color{"w:color"};
inline binding::Name u{"w:u"};
inline binding::Name t{"w:t"};
inline binding::Name true_value{"true"};
inline binding::Name blue{"0000FF"};
inline binding::Name single{"single"};

}  // namespace quillmark::wml
