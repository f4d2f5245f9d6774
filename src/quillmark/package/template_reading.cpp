#include "quillmark/package/template_reading.hpp"

#include "binding/calls.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/template_settings.hpp"
#include "quillmark/package/guards.hpp"
#include "quillmark/package/model_reads.hpp"

#include <cstring>

namespace quillmark::package {

namespace {

using binding::Name;

inline Name _name_{"_name_"};

// Appends `value` to the key with its exact type.
void key_value(const binding::Call &c, std::string &key, py::handle value) {
  PyObject *object = value.ptr();
  if (object == Py_None) {
    key += 'N';
  } else if (object == Py_True || object == Py_False) {
    key += object == Py_True ? 'T' : 'F';
  } else if (PyLong_CheckExact(object)) {
    key += 'i';
    key += py::str(value).cast<std::string>();
    key += ';';
  } else if (PyFloat_CheckExact(object)) {
    const double number = PyFloat_AS_DOUBLE(object);
    char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    key += 'f';
    key.append(bytes, sizeof bytes);
  } else if (PyUnicode_CheckExact(object)) {
    Py_ssize_t size = 0;
    const char *data = PyUnicode_AsUTF8AndSize(object, &size);
    if (data == nullptr) {  // a lone surrogate: registration would fail on it
      PyErr_Clear();
      throw ElementPathNeeded();
    }
    key += 's';
    key += std::to_string(size);
    key += ':';
    key.append(data, static_cast<std::size_t>(size));
  } else if (is_exactly(c, value, names::AlignmentTypes)) {
    key += 'a';
    key += py::str(value.attr(_name_)).cast<std::string>();
    key += ';';
  } else {
    throw ElementPathNeeded();
  }
}

}  // namespace

TemplateReading read_template(const binding::Call &c, py::handle template_) {
  if (!is_exactly(c, template_, names::Template)) throw ElementPathNeeded();
  py::object styles = read_plain(template_, names::styles);
  if (!PyList_CheckExact(styles.ptr()) && !PyTuple_CheckExact(styles.ptr())) throw ElementPathNeeded();

  TemplateReading reading;
  for (py::handle style : styles) {
    if (!is_exactly(c, style, names::Style)) throw ElementPathNeeded();
    TemplateReading::StyleValues values;
    py::object name_holder = read_plain(style, names::name);
    // A member of the model's StyleNames keeps its name in `value`.
    values.name = is_exactly(c, name_holder, names::StyleNames) ? name_holder.attr(names::value)
                                                                : read_plain(name_holder, names::value);
    reading.key_ += '[';
    key_value(c, reading.key_, values.name);
    for (std::size_t i = 0; i < kParagraphSettings; ++i) {
      values.paragraph[i] = read_plain(read_plain(style, names::p_format), *paragraph_setting_names[i]);
      key_value(c, reading.key_, values.paragraph[i]);
    }
    for (int pass = 0; pass < 2; ++pass) {  // the paragraph style, then the "Tv" character style
      for (const FontSettingRead &read : font_setting_reads) {
        py::object value = read_plain(read_plain(style, names::font), *read.field);
        if (pass == 0 && !values.font[read.slot]) {
          key_value(c, reading.key_, value);
          values.font[read.slot] = value;
        }
      }
    }
    reading.styles_.push_back(std::move(values));
  }
  return reading;
}

py::object TemplateReading::snapshot() const {
  py::handle shape = simple_namespace();
  py::list styles;
  for (const StyleValues &values : styles_) {
    py::dict paragraph, font;
    for (std::size_t i = 0; i < kParagraphSettings; ++i) paragraph[paragraph_setting_names[i]->get()] = values.paragraph[i];
    for (const FontSettingRead &read : font_setting_reads) font[read.field->get()] = values.font[read.slot];
    styles.append(shape(py::arg("name") = shape(py::arg("value") = values.name),
                        py::arg("p_format") = shape(**paragraph), py::arg("font") = shape(**font)));
  }
  return shape(py::arg("styles") = styles);
}

}  // namespace quillmark::package
