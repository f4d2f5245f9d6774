#include "quillmark/package/xml_text.hpp"

namespace quillmark::package {

bool writable_utf8(py::handle text, std::string_view &utf8) {
  Py_ssize_t size = 0;
  const char *data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (data == nullptr) {  // a lone surrogate has no UTF-8 form
    PyErr_Clear();
    return false;
  }
  const auto *bytes = reinterpret_cast<const unsigned char *>(data);
  for (Py_ssize_t i = 0; i < size; ++i) {
    const unsigned char b = bytes[i];
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return false;
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (b == 0xEF && i + 2 < size && bytes[i + 1] == 0xBF && (bytes[i + 2] == 0xBE || bytes[i + 2] == 0xBF)) {
      return false;
    }
  }
  utf8 = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

namespace {

template <bool attribute>
void append_escaped(std::string &out, std::string_view utf8) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char *entity = nullptr;
    switch (utf8[i]) {
      case '&': entity = "&amp;"; break;
      case '<': entity = "&lt;"; break;
      case '>': entity = "&gt;"; break;
      case '\r': entity = "&#13;"; break;
      case '"': entity = attribute ? "&quot;" : nullptr; break;
      case '\t': entity = attribute ? "&#9;" : nullptr; break;
      case '\n': entity = attribute ? "&#10;" : nullptr; break;
      default: break;
    }
    if (entity == nullptr) continue;
    out.append(utf8.data() + start, i - start);
    out.append(entity);
    start = i + 1;
  }
  out.append(utf8.data() + start, utf8.size() - start);
}

}  // namespace

void append_text(std::string &out, std::string_view utf8) { append_escaped<false>(out, utf8); }

void append_attribute(std::string &out, std::string_view utf8) { append_escaped<true>(out, utf8); }

bool has_outer_space(py::handle text) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text.ptr());
  if (length == 0) return false;
  const int kind = PyUnicode_KIND(text.ptr());
  const void *data = PyUnicode_DATA(text.ptr());
  return Py_UNICODE_ISSPACE(PyUnicode_READ(kind, data, 0)) ||
         Py_UNICODE_ISSPACE(PyUnicode_READ(kind, data, length - 1));
}

}  // namespace quillmark::package
