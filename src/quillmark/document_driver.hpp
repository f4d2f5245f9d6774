// The steps of generate that its three ways share.
#pragma once

#include "binding/function.hpp"

namespace quillmark {

// Whether an element of this type becomes a paragraph (a title, header or
// paragraph); every other type is skipped.
bool is_written(const binding::Call &c, pybind11::handle element_type);

}  // namespace quillmark
