#include "quillmark/direct/context.hpp"

#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/hyperlink.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/rich_runs.hpp"
#include "quillmark/text_content.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark::direct {


using binding::call_method;
using binding::Name;

namespace {

inline Name _body{"_body"};
inline Name _new_p{"_new_p"};
inline Name add_relationship{"add_relationship"};
inline Name add_style_of_type{"add_style_of_type"};
inline Name deepcopy{"__deepcopy__"};
inline Name addprevious{"addprevious"};
inline Name find{"find"};
inline Name get_by_name{"get_by_name"};
inline Name default_for{"default_for"};
inline Name styleId{"styleId"};
inline Name getparent{"getparent"};
inline Name is_external{"is_external"};
inline Name rId{"rId"};
inline Name rels{"rels"};
inline Name reltype{"reltype"};
inline Name style{"style"};
inline Name style_lst{"style_lst"};
inline Name target_ref{"target_ref"};
inline Name values{"values"};
inline Name section_properties_tag{"{http://schemas.openxmlformats.org/wordprocessingml/2006/main}sectPr"};
inline binding::KeywordNames kw_is_external{"is_external"};

bool exact_str(py::handle value) { return PyUnicode_CheckExact(value.ptr()); }

bool bool_or_none(py::handle value) { return value.is_none() || PyBool_Check(value.ptr()); }

inline Name run_tag{"w:r"};
inline Name text_tag{"w:t"};
inline Name insert{"insert"};
inline Name rPr{"rPr"};
inline Name nothing{""};

// Text that python-docx's run text setter writes as one w:t: no tab, carriage
// return or line feed, which it turns into elements of their own.
bool is_plain(py::handle text) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text.ptr());
  const int kind = PyUnicode_KIND(text.ptr());
  const void *data = PyUnicode_DATA(text.ptr());
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c == '\t' || c == '\r' || c == '\n') return false;
  }
  return true;
}

py::object dict_get(py::dict &dict, py::handle key) {
  PyObject *value = PyDict_GetItemWithError(dict.ptr(), key.ptr());
  if (value == nullptr && PyErr_Occurred()) throw py::error_already_set();
  return py::reinterpret_borrow<py::object>(value);  // null when absent
}

}  // namespace

bool Context::applies(py::handle doc) {
  if (!release_supported()) return false;
  if (Py_TYPE(doc.ptr()) != reinterpret_cast<PyTypeObject *>(document_class().ptr())) return false;
  py::object part = doc.attr(names::part);
  return Py_TYPE(part.ptr()) == reinterpret_cast<PyTypeObject *>(document_part_class().ptr());
}

Context::Context(const binding::Call &call, py::handle doc) : call_(call), doc_(doc) {}

void Context::invalidate() {
  part_ = py::object();
  body_ = py::object();
  body_element_ = py::object();
  styles_element_ = py::object();
  style_names_known_ = false;
  paragraph_style_ids_.clear();
  character_style_ids_.clear();
  default_styles_.clear();
  paragraph_templates_.clear();
  run_templates_.clear();
  hyperlink_templates_.clear();
  rich_properties_templates_.clear();
  empty_run_ = py::object();
  empty_text_ = py::object();
  section_properties_ = py::object();
  hyperlink_ids_.clear();
  relationships_seen_ = -1;
}

py::handle Context::styles_element() {
  if (!styles_element_) styles_element_ = doc_.attr(names::styles).attr(names::_element);
  return styles_element_;
}

py::set &Context::style_names() {
  if (!style_names_known_) {
    style_names_ = py::set();
    for (py::handle element : styles_element().attr(style_lst)) style_names_.add(element.attr(names::name_val));
    style_names_known_ = true;
  }
  return style_names_;
}

