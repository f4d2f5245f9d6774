// The direct path's versions of the generator's steps, used by generate when
// the step about to run is the generator's own (direct/guards.hpp).
#pragma once

#include "quillmark/direct/context.hpp"

namespace quillmark::direct {

// set_styles(doc, template), with the document's style names answered from a
// set.
void set_styles(Context &context, py::handle self, py::handle template_);

// add_paragraph(doc, element, template), with the paragraph, its runs and
// its hyperlinks written through the context.
void add_paragraph(Context &context, py::handle self, py::handle element, py::handle template_);

}  // namespace quillmark::direct
