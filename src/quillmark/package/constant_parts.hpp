// What every package has in common, read once per process from a document
// python-docx makes from its default template, with the generator's
// numbering in it: the members in the order python-docx writes them, each
// constant one compressed once, the main document part around its
// paragraphs, and the document part's relationships.
#pragma once

#include "quillmark/package/zip_container.hpp"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::package {

namespace py = pybind11;

// The relationship type of an external hyperlink, as a part lists it.
constexpr std::string_view kHyperlinkRelationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";

struct Relationship {
  std::string id, type, target;  // UTF-8
  bool external;
};

struct PackageConstants {
  enum class Slot { constant, styles, document, document_relationships };

  std::uint64_t generation = 0;
  // The members in python-docx's order; a constant one's index into
  // `members`.
  std::vector<std::pair<Slot, std::size_t>> layout;
  std::vector<Member> members;
  std::string document_name, relationships_name, styles_name;
  // The main document part before and after the place paragraphs go (UTF-8
  // XML, the declaration included).
  std::string document_head, document_tail;
  // The document part's relationships, in python-docx's order.
  std::vector<Relationship> relationships;
};

// An external hyperlink a document adds to its part's relationships.
struct HyperlinkRelationship {
  const std::string *id, *target;  // UTF-8, held by the caller
};

// The relationships part python-docx writes for `relationships` followed by
// `hyperlinks`.
std::string relationships_xml(const std::vector<Relationship> &relationships,
                              const std::vector<HyperlinkRelationship> &hyperlinks = {});

// The constants for python-docx's default template as it is now, made with
// `self`'s own _init_numbering. Null when python-docx's output does not come
// out as this writer expects (the package path then stays off).
std::shared_ptr<const PackageConstants> package_constants(py::handle self);

}  // namespace quillmark::package