// What python-docx's Styles.get_style_id(name, style_type) answers, in the
// steps it takes: the style found by its name, refused when of another type,
// None when it is the default style of that type, else its identifier. False
// when python-docx would not find the style by name (it then tries the name
// as an identifier, with a warning, or raises) or would refuse its type: the
// caller then makes python-docx's own call.
bool Context::resolve_style_id(py::handle name, py::handle style_type, py::object &style_id) {
  py::object internal = binding::call(internal_style_name(), name);
  py::object element = call_method(styles_element(), get_by_name, internal);
  if (element.is_none()) return false;
  py::object type = element.attr(names::type);
  // A style without a type is a paragraph style.
  if (type.is_none()) type = style_types().attr(names::PARAGRAPH);
  if (!binding::equals(type, style_type)) return false;
  py::object default_style = dict_get(default_styles_, style_type);
  if (!default_style) {
    default_style = call_method(styles_element(), default_for, style_type);
    default_styles_[style_type] = default_style;
  }
  if (element.is(default_style)) {
    style_id = py::none();
  } else {
    style_id = element.attr(styleId);
  }
  return true;
}

bool Context::has_style(py::handle name) {
  if (library_unchanged(Shortcut::style, globals()) && exact_str(name)) {
    py::object internal = binding::call(internal_style_name(), name);
    return style_names().contains(internal);
  }
  const int present = PySequence_Contains(doc_.attr(names::styles).ptr(), name.ptr());
  if (present < 0) throw py::error_already_set();
  return present != 0;
}

py::object Context::add_style(py::handle name, py::handle style_type) {
  if (library_unchanged(Shortcut::style, globals()) && exact_str(name)) {
    py::object internal = binding::call(internal_style_name(), name);
    if (!style_names().contains(internal)) {
      py::object element = call_method(styles_element(), add_style_of_type, internal, style_type,
                                       py::handle(Py_False));
      style_names().add(internal);
      // A new style may change what a name resolves to.
      paragraph_style_ids_.clear();
      character_style_ids_.clear();
      default_styles_.clear();
      return binding::call(style_factory(), element);
    }
  }
  // python-docx refuses a name it has; anything else it adds we no longer
  // know of.
  py::object added = call_method(doc_.attr(names::styles), names::add_style, name, style_type);
  invalidate();
  return added;
}

void Context::insert_paragraph(py::handle p) {
  // python-docx inserts before the body's first w:sectPr, found by a search
  // from the start; the one found first stays first while paragraphs go in
  // front of it.
  if (!section_properties_ || !call_method(section_properties_, getparent).is(body_element_)) {
    section_properties_ = call_method(body_element_, find, section_properties_tag);
  }
  if (section_properties_.is_none()) {
    call_method(body_element_, names::append, p);
  } else {
    call_method(section_properties_, addprevious, p);
  }
}

py::object Context::add_paragraph(py::handle style_name) {
  if (!library_unchanged(Shortcut::paragraph, globals()) || !exact_str(style_name)) {
    return call_method(doc_, names::add_paragraph, names::kw_style, style_name);
  }
  py::object style_id = dict_get(paragraph_style_ids_, style_name);
  if (!style_id) {
    py::object paragraph_type = style_types().attr(names::PARAGRAPH);
    if (!resolve_style_id(style_name, paragraph_type, style_id)) {
      return call_method(doc_, names::add_paragraph, names::kw_style, style_name);
    }
    paragraph_style_ids_[style_name] = style_id;
  }
  if (!body_) {
    body_ = doc_.attr(_body);
    body_element_ = body_.attr(names::_element);
  }
  py::object p = copy_of(paragraph_templates_, style_id, &Context::paragraph_template);
  insert_paragraph(p);
  return binding::call(paragraph_class(), p, body_);
}

