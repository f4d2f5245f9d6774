// The loop of set_styles, shared by the faithful and the direct path, which
// differ in how they ask the document for its styles and add new ones.
#pragma once

#include "binding/function.hpp"
#include "binding/names.hpp"

namespace quillmark {

namespace py = pybind11;

class StyleStore {
 public:
  // `name in doc.styles`.
  virtual bool has(py::handle name) = 0;
  // doc.styles.add_style(name, style_type).
  virtual py::object add(py::handle name, py::handle style_type) = 0;
  // self.<method>(doc_style, style), `body` being the generator's own.
  virtual void apply(py::handle self, const binding::Name &method, binding::Body body, py::handle doc_style,
                     py::handle style) = 0;

 protected:
  ~StyleStore() = default;
};

void register_styles(const binding::Call &c, py::handle self, py::handle doc, py::handle template_,
                     StyleStore &store);

}  // namespace quillmark
