// The steps of add_paragraph that the faithful and the direct path share.
#pragma once

#include "binding/function.hpp"

#include <functional>

namespace quillmark {

namespace py = pybind11;

// Whether `name` is among the template's style names, scanned in template
// order and stopping at the first equal one, as `name in (...)` would.
bool is_template_style(py::handle template_, py::handle name);

// The element's own style when the template has it and `in_document` says
// the document has it too (`name in doc.styles`), otherwise the fallback body
// style.
py::object paragraph_style(const binding::Call &c, py::handle element, py::handle template_,
                           const std::function<bool(py::handle)> &in_document);

// The element's `level` when it is a header that gets outline numbering,
// else null; read as add_paragraph reads it.
py::object numbered_level(const binding::Call &c, py::handle element);

// Outline numbering for a header paragraph (see paragraph_assembly.cpp).
void number_header(const binding::Call &c, py::handle paragraph, py::handle element);

// The bold setting of the first template style that bears `style_name`.
py::object template_bold(py::handle template_, py::handle style_name);

}  // namespace quillmark
