// WordprocessingML written as text, byte for byte as lxml (libxml2)
// serialises it into a UTF-8 part: in text, "&", "<", ">" and carriage
// return are escaped; in attribute values also '"', tab and line feed.
// Everything else, non-ASCII included, is written as its UTF-8 bytes.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace quillmark::package {

namespace py = pybind11;

// The UTF-8 bytes of an exact str, or false when the text holds something
// an XML document cannot (a C0 control other than tab, line feed and
// carriage return, U+FFFE, U+FFFF or a lone surrogate): lxml refuses such
// text with an error of its own, which only the element path can raise.
bool writable_utf8(py::handle text, std::string_view &utf8);

void append_text(std::string &out, std::string_view utf8);
void append_attribute(std::string &out, std::string_view utf8);

// Whether str.strip() would shorten the text: python-docx then asks
// readers to keep its white space (xml:space="preserve").
bool has_outer_space(py::handle text);

}  // namespace quillmark::package
