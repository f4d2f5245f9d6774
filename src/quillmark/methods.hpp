// The bodies of Quillmark's methods, one file per concern. The method table in
// quillmark_module.cpp says what Python sees of each.
#pragma once

#include "binding/function.hpp"

namespace quillmark {

namespace py = pybind11;
using binding::Call;

py::object generate(const Call &call);              // document_driver.cpp
py::object save(const Call &call);                  // document_driver.cpp
py::object add_paragraph(const Call &call);         // paragraph_assembly.cpp
py::object add_runs(const Call &call);              // rich_runs.cpp
py::object add_text_content(const Call &call);      // text_content.cpp
py::object init_numbering(const Call &call);        // numbering.cpp
py::object set_styles(const Call &call);            // style_registration.cpp
py::object set_font_style(const Call &call);        // font_style.cpp
py::object set_paragraph_format(const Call &call);  // paragraph_format.cpp
py::object add_hyperlink(const Call &call);         // hyperlink.cpp

}  // namespace quillmark