void Context::add_styled_run(py::handle paragraph, py::handle text, py::handle run_style, py::handle bold) {
  if (!library_unchanged(Shortcut::styled_run, globals()) || !exact_str(run_style) || !exact_str(text) ||
      !bool_or_none(bold)) {
    quillmark::add_styled_run(paragraph, text, run_style, bold);
    return;
  }
  py::object style_id = dict_get(character_style_ids_, run_style);
  if (!style_id) {
    py::object character_type = style_types().attr(names::CHARACTER);
    if (!resolve_style_id(run_style, character_type, style_id)) {
      quillmark::add_styled_run(paragraph, text, run_style, bold);
      return;
    }
    character_style_ids_[run_style] = style_id;
  }
  py::object r = copy_of(run_templates_, py::make_tuple(style_id, bold), &Context::run_template);
  call_method(paragraph.attr(names::_p), names::append, r);
  if (PyUnicode_GET_LENGTH(text.ptr()) > 0) write_text(r, text);
}

// What the run text setter writes into a fresh run: text without tabs and
// line breaks as one w:t (CT_R.add_t), anything else through the setter.
void Context::write_text(py::handle r, py::handle text) {
  if (!exact_str(text) || !is_plain(text)) {
    r.attr(names::text) = text;
    return;
  }
  if (!empty_text_) empty_text_ = binding::call(call_.global(names::OxmlElement), text_tag);
  py::object t = call_method(empty_text_, deepcopy, py::none());
  t.attr(names::text) = text;
  call_method(r, names::append, t);
  if (PyObject_Length(call_method(text, names::strip).ptr()) < PyUnicode_GET_LENGTH(text.ptr())) {
    call_method(t, names::set, wordml::qn(call_, wml::xml_space), wml::preserve);
  }
}

py::object Context::empty_element(const binding::Name &tag) {
  return binding::call(call_.global(names::OxmlElement), tag);
}

void Context::add_rich_run(py::handle paragraph, py::handle item) {
  if (!library_unchanged(Shortcut::rich_run, globals())) {
    quillmark::add_rich_run(paragraph, item);
    return;
  }
  py::object text = item.attr(names::text);
  if (!empty_run_) empty_run_ = empty_element(run_tag);
  py::object r = call_method(empty_run_, deepcopy, py::none());
  call_method(paragraph.attr(names::_p), names::append, r);
  if (binding::is_true(text)) write_text(r, text);

  // The three settings, read in order; the first one that is not a plain
  // True, False or None goes through the run's own setters, as does every
  // setting after it.
  py::object settings[3];
  const Name *const *properties = run_properties;
  for (int i = 0; i < 3; ++i) {
    settings[i] = item.attr(*properties[i]);
    if (bool_or_none(settings[i])) continue;
    py::object font = binding::call(font_class(), r);
    for (int j = 0; j <= i; ++j) font.attr(*properties[j]) = settings[j];
    for (int j = i + 1; j < 3; ++j) font.attr(*properties[j]) = item.attr(*properties[j]);
    return;
  }
  py::object key = py::make_tuple(settings[0], settings[1], settings[2]);
  call_method(r, insert, py::int_(0), copy_of(rich_properties_templates_, key, &Context::rich_properties_template));
}

// The w:rPr the run's Font setters write for a plain bold, italic and
// underline.
py::object Context::rich_properties_template(py::handle key) {
  py::object r = empty_element(run_tag);
  py::object font = binding::call(font_class(), r);
  font.attr(names::bold) = PyTuple_GET_ITEM(key.ptr(), 0);
  font.attr(names::italic) = PyTuple_GET_ITEM(key.ptr(), 1);
  font.attr(names::underline) = PyTuple_GET_ITEM(key.ptr(), 2);
  return r.attr(rPr);
}

py::object Context::copy_hyperlink(py::handle style_name, py::handle bold) {
  if (!library_unchanged(Shortcut::link_copy, globals()) || !bool_or_none(bold)) return py::object();
  return copy_of(hyperlink_templates_, py::make_tuple(style_name, bold), &Context::hyperlink_template);
}

py::object Context::copy_of(py::dict &templates, py::handle key, py::object (Context::*build)(py::handle)) {
  py::object found = dict_get(templates, key);
  if (!found) {
    found = (this->*build)(key);
    templates[key] = found;
  }
  return call_method(found, deepcopy, py::none());
}

