// The hyperlink of _add_hyperlink, shared by the faithful and the direct path,
// which differ only in how the relationship is made.
#pragma once

#include "binding/function.hpp"

#include <functional>

namespace quillmark {

namespace py = pybind11;

// The relationship type of an external hyperlink.
py::handle hyperlink_relationship_type();

// The link's text as readers see it: the link symbol shown as a note.
py::str shown_text(py::handle text);

// _add_hyperlink's checks on entry: url, text and style_name exact str.
void check_hyperlink_arguments(py::handle url, py::handle text, py::handle style_name);

// Makes the relationship for `url` and returns its id.
using Relate = std::function<py::object(py::handle url)>;

// Builds the w:hyperlink for relationship `r_id` showing `text` (the link
// symbol already replaced).
using Build = std::function<py::object(py::handle r_id, py::handle text)>;

// The w:hyperlink, built element by element.
py::object hyperlink_element(const binding::Call &c, py::handle r_id, py::handle text, py::handle style_name,
                             py::handle bold);

// A link run's w:t gets `text`, and asks readers to keep its leading and
// trailing white space when it has some.
void set_link_text(const binding::Call &c, py::handle t, py::handle text);

// Checks the argument types, makes the relationship through `relate`, builds
// the w:hyperlink through `build` (hyperlink_element when empty) and appends
// it to the paragraph.
void write_hyperlink(const binding::Call &c, py::handle paragraph, py::handle url, py::handle text,
                     py::handle style_name, py::handle bold, const Relate &relate, const Build &build);

}  // namespace quillmark
