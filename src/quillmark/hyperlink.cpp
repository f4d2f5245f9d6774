// _add_hyperlink(): one external hyperlink, shown blue and single-underlined
// in the paragraph's "Tv" character style.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark {

namespace {

constexpr const char hyperlink_relationship[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";

// The link symbol is shown to readers as a "view the original" note.
constexpr const char link_symbol[] = "🔗";
constexpr const char link_symbol_text[] = "(查看原文)";

// Run properties after the style, in schema order; bold only on request.
constexpr wordml::ValueElement link_bold = {"w:b", "true"};
constexpr wordml::ValueElement link_look[] = {{"w:color", "0000FF"}, {"w:u", "single"}};

py::str shown_text(py::handle text) {
  PyObject *replaced =
      PyUnicode_Replace(text.ptr(), py::str(link_symbol).ptr(), py::str(link_symbol_text).ptr(), -1);
  if (replaced == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(replaced);
}

// Readers drop leading and trailing white space of a w:t unless asked to keep
// it; python-docx asks in exactly this case for its own runs.
bool has_outer_space(py::handle text) {
  return py::len(text.attr("strip")()) < py::len(text);
}

py::object link_run(const Call &call, py::handle text, py::handle style_name, py::handle bold) {
  py::object new_run = wordml::element(call, "w:r");
  py::object r_pr = wordml::element(call, "w:rPr");
  // The run refers to the character style by identifier, which python-docx
  // derived from its name without spaces.
  wordml::append(r_pr, wordml::element(call, "w:rStyle", "w:val", character_style_id(style_name)));
  if (binding::is_true(bold)) wordml::append(r_pr, wordml::element(call, link_bold));
  for (const wordml::ValueElement &look : link_look) wordml::append(r_pr, wordml::element(call, look));
  wordml::append(new_run, r_pr);

  py::object t = wordml::element(call, "w:t");
  t.attr("text") = text;
  if (has_outer_space(text)) t.attr("set")(wordml::qn(call, "xml:space"), "preserve");
  wordml::append(new_run, t);
  return new_run;
}

}  // namespace

py::object add_hyperlink(const Call &call) {
  py::handle paragraph = call.arg(0);
  py::handle url = call.arg(1);
  py::handle text = call.arg(2);
  py::handle style_name = call.arg(3);
  py::handle bold = call.arg(4);
  binding::require_exact_type(url, &PyUnicode_Type, "url");
  binding::require_exact_type(text, &PyUnicode_Type, "text");
  binding::require_exact_type(style_name, &PyUnicode_Type, "style_name");

  py::str link_text = shown_text(text);
  py::object part = paragraph.attr("part");
  py::object r_id = part.attr("relate_to")(url, hyperlink_relationship, py::arg("is_external") = true);

  py::object hyperlink = wordml::element(call, "w:hyperlink", "r:id", r_id);
  wordml::append(hyperlink, link_run(call, link_text, style_name, bold));
  paragraph.attr("_p").attr("append")(hyperlink);
  return py::none();
}

}  // namespace quillmark
