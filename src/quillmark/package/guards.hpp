// The guards of the package path: what must hold for writing the package's
// bytes directly (its body as text, its template's parts from a memo, its
// container as zipfile writes it) to be indistinguishable from building it
// through python-docx and saving it (the faithful path, which stays the
// definition of correct output).
//
// Why the shortcut is safe when the guards hold:
//
// - Everything the direct path checks (direct/guards.hpp) holds for every
//   shortcut: the release, the captured python-docx functions, the module's
//   OxmlElement and qn. The package path writes what the direct path would
//   have built.
// - python-docx's open and save chain is as captured: the factory the
//   module's PyDocxDocument names, the package reader and part factory, the
//   parts' serialiser, the package writer and its zip writer. So is zipfile
//   (ZipFile, ZipInfo, the write handle, its compressor and CRC) and zlib's
//   compressobj; the clock is read through zipfile's own `time`, as writestr
//   reads it, so a frozen clock is frozen for both.
// - The module's `re` is the real one, with its own compile: the link
//   pattern it compiles finds exactly what the linear scan finds
//   (markdown_links.hpp), so the body writer scans without compiling.
// - The default template file python-docx opens is the one the constant
//   parts were read from (device, inode, size and modification time).
// - The generator is exactly the module's Quillmark, and every method
//   generate would call (and the ones under them) is its own: no subclass,
//   no instance attribute, no replaced class attribute.
// - Model objects are read with plain attribute reads only: the document,
//   template, styles and elements are exactly the module's model classes,
//   the objects under them use Python's ordinary attribute lookup with
//   values in the instance (or a slot), and enumeration members are the
//   model's own. Values are of exact built-in types. A plain read runs no
//   code and gives the same value however often it is made, so it cannot be
//   told how often one is made: the template is read once per call, as
//   set_styles reads it, and add_paragraph's scans of it for every element
//   are answered from those values; each element is read as add_paragraph
//   reads it; and a call the package path hands to the element path is read
//   again there.
// - The template's results are shared between calls only as bytes and
//   tables made from them, keyed by every value the template gave with its
//   exact type, and only for a template whose registration neither raised
//   nor made python-docx find a style by its identifier (which warns).
//
// Anything else, or anything the body writer does not write itself (a value
// of another type, a character XML cannot hold, a style python-docx would
// not find by name), hands the whole call to the element path, which raises
// whatever the faithful path raises.
#pragma once

#include <pybind11/pybind11.h>

namespace quillmark::package {

namespace py = pybind11;

// Captures python-docx's open and save chain and zipfile; run once when the
// module is executed, after the direct path's capture.
void capture_originals();

// Whether the chain, zipfile and zlib are as captured, and the module's
// PyDocxDocument, BytesIO and re the captured ones (read from `globals`).
bool chain_unchanged(PyObject *globals);

// python-docx's default template file, whose parts the constants hold.
const char *default_template_path();

// What the writer calls, as captured.
py::handle docx_document();        // docx.api.Document
py::handle zip_compressor();       // zipfile._get_compressor
py::handle zip_crc32();            // zipfile.crc32
py::handle zipfile_module();       // for its `time`, read at use
py::handle simple_namespace();     // types.SimpleNamespace, for template snapshots

}  // namespace quillmark::package
