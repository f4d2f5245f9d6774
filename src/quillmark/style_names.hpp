// The names under which a template style exists in the document. Template
// style N is registered as paragraph style N and as character style "Tv" + N.
#pragma once

#include <pybind11/pybind11.h>

namespace quillmark {

namespace py = pybind11;

// "Tv" followed by the text form of N.
py::str character_style_name(py::handle style_name);

// The identifier python-docx gives that character style when it creates it:
// its name with every space removed.
py::str character_style_id(py::handle style_name);

}  // namespace quillmark