// What doc.add_paragraph(style=...) makes, before it is inserted: a w:p from
// the body's own factory, styled through the element's style property.
py::object Context::paragraph_template(py::handle style_id) {
  py::object p = call_method(body_element_, _new_p);
  p.attr(style) = style_id;
  return p;
}

// What paragraph.add_run(style=...) and run.bold make, without text: a w:r
// styled through the element's style property, bold set through the run's
// Font.
py::object Context::run_template(py::handle key) {
  py::handle style_id = PyTuple_GET_ITEM(key.ptr(), 0);
  py::handle bold = PyTuple_GET_ITEM(key.ptr(), 1);
  py::object r = empty_element(run_tag);
  r.attr(style) = style_id;
  binding::call(font_class(), r).attr(names::bold) = bold;
  return r;
}

py::object Context::hyperlink_template(py::handle key) {
  py::handle style_name = PyTuple_GET_ITEM(key.ptr(), 0);
  py::handle bold = PyTuple_GET_ITEM(key.ptr(), 1);
  return hyperlink_element(call_, nothing, nothing, style_name, bold);
}

void Context::index_relationships(py::handle relationships, py::handle relationship_type) {
  hyperlink_ids_.clear();
  next_relationship_ = 1;
  indexed_type_ = py::reinterpret_borrow<py::object>(relationship_type);
  // python-docx reuses the first relationship of the same type and target.
  for (py::handle rel : call_method(relationships, values)) {
    if (rel.attr(is_external).ptr() != Py_True) continue;
    if (!binding::equals(rel.attr(reltype), relationship_type)) continue;
    py::object target = rel.attr(target_ref);
    if (!exact_str(target) || hyperlink_ids_.contains(target)) continue;
    hyperlink_ids_[target] = rel.attr(rId);
  }
  relationships_seen_ = PyObject_Length(relationships.ptr());
  if (relationships_seen_ < 0) throw py::error_already_set();
}

py::object Context::relate_external(py::handle paragraph, py::handle url, py::handle relationship_type) {
  if (!library_unchanged(Shortcut::relationship, globals()) || !exact_str(url)) {
    return call_method(paragraph.attr(names::part), names::relate_to, kw_is_external, url, relationship_type,
                       py::handle(Py_True));
  }
  if (!part_) part_ = doc_.attr(names::part);
  py::object relationships = part_.attr(rels);
  if (Py_TYPE(relationships.ptr()) != reinterpret_cast<PyTypeObject *>(relationships_class().ptr())) {
    return call_method(part_, names::relate_to, kw_is_external, url, relationship_type, py::handle(Py_True));
  }
  // Relationships are only ever added during a call; a count that moved
  // without us means someone else added or removed one.
  if (PyObject_Length(relationships.ptr()) != relationships_seen_ || !indexed_type_.is(relationship_type)) {
    index_relationships(relationships, relationship_type);
  }
  py::object known = dict_get(hyperlink_ids_, url);
  if (known) return known;

  // The lowest free "rIdN", as python-docx numbers new relationships.
  py::object id;
  for (;; ++next_relationship_) {
    id = py::reinterpret_steal<py::object>(PyUnicode_FromFormat("rId%ld", next_relationship_));
    if (!id) throw py::error_already_set();
    const int taken = PySequence_Contains(relationships.ptr(), id.ptr());
    if (taken < 0) throw py::error_already_set();
    if (!taken) break;
  }
  call_method(relationships, add_relationship, kw_is_external, relationship_type, url, id, py::handle(Py_True));
  ++next_relationship_;
  hyperlink_ids_[url] = id;
  relationships_seen_ = PyObject_Length(relationships.ptr());
  if (relationships_seen_ < 0) throw py::error_already_set();
  return id;
}

}  // namespace quillmark::direct
