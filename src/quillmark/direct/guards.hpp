// The guards of the direct path: what must hold for writing WordprocessingML
// directly, with per-call caches, to be indistinguishable from going through
// python-docx's high-level API (the faithful path, which stays the definition
// of correct behaviour). Every guard is an identity check taken where the
// shortcut is about to be used; a failed guard sends that step down the
// faithful path.
//
// Why the shortcut is safe when the guards hold:
//
// - python-docx is a release whose output the differential tests prove
//   byte-identical (kRelease below). Another release may change what its
//   high-level calls write, so it always takes the faithful path.
// - The document is exactly python-docx's Document, and its part exactly
//   DocumentPart: a subclass could override any step.
// - Every python-docx function, method and property the shortcut stands in
//   for is the one captured when the module was imported (looked up through
//   the class's method resolution order at each use), so a replaced one (a
//   counting wrapper around Paragraph.add_run, say) is called as the faithful
//   path calls it. The module globals OxmlElement and qn are the originals.
// - The method about to be used is the generator's own, read from the object
//   at each call as generate always reads it: an instance attribute or a
//   subclass override is called, and the caches are dropped after it returns,
//   since it may have changed the document.
// - Caches answer only questions python-docx answered itself earlier in the
//   same call, on the same document: a style name's identifier (cached only
//   when python-docx found the style by name, without warning), whether a
//   name is a style of the document, which relationship a hyperlink target
//   already has and which identifier the next one gets. They live on the
//   stack of one generate call and are never shared across calls, documents
//   or threads.
// - Values are passed on to python-docx's own setters, so a value of an
//   unexpected type meets the same code and raises the same exception; where
//   a cache is keyed by a value, only an exact str is used as a key.
//
// The model objects are read exactly as the faithful path reads them, in the
// same order and as often.
#pragma once

#include "binding/names.hpp"

#include <pybind11/pybind11.h>

namespace quillmark::direct {

namespace py = pybind11;

// What a shortcut stands in for; each is checked before that shortcut is
// taken.
enum class Shortcut {
  paragraph,     // doc.add_paragraph(style=...) and `name in doc.styles`
  styled_run,    // paragraph.add_run(text, style=...)
  relationship,  // part.relate_to(url, hyperlink type, is_external=True)
  style,         // doc.styles.add_style(...) and `name in doc.styles` in set_styles
  link_copy,     // building a hyperlink's elements one by one (copied instead)
  rich_run,      // paragraph.add_run(text) and the run's bold, italic, underline
};

// Captures python-docx's originals; run once when the module is executed,
// after its imports.
void capture_originals();

// Whether the installed python-docx is one the direct path covers, with
// everything it needs captured.
bool release_supported();

// Whether python-docx is still as captured for `shortcut`, the module's
// OxmlElement and qn (read from `globals`) included.
bool library_unchanged(Shortcut shortcut, PyObject *globals);
// The same for every shortcut at once.
bool library_unchanged_for_every_shortcut(PyObject *globals);

// The classes the direct path works with, as captured.
py::handle document_class();
py::handle document_part_class();
py::handle relationships_class();
py::handle paragraph_class();  // the Paragraph python-docx's body makes
py::handle font_class();       // the Font of a Run
// docx.styles.BabelFish.ui2internal and docx.styles.styles.StyleFactory.
py::handle internal_style_name();
py::handle style_factory();
// docx.enum.style.WD_STYLE_TYPE, which python-docx's own lookups use (the
// module's name for it may have been replaced).
py::handle style_types();

}  // namespace quillmark::direct
