// The direct path's state for one generate call: the document it writes into
// and the caches that let it skip python-docx's slow searches. Each operation
// does what the python-docx call it names does, byte for byte; when a guard
// (direct/guards.hpp) fails or a value is not one the caches may key on, it
// makes that very call instead.
#pragma once

#include "binding/function.hpp"

#include <pybind11/pybind11.h>

namespace quillmark::direct {

namespace py = pybind11;

class Context {
 public:
  // Whether `doc` is a document the direct path may write into: exactly
  // python-docx's Document, with exactly its DocumentPart, of a release the
  // tests cover.
  static bool applies(py::handle doc);

  Context(const binding::Call &call, py::handle doc);

  const binding::Call &call() const noexcept { return call_; }
  PyObject *globals() const noexcept { return call_.global_namespace(); }
  py::handle doc() const noexcept { return doc_; }

  // Code we do not control ran (an override): it may have changed the
  // document, so every cache is rebuilt on its next use.
  void invalidate();

  // `name in doc.styles`.
  bool has_style(py::handle name);
  // doc.styles.add_style(name, style_type).
  py::object add_style(py::handle name, py::handle style_type);
  // doc.add_paragraph(style=style_name).
  py::object add_paragraph(py::handle style_name);
  // run = paragraph.add_run(text, style=run_style); run.bold = bold, for a
  // paragraph add_paragraph made.
  void add_styled_run(py::handle paragraph, py::handle text, py::handle run_style, py::handle bold);
  // _add_runs' loop body for one run item: paragraph.add_run(item.text) and
  // the item's bold, italic and underline set on the run.
  void add_rich_run(py::handle paragraph, py::handle item);
  // A fresh copy of the w:hyperlink that hyperlink_element builds for a link
  // in `style_name` with `bold`, r:id and text still to be set; a null
  // object when it must be built element by element.
  py::object copy_hyperlink(py::handle style_name, py::handle bold);
  // paragraph.part.relate_to(url, reltype, is_external=True), for a paragraph
  // add_paragraph made.
  py::object relate_external(py::handle paragraph, py::handle url, py::handle reltype);

 private:
  py::handle styles_element();
  py::set &style_names();
  bool resolve_style_id(py::handle name, py::handle style_type, py::object &style_id);
  py::object copy_of(py::dict &templates, py::handle key, py::object (Context::*build)(py::handle));
  py::object paragraph_template(py::handle key);
  py::object run_template(py::handle key);
  py::object hyperlink_template(py::handle key);
  py::object rich_properties_template(py::handle key);
  py::object empty_element(const binding::Name &tag);
  void write_text(py::handle r, py::handle text);
  void insert_paragraph(py::handle p);
  void index_relationships(py::handle relationships, py::handle relationship_type);

  const binding::Call &call_;
  py::handle doc_;
  py::object part_, body_, body_element_, styles_element_;

  // Names of the document's styles (as python-docx stores them), built on
  // first use.
  py::set style_names_;
  bool style_names_known_ = false;
  // Style name -> identifier (None for the default style), as python-docx
  // resolved it for a paragraph or a run earlier in this call.
  py::dict paragraph_style_ids_, character_style_ids_;
  // Style type -> the element of its default style (or None).
  py::dict default_styles_;
  // The elements python-docx makes for a paragraph of one style, a run of one
  // character style and bold setting, and a hyperlink, built once per call
  // through python-docx's own calls and copied for each use.
  py::dict paragraph_templates_, run_templates_, hyperlink_templates_, rich_properties_templates_;
  // An empty w:r and w:t as python-docx's element layer makes them.
  py::object empty_run_, empty_text_;
  // The body's w:sectPr, before which paragraphs are inserted.
  py::object section_properties_;
  // External hyperlink target -> relationship id, the first one in the
  // part's order, and the number from which the next free id is searched.
  py::dict hyperlink_ids_;
  py::object indexed_type_;
  Py_ssize_t relationships_seen_ = -1;
  long next_relationship_ = 1;
};

}  // namespace quillmark::direct
