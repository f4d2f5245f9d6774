// _add_hyperlink(): one external hyperlink, shown blue and single-underlined
// in the paragraph's "Tv" character style.
#include "binding/checks.hpp"
#include "binding/names.hpp"
#include "quillmark/hyperlink.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark {

using binding::call_method;

namespace {

inline binding::Name hyperlink_relationship{
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink"};

// The link symbol is shown to readers as a "view the original" note.
inline binding::Name link_symbol{"🔗"};
inline binding::Name link_symbol_text{"(查看原文)"};

// Run properties after the style, in schema order; bold only on request.
const wordml::ValueElement link_bold = {wml::b, wml::true_value};
const wordml::ValueElement link_look[] = {{wml::color, wml::blue}, {wml::u, wml::single}};

// Readers drop leading and trailing white space of a w:t unless asked to keep
// it; python-docx asks in exactly this case for its own runs.
bool has_outer_space(py::handle text) { return py::len(call_method(text, names::strip)) < py::len(text); }

py::object link_run(const Call &c, py::handle text, py::handle style_name, py::handle bold) {
  py::object new_run = wordml::element(c, wml::r);
  py::object r_pr = wordml::element(c, wml::r_pr);
  // The run refers to the character style by identifier, which python-docx
  // derived from its name without spaces.
  wordml::append(r_pr, wordml::element(c, wml::r_style, wml::val, character_style_id(style_name)));
  if (binding::is_true(bold)) wordml::append(r_pr, wordml::element(c, link_bold));
  for (const wordml::ValueElement &look : link_look) wordml::append(r_pr, wordml::element(c, look));
  wordml::append(new_run, r_pr);

  py::object t = wordml::element(c, wml::t);
  set_link_text(c, t, text);
  wordml::append(new_run, t);
  return new_run;
}

}  // namespace

py::handle hyperlink_relationship_type() { return hyperlink_relationship; }

py::str shown_text(py::handle text) {
  PyObject *replaced = PyUnicode_Replace(text.ptr(), link_symbol.get().ptr(), link_symbol_text.get().ptr(), -1);
  if (replaced == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(replaced);
}

void check_hyperlink_arguments(py::handle url, py::handle text, py::handle style_name) {
  binding::require_exact_type(url, &PyUnicode_Type, "url");
  binding::require_exact_type(text, &PyUnicode_Type, "text");
  binding::require_exact_type(style_name, &PyUnicode_Type, "style_name");
}

void set_link_text(const Call &c, py::handle t, py::handle text) {
  t.attr(names::text) = text;
  if (has_outer_space(text)) call_method(t, names::set, wordml::qn(c, wml::xml_space), wml::preserve);
}

py::object hyperlink_element(const Call &c, py::handle r_id, py::handle text, py::handle style_name, py::handle bold) {
  py::object hyperlink = wordml::element(c, wml::hyperlink, wml::r_id, r_id);
  wordml::append(hyperlink, link_run(c, text, style_name, bold));
  return hyperlink;
}

void write_hyperlink(const Call &c, py::handle paragraph, py::handle url, py::handle text, py::handle style_name,
                     py::handle bold, const Relate &relate, const Build &build) {
  check_hyperlink_arguments(url, text, style_name);
  py::str link_text = shown_text(text);
  py::object r_id = relate(url);

  py::object hyperlink = build ? build(r_id, link_text) : hyperlink_element(c, r_id, link_text, style_name, bold);
  wordml::append(paragraph.attr(names::_p), hyperlink);
}

py::object add_hyperlink(const Call &c) {
  py::handle paragraph = c.arg(0);
  write_hyperlink(c, paragraph, c.arg(1), c.arg(2), c.arg(3), c.arg(4), [&](py::handle url) {
    py::object part = paragraph.attr(names::part);
    return call_method(part, names::relate_to, names::kw_is_external, url, hyperlink_relationship,
                       py::handle(Py_True));
  }, nullptr);
  return py::none();
}

}  // namespace quillmark
