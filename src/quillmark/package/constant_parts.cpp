#include "quillmark/package/constant_parts.hpp"

#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/package/guards.hpp"
#include "quillmark/package/xml_text.hpp"

#include <sys/stat.h>

#include <mutex>

namespace quillmark::package {

using binding::call;
using binding::call_method;
using binding::Name;

namespace {

inline Name body{"body"};
inline Name _insert_p{"_insert_p"};
inline Name blob{"blob"};
inline Name partname{"partname"};
inline Name membername{"membername"};
inline Name rels_uri{"rels_uri"};
inline Name rels{"rels"};
inline Name values{"values"};
inline Name rId{"rId"};
inline Name reltype{"reltype"};
inline Name target_ref{"target_ref"};
inline Name is_external{"is_external"};
inline Name _styles_part{"_styles_part"};
inline Name infolist{"infolist"};
inline Name filename{"filename"};
inline Name read{"read"};
inline Name marker_attribute{"w:rsidR"};
inline Name marker_value{"QUILLMARKPARAGRAPHS"};
inline Name paragraph_tag{"w:p"};

constexpr const char kMarker[] = "<w:p w:rsidR=\"QUILLMARKPARAGRAPHS\"/>";
constexpr const char kDeclaration[] = "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n";

// When the default template file was read: a file replaced since (another
// python-docx installed in place, say) makes new constants.
struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modified_ns = 0;
  bool operator==(const Stamp &other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified_ns == other.modified_ns;
  }
};

bool stamp_of(const char *path, Stamp &stamp) {
  struct stat status;
  if (stat(path, &status) != 0) return false;
  stamp.device = status.st_dev;
  stamp.inode = status.st_ino;
  stamp.size = status.st_size;
  stamp.modified_ns = static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
  return true;
}

struct State {
  std::mutex mutex;
  Stamp stamp;
  bool known = false;
  std::shared_ptr<const PackageConstants> constants;  // null: the package path is off for this stamp
  std::uint64_t next_generation = 1;
};

State &state() {
  static State *shared = new State();  // kept for the life of the process
  return *shared;
}

std::string utf8(py::handle text) {
  if (!PyUnicode_CheckExact(text.ptr())) throw py::type_error("not a str");
  Py_ssize_t size = 0;
  const char *data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

std::string bytes_of(py::handle bytes) {
  char *data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) < 0) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

std::string member_name(py::handle uri) { return utf8(uri.attr(membername)); }

std::shared_ptr<const PackageConstants> build(py::handle self, std::uint64_t generation) {
  auto constants = std::make_shared<PackageConstants>();
  constants->generation = generation;
  py::object doc = call(docx_document());
  call_method(self, names::_init_numbering, doc);
  py::object part = doc.attr(names::part);

  // The main document part around a marker paragraph inserted where
  // python-docx inserts paragraphs (before the body's section properties).
  py::object body_element = doc.attr(names::element).attr(body);
  py::object marker = call(py::module_::import("docx.oxml").attr("OxmlElement"), paragraph_tag);
  call_method(marker, names::set, call(py::module_::import("docx.oxml.ns").attr("qn"), marker_attribute),
              marker_value);
  call_method(body_element, _insert_p, marker);
  const std::string marked = bytes_of(part.attr(blob));
  const std::size_t at = marked.find(kMarker);
  if (at == std::string::npos || marked.find(kMarker, at + 1) != std::string::npos) return nullptr;
  constants->document_head = marked.substr(0, at);
  constants->document_tail = marked.substr(at + sizeof(kMarker) - 1);
  call_method(body_element, names::remove, marker);

  constants->document_name = member_name(part.attr(partname));
  constants->relationships_name = member_name(part.attr(partname).attr(rels_uri));
  constants->styles_name = member_name(part.attr(_styles_part).attr(partname));
  for (py::handle rel : call_method(part.attr(rels), values)) {
    constants->relationships.push_back({utf8(rel.attr(rId)), utf8(rel.attr(reltype)), utf8(rel.attr(target_ref)),
                                        rel.attr(is_external).ptr() == Py_True});
  }

  // The package as python-docx saves it: its members, their order, and
  // proof that the parts written here come out as python-docx writes them.
  py::object stream = call(py::module_::import("io").attr("BytesIO"));
  call_method(doc, names::save, stream);
  py::object archive = call(zipfile_module().attr("ZipFile"), stream);
  for (py::handle info : call_method(archive, infolist)) {
    std::string name = utf8(info.attr(filename));
    py::object data = call_method(archive, read, info);
    if (name == constants->document_name) {
      if (bytes_of(data) != constants->document_head + constants->document_tail) return nullptr;
      constants->layout.emplace_back(PackageConstants::Slot::document, 0);
    } else if (name == constants->relationships_name) {
      if (bytes_of(data) != relationships_xml(constants->relationships)) return nullptr;
      constants->layout.emplace_back(PackageConstants::Slot::document_relationships, 0);
    } else if (name == constants->styles_name) {
      constants->layout.emplace_back(PackageConstants::Slot::styles, 0);
    } else {
      constants->layout.emplace_back(PackageConstants::Slot::constant, constants->members.size());
      constants->members.push_back(compress_member(std::move(name), data));
    }
  }
  return constants;
}

}  // namespace

namespace {

void relationship_xml(std::string &out, std::string_view id, std::string_view type, std::string_view target,
                      bool external) {
  out += "<Relationship Id=\"";
  append_attribute(out, id);
  out += "\" Type=\"";
  append_attribute(out, type);
  out += "\" Target=\"";
  append_attribute(out, target);
  out += external ? "\" TargetMode=\"External\"/>" : "\"/>";
}

}  // namespace

std::string relationships_xml(const std::vector<Relationship> &relationships,
                              const std::vector<HyperlinkRelationship> &hyperlinks) {
  std::string out = kDeclaration;
  out += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"";
  if (relationships.empty() && hyperlinks.empty()) return out + "/>";
  out += '>';
  for (const Relationship &rel : relationships) relationship_xml(out, rel.id, rel.type, rel.target, rel.external);
  for (const HyperlinkRelationship &link : hyperlinks) {
    relationship_xml(out, *link.id, kHyperlinkRelationshipType, *link.target, true);
  }
  return out + "</Relationships>";
}

std::shared_ptr<const PackageConstants> package_constants(py::handle self) {
  State &shared = state();
  Stamp now;
  if (!stamp_of(default_template_path(), now)) return nullptr;
  std::uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.known && shared.stamp == now) return shared.constants;
    generation = shared.next_generation++;
  }
  // Made without the lock: python-docx runs here, and may let other threads
  // in. Two threads may both make them; either result is the same.
  std::shared_ptr<const PackageConstants> made;
  try {
    made = build(self, generation);
  } catch (py::error_already_set &error) {
    // A failure here (the default template unreadable, say) is met again,
    // and reported, by the element path; an interruption is not ours to
    // keep.
    if (!error.matches(PyExc_Exception)) throw;
  } catch (py::type_error &) {
  }
  std::lock_guard<std::mutex> lock(shared.mutex);
  shared.stamp = now;
  shared.known = true;
  shared.constants = made;
  return made;
}

}  // namespace quillmark::package
