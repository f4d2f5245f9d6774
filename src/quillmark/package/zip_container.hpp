// The ZIP container of a package, byte for byte as zipfile writes it when
// python-docx saves into a BytesIO: every member through writestr (deflated
// by zipfile's own compressor, at zlib's default level), its time read from
// zipfile's clock as the member is written, headers and central directory
// as ZipFile writes them for a seekable stream.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::package {

namespace py = pybind11;

struct Member {
  std::string name;        // the member name, ASCII
  std::string compressed;  // raw deflate, as zipfile's compressor gives it
  std::uint32_t crc = 0;
  std::uint64_t size = 0;  // uncompressed
};

// `data` as zipfile.writestr would store it under `name`.
Member compress_member(std::string name, std::string_view data);
// The same for a bytes object.
Member compress_member(std::string name, py::handle bytes);

// Thrown where zipfile would not write the container as this writer does
// (a clock before 1980 or past 2107, sizes that need ZIP64): the element
// path then saves through zipfile, which does what it does.
struct ContainerUnsupported {};

// The container holding `members` in this order.
py::bytes write_container(const std::vector<const Member *> &members);

}  // namespace quillmark::package
