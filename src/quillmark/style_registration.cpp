// set_styles(): every template style becomes paragraph style N and character
// style "Tv" + N of the document.
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/style_names.hpp"
#include "quillmark/style_registration.hpp"

namespace quillmark {

using binding::call_method;

namespace {

// python-docx looks styles up by name through an XPath expression that it
// builds from the raw name, so a name with a double quote either fails
// obscurely or selects a different style. Such a style is refused before the
// document is touched for it.
void refuse_unsafe_name(py::handle style_name) {
  if (!PyUnicode_Check(style_name.ptr())) return;
  const Py_ssize_t quote = PyUnicode_FindChar(style_name.ptr(), '"', 0, PyUnicode_GET_LENGTH(style_name.ptr()), 1);
  if (quote == -2) throw py::error_already_set();
  if (quote == -1) return;
  PyErr_Format(PyExc_ValueError,
               "template style %R cannot be registered: style names containing '\"' are not supported",
               style_name.ptr());
  throw py::error_already_set();
}

// The identifier python-docx gives a style it creates under `name`, by its own
// rule: the internal form of the name (a few built-in names are lower-cased),
// then the identifier derived from that (spaces removed, a few built-in names
// mapped).
py::str new_style_identifier(py::handle name) {
  py::object internal = py::module_::import("docx.styles").attr("BabelFish").attr("ui2internal")(name);
  return py::module_::import("docx.oxml.styles").attr("styleId_from_name")(internal);
}

// python-docx does not check that the identifier it derives is free, so a new
// style could share its w:styleId with an existing one (or get an empty one),
// and readers would apply the wrong formatting. Such a template style is
// refused before the document is touched for it. `kind` and `new_name` say
// which of its two styles would clash.
void refuse_clashing_identifier(py::handle doc, py::handle template_name, const char *kind, py::handle new_name) {
  py::str identifier = new_style_identifier(new_name);
  if (PyUnicode_GET_LENGTH(identifier.ptr()) == 0) {
    PyErr_Format(PyExc_ValueError, "template style %R cannot be registered: its %s style %R would get an empty identifier",
                 template_name.ptr(), kind, new_name.ptr());
    throw py::error_already_set();
  }
  py::object holder = call_method(doc.attr(names::styles).attr(names::_element), names::get_by_id, identifier);
  if (holder.is_none()) return;
  py::object holder_name = holder.attr(names::name_val);
  PyErr_Format(PyExc_ValueError,
               "template style %R cannot be registered: its %s style %R would get the identifier %R, "
               "which style %R already holds",
               template_name.ptr(), kind, new_name.ptr(), identifier.ptr(), holder_name.ptr());
  throw py::error_already_set();
}

bool has_style(py::handle doc, py::handle name) {
  const int present = PySequence_Contains(doc.attr(names::styles).ptr(), name.ptr());
  if (present < 0) throw py::error_already_set();
  return present != 0;
}

}  // namespace

void register_styles(const Call &call, py::handle self, py::handle doc, py::handle template_, StyleStore &store) {
  for (py::handle style : template_.attr(names::styles)) {
    py::object style_name = style.attr(names::name).attr(names::value);
    refuse_unsafe_name(style_name);
    py::str run_style_name = character_style_name(style_name);

    const bool present = store.has(style_name);
    // Only new styles get an identifier; a name the document already has is
    // edited in place, and a second "Tv" style of one name is refused by
    // python-docx itself when it is added.
    if (!present && PyUnicode_CheckExact(style_name.ptr())) {
      refuse_clashing_identifier(doc, style_name, "paragraph", style_name);
    }
    if (!store.has(run_style_name)) refuse_clashing_identifier(doc, style_name, "character", run_style_name);

    if (!present) store.add(style_name, call.global(names::WD_STYLE_TYPE).attr(names::PARAGRAPH));
    py::object doc_style = doc.attr(names::styles)[style_name];
    store.apply(self, names::_set_paragraph_format, set_paragraph_format, doc_style, style);
    store.apply(self, names::_set_font_style, set_font_style, doc_style, style);

    py::object character_type = call.global(names::WD_STYLE_TYPE).attr(names::CHARACTER);
    py::object run_style = store.add(run_style_name, character_type);
    store.apply(self, names::_set_font_style, set_font_style, run_style, style);
  }
}

namespace {

// Everything through python-docx's style collection and self's methods.
class DocumentStyles final : public StyleStore {
 public:
  explicit DocumentStyles(py::handle doc) : doc_(doc) {}

  bool has(py::handle name) override { return has_style(doc_, name); }
  py::object add(py::handle name, py::handle style_type) override {
    return call_method(doc_.attr(names::styles), names::add_style, name, style_type);
  }
  void apply(py::handle self, const binding::Name &method, binding::Body, py::handle doc_style,
             py::handle style) override {
    call_method(self, method, doc_style, style);
  }

 private:
  py::handle doc_;
};

}  // namespace

py::object set_styles(const Call &call) {
  DocumentStyles store(call.arg(0));
  register_styles(call, call.self(), call.arg(0), call.arg(1), store);
  return py::none();
}

}  // namespace quillmark
