#include "quillmark/direct/guards.hpp"

#include "binding/names.hpp"
#include "quillmark/captured_attributes.hpp"
#include "quillmark/identifiers.hpp"

#include <cstring>
#include <iterator>

namespace quillmark::direct {

namespace {

// python-docx releases whose output through the direct path the differential
// tests prove identical to the faithful path's.
const char *const kReleases[] = {"1.1.2", "1.2.0"};

enum Mask : unsigned {
  kParagraph = 1u << static_cast<unsigned>(Shortcut::paragraph),
  kStyledRun = 1u << static_cast<unsigned>(Shortcut::styled_run),
  kRelationship = 1u << static_cast<unsigned>(Shortcut::relationship),
  kStyle = 1u << static_cast<unsigned>(Shortcut::style),
  kLinkCopy = 1u << static_cast<unsigned>(Shortcut::link_copy),
  kRichRun = 1u << static_cast<unsigned>(Shortcut::rich_run),
  // Writing a run's text into a fresh w:r.
  kRunText = kStyledRun | kRichRun,
  // Resolving a style name to its identifier, which paragraphs and runs share.
  kStyleLookup = kParagraph | kStyledRun,
};

const ClassAttribute kClassAttributes[] = {
    {"docx.document", "Document", "add_paragraph", kParagraph},
    {"docx.document", "Document", "_body", kParagraph},
    {"docx.document", "Document", "styles", kParagraph | kStyle},
    {"docx.document", "Document", "part", kParagraph | kRelationship},
    {"docx.document", "_Body", "add_paragraph", kParagraph},
    {"docx.document", "_Body", "_add_paragraph", kParagraph},
    {"docx.oxml.document", "CT_Body", "add_p", kParagraph},
    {"docx.oxml.document", "CT_Body", "_insert_p", kParagraph},
    {"docx.oxml.document", "CT_Body", "_new_p", kParagraph},
    {"docx.text.paragraph", "Paragraph", "__init__", kParagraph},
    {"docx.text.paragraph", "Paragraph", "style", kParagraph},
    {"docx.text.paragraph", "Paragraph", "add_run", kStyledRun | kRichRun},
    {"docx.text.paragraph", "Paragraph", "part", kStyledRun | kRelationship},
    {"docx.text.run", "Run", "__init__", kStyledRun | kRichRun},
    {"docx.text.run", "Run", "style", kStyledRun},
    {"docx.text.run", "Run", "text", kRunText},
    {"docx.oxml.text.run", "CT_R", "text", kRunText},
    {"docx.oxml.text.run", "CT_R", "add_t", kRunText},
    {"docx.oxml.text.run", "CT_R", "style", kStyledRun},
    {"docx.oxml.text.paragraph", "CT_P", "style", kParagraph},
    {"docx.oxml.text.paragraph", "CT_P", "add_r", kRunText},
    {"docx.text.run", "Run", "bold", kRunText},
    {"docx.text.run", "Run", "italic", kRichRun},
    {"docx.text.run", "Run", "underline", kRichRun},
    {"docx.text.run", "Run", "font", kRunText},
    {"docx.text.font", "Font", "bold", kRunText},
    {"docx.text.font", "Font", "italic", kRichRun},
    {"docx.text.font", "Font", "underline", kRichRun},
    {"docx.styles.styles", "Styles", "__contains__", kParagraph | kStyle},
    {"docx.styles.styles", "Styles", "__getitem__", kStyleLookup},
    {"docx.styles.styles", "Styles", "get_style_id", kStyleLookup},
    {"docx.styles.styles", "Styles", "_get_style_id_from_name", kStyleLookup},
    {"docx.styles.styles", "Styles", "_get_style_id_from_style", kStyleLookup},
    {"docx.styles.styles", "Styles", "default", kStyleLookup},
    {"docx.styles.styles", "Styles", "add_style", kStyle},
    {"docx.oxml.styles", "CT_Styles", "add_style_of_type", kStyle},
    {"docx.oxml.styles", "CT_Styles", "get_by_name", kStyleLookup},
    {"docx.oxml.styles", "CT_Styles", "default_for", kStyleLookup},
    {"docx.oxml.styles", "CT_Style", "type", kStyleLookup},
    {"docx.oxml.styles", "CT_Style", "styleId", kStyleLookup},
    {"docx.styles.style", "BaseStyle", "type", kStyleLookup},
    {"docx.styles.style", "BaseStyle", "style_id", kStyleLookup},
    {"docx.styles.style", "BaseStyle", "__eq__", kStyleLookup},
    {"docx.parts.document", "DocumentPart", "styles", kStyleLookup | kStyle},
    {"docx.parts.document", "DocumentPart", "_styles_part", kStyleLookup | kStyle},
    {"docx.parts.document", "DocumentPart", "get_style_id", kStyleLookup},
    {"docx.parts.document", "DocumentPart", "relate_to", kRelationship},
    {"docx.parts.document", "DocumentPart", "rels", kRelationship},
    {"docx.opc.rel", "Relationships", "get_or_add_ext_rel", kRelationship},
    {"docx.opc.rel", "Relationships", "_get_matching", kRelationship},
    {"docx.opc.rel", "Relationships", "_next_rId", kRelationship},
    {"docx.opc.rel", "Relationships", "add_relationship", kRelationship},
    {"docx.opc.rel", "Relationships", "__contains__", kRelationship},
    {"docx.opc.rel", "Relationships", "values", kRelationship},
    {"docx.opc.rel", "Relationships", "__len__", kRelationship},
    {"docx.styles", "BabelFish", "ui2internal", kStyleLookup | kStyle},
};

// Names in a module's namespace that the shortcut's code paths read.
const ModuleAttribute kModuleAttributes[] = {
    {"docx.styles.styles", "StyleFactory", kStyle | kStyleLookup},
    {"docx.styles.styles", "BabelFish", kStyleLookup | kStyle},
    {"docx.blkcntnr", "Paragraph", kParagraph},
    {"docx.text.run", "Font", kRunText},
};

// Written once, when the module is executed (one interpreter per process),
// and only read afterwards.
struct Originals {
  bool supported_release = false;
  CapturedAttributes attributes;
  py::object oxml_element, qn;
  py::object document, document_part, relationships, paragraph, font, ui2internal, style_factory, style_types;
};

Originals *originals = nullptr;

bool is_supported_release(py::module_ docx) {
  py::object version = py::getattr(docx, "__version__", py::none());
  if (!PyUnicode_Check(version.ptr())) return false;
  const char *text = PyUnicode_AsUTF8(version.ptr());
  if (text == nullptr) throw py::error_already_set();
  for (const char *release : kReleases) {
    if (std::strcmp(text, release) == 0) return true;
  }
  return false;
}

}  // namespace

void capture_originals() {
  auto *captured = new Originals();  // kept for the life of the process
  originals = captured;
  py::module_ docx = py::module_::import("docx");
  if (!is_supported_release(docx)) return;
  // A release we cover has every name below; should one be missing after
  // all, the direct path stays off and the import goes on.
  if (!captured->attributes.capture(kClassAttributes, std::size(kClassAttributes), kModuleAttributes,
                                    std::size(kModuleAttributes))) {
    return;
  }
  try {
    captured->oxml_element = py::module_::import("docx.oxml").attr("OxmlElement");
    captured->qn = py::module_::import("docx.oxml.ns").attr("qn");
    captured->document = py::module_::import("docx.document").attr("Document");
    captured->document_part = py::module_::import("docx.parts.document").attr("DocumentPart");
    captured->relationships = py::module_::import("docx.opc.rel").attr("Relationships");
    captured->paragraph = py::module_::import("docx.blkcntnr").attr("Paragraph");
    captured->font = py::module_::import("docx.text.run").attr("Font");
    captured->ui2internal = py::module_::import("docx.styles").attr("BabelFish").attr("ui2internal");
    captured->style_factory = py::module_::import("docx.styles.styles").attr("StyleFactory");
    captured->style_types = py::module_::import("docx.enum.style").attr("WD_STYLE_TYPE");
  } catch (py::error_already_set &) {
    return;
  }
  captured->supported_release = true;
}

bool release_supported() { return originals != nullptr && originals->supported_release; }

namespace {

bool unchanged(unsigned mask, PyObject *globals) {
  if (originals == nullptr || !originals->supported_release) return false;
  PyObject *oxml_element = PyDict_GetItemWithError(globals, names::OxmlElement.get().ptr());
  PyObject *qn = PyDict_GetItemWithError(globals, names::qn.get().ptr());
  if (PyErr_Occurred()) throw py::error_already_set();
  if (oxml_element != originals->oxml_element.ptr() || qn != originals->qn.ptr()) return false;
  return originals->attributes.unchanged(mask);
}

}  // namespace

bool library_unchanged(Shortcut shortcut, PyObject *globals) {
  return unchanged(1u << static_cast<unsigned>(shortcut), globals);
}

bool library_unchanged_for_every_shortcut(PyObject *globals) { return unchanged(~0u, globals); }

py::handle document_class() { return originals->document; }
py::handle document_part_class() { return originals->document_part; }
py::handle relationships_class() { return originals->relationships; }
py::handle paragraph_class() { return originals->paragraph; }
py::handle font_class() { return originals->font; }
py::handle internal_style_name() { return originals->ui2internal; }
py::handle style_factory() { return originals->style_factory; }
py::handle style_types() { return originals->style_types; }

}  // namespace quillmark::direct
