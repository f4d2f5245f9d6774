// The template read as set_styles reads it: for each style, its name, each
// paragraph setting, and (for the paragraph style and again for the "Tv"
// character style) each font setting, in that order and as often. What is
// read makes the memo's key, and a snapshot that registration reads in the
// model's place when the memo does not hold the template yet.
#pragma once

#include "binding/function.hpp"
#include "quillmark/template_settings.hpp"

#include <string>
#include <vector>

namespace quillmark::package {

namespace py = pybind11;

class TemplateReading {
 public:
  struct StyleValues {
    py::object name;
    py::object paragraph[kParagraphSettings];
    py::object font[kFontSettings];
  };

  const std::string &key() const noexcept { return key_; }
  const std::vector<StyleValues> &styles() const noexcept { return styles_; }

  // The values read, as plain objects shaped like the template, for
  // registration to read in the model's place.
  py::object snapshot() const;

 private:
  friend TemplateReading read_template(const binding::Call &c, py::handle template_);
  std::string key_;  // every value read, with its exact type
  std::vector<StyleValues> styles_;
};

// Throws ElementPathNeeded for a read that is not plain or a value of a
// type the key does not take.
TemplateReading read_template(const binding::Call &c, py::handle template_);

}  // namespace quillmark::package
