// tolvek.doc.generator.generate.generators.quillmark: the DOCX generator.
// Importing it binds the python-docx entry points, the host's model, the
// alignment map and the class Quillmark, in that order.
#include "binding/classes.hpp"
#include "binding/imports.hpp"
#include "binding/module.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/markdown_links.hpp"
#include "quillmark/package/guards.hpp"
#include "quillmark/methods.hpp"

namespace {

namespace py = pybind11;
using binding::Default;
using binding::MethodSpec;
namespace names = quillmark::names;

constexpr const char add_runs_doc[] =
    "添加富文本 runs 到段落\n\n"
    "        Args:\n"
    "            paragraph: docx 段落对象\n"
    "            runs: Run 对象列表\n"
    "        ";

constexpr const char add_text_content_doc[] =
    "添加文本内容到段落（支持 Markdown 超链接转换）\n\n"
    "        Args:\n"
    "            paragraph: docx 段落对象\n"
    "            text: 文本内容\n"
    "            style_name: 样式名称\n"
    "            bold: 是否粗体\n"
    "        ";

// What Python sees of class Quillmark, in the order of its class body.
const MethodSpec quillmark_methods[] = {
    {"generate", {{{"document", "Document"}, {"template", "Template"}}}, "File", nullptr, quillmark::generate},
    {"add_paragraph",
     {{{"doc", "DocumentObject"}, {"element", "Element"}, {"template", "Template"}}},
     "None", nullptr, quillmark::add_paragraph},
    {"_add_runs", {{{"paragraph", "DocxParagraph"}, {"runs", "list"}}}, "None", add_runs_doc, quillmark::add_runs},
    {"_add_text_content",
     {{{"paragraph", "DocxParagraph"}, {"text", "str"}, {"style_name", "str"}, {"bold", "bool"}}},
     "None", add_text_content_doc, quillmark::add_text_content},
    {"_init_numbering", {{{"doc", "DocumentObject"}}}, "None", "初始化多级列表编号样式", quillmark::init_numbering},
    {"set_styles", {{{"doc", "DocumentObject"}, {"template", "Template"}}}, "None", nullptr, quillmark::set_styles},
    {"_set_font_style",
     {{{"doc_style", "Union[ParagraphStyle, CharacterStyle]"}, {"style", "Style"}}},
     "None", nullptr, quillmark::set_font_style},
    {"_set_paragraph_format", {{{"doc_style", "ParagraphStyle"}, {"style", "Style"}}}, "None", nullptr,
     quillmark::set_paragraph_format},
    {"save", {{{"doc", "DocumentObject"}}}, "bytes", nullptr, quillmark::save},
    {"_add_hyperlink",
     {{{"paragraph", "DocxParagraph"},
       {"url", "str"},
       {"text", "str"},
       {"style_name", "str"},
       {"bold", "bool", Default::false_value}}},
     "None", "添加超链接到段落", quillmark::add_hyperlink},
};

// The template's alignments and python-docx's, member for member.
const binding::Name *const alignments[] = {&names::LEFT, &names::CENTER, &names::RIGHT, &names::JUSTIFY};

py::dict make_align_map(py::dict globals) {
  py::dict align_map;
  for (const binding::Name *alignment : alignments) {
    align_map[globals[names::AlignmentTypes].attr(*alignment)] = globals[names::WD_ALIGN_PARAGRAPH].attr(*alignment);
  }
  return align_map;
}

void bind_names(py::dict globals) {
  binding::import_module(globals, "re");
  binding::import_from(globals, "io", {{"BytesIO"}});
  binding::import_from(globals, "typing", {{"Union"}});
  binding::import_from(globals, "docx", {{"Document", "PyDocxDocument"}});
  binding::import_from(globals, "docx.document", {{"Document", "DocumentObject"}});
  binding::import_from(globals, "docx.enum.style", {{"WD_STYLE_TYPE"}});
  binding::import_from(globals, "docx.enum.text", {{"WD_ALIGN_PARAGRAPH"}});
  binding::import_from(globals, "docx.oxml", {{"OxmlElement"}});
  binding::import_from(globals, "docx.oxml.ns", {{"qn"}});
  binding::import_from(globals, "docx.shared", {{"Pt"}, {"RGBColor"}});
  binding::import_from(globals, "docx.styles.style", {{"CharacterStyle"}, {"ParagraphStyle"}});
  binding::import_from(globals, "docx.text.paragraph", {{"Paragraph", "DocxParagraph"}});
  binding::import_from(globals, "tolvek.doc.generator.core.enums",
                       {{"AlignmentTypes"}, {"ElementTypes"}, {"StyleNames"}});
  binding::import_from(globals, "tolvek.doc.generator.generate.models",
                       {{"Document"}, {"Element"}, {"File"}, {"Style"}, {"Template"}});
  binding::import_from(globals, "lodestem", {{"Lodestem"}}, 1);
  globals["align_map"] = make_align_map(globals);
  globals["Quillmark"] = binding::make_class(globals, "Quillmark", globals["Lodestem"], quillmark_methods);
  quillmark::direct::capture_originals();
  quillmark::package::capture_originals();
  quillmark::capture_pattern_type();
}

}  // namespace

// Exported explicitly: before 3.9, PyMODINIT_FUNC does not override hidden visibility.
extern "C" PYBIND11_EXPORT PyObject *PyInit_quillmark() { return binding::define_module<bind_names>("quillmark"); }
