// The text splitting of _add_text_content, shared by the faithful and the
// direct path: where the text goes is the sink's business.
#pragma once

#include "binding/function.hpp"

namespace quillmark {

namespace py = pybind11;

class TextSink {
 public:
  // An ordinary run of `text` in the character style `run_style`.
  virtual void run(py::handle text, py::handle run_style) = 0;
  // A Markdown link [text](url).
  virtual void link(py::handle url, py::handle text) = 0;

 protected:
  ~TextSink() = default;
};

// run = paragraph.add_run(text, style=run_style); run.bold = bold
void add_styled_run(py::handle paragraph, py::handle text, py::handle run_style, py::handle bold);

// Checks the argument types, then hands the text to `sink` as runs and links
// in text order (links only when self.config.markdown is True itself).
void write_text_content(const binding::Call &c, py::handle self, py::handle text, py::handle style_name,
                        TextSink &sink);

}  // namespace quillmark
