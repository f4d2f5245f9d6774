#include "quillmark/package/zip_container.hpp"

#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "quillmark/package/guards.hpp"

#include <cstring>

namespace quillmark::package {

namespace {

inline binding::Name compress{"compress"};
inline binding::Name flush{"flush"};
inline binding::Name time_name{"time"};
inline binding::Name localtime{"localtime"};

constexpr std::uint16_t kVersion = 20;        // zipfile's DEFAULT_VERSION; deflate needs no more
constexpr std::uint8_t kCreateSystem = 3;     // Unix
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint32_t kExternalAttributes = 0600u << 16;  // ?rw-------, as writestr gives a file
constexpr std::uint64_t kZip64Limit = (1ull << 31) - 1;
constexpr long kDeflatedKind = 8;  // zipfile.ZIP_DEFLATED

struct DosTime {
  std::uint16_t time, date;
};

// time.localtime(time.time())[:6], through zipfile's own `time`, as writestr
// reads it for each member.
DosTime member_time() {
  py::object clock = zipfile_module().attr(time_name);
  py::object now = binding::call_method(clock, time_name);
  py::object local = binding::call_method(clock, localtime, now);
  long fields[6];
  for (Py_ssize_t i = 0; i < 6; ++i) {
    py::object item = py::reinterpret_steal<py::object>(PySequence_GetItem(local.ptr(), i));
    if (!item) throw py::error_already_set();
    fields[i] = PyLong_AsLong(item.ptr());
    if (fields[i] == -1 && PyErr_Occurred()) throw py::error_already_set();
  }
  // zipfile refuses years before 1980; past 2107 the year no longer fits.
  if (fields[0] < 1980 || fields[0] > 2107) throw ContainerUnsupported();
  const auto date = static_cast<std::uint16_t>((fields[0] - 1980) << 9 | fields[1] << 5 | fields[2]);
  const auto time = static_cast<std::uint16_t>(fields[3] << 11 | fields[4] << 5 | fields[5] / 2);
  return {time, date};
}

void put16(std::string &out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string &out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t crc32_of(py::handle data) {
  py::object crc = binding::call(zip_crc32(), data);
  const unsigned long value = PyLong_AsUnsignedLong(crc.ptr());
  if (PyErr_Occurred()) throw py::error_already_set();
  return static_cast<std::uint32_t>(value);
}

void append_bytes(std::string &out, py::handle bytes) {
  char *data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) < 0) throw py::error_already_set();
  out.append(data, static_cast<std::size_t>(size));
}

}  // namespace

Member compress_member(std::string name, std::string_view data) {
  // Lent to zlib for the calls below only: nothing keeps the view.
  auto view = py::reinterpret_steal<py::object>(
      PyMemoryView_FromMemory(const_cast<char *>(data.data()), static_cast<Py_ssize_t>(data.size()), PyBUF_READ));
  if (!view) throw py::error_already_set();
  Member member;
  member.name = std::move(name);
  member.size = data.size();
  member.crc = crc32_of(view);
  // writestr writes the whole member through one write handle: one
  // compress() and the final flush().
  py::object compressor = binding::call(zip_compressor(), py::int_(kDeflatedKind));
  append_bytes(member.compressed, binding::call_method(compressor, compress, view));
  append_bytes(member.compressed, binding::call_method(compressor, flush));
  return member;
}

Member compress_member(std::string name, py::handle bytes) {
  char *data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) < 0) throw py::error_already_set();
  return compress_member(std::move(name), std::string_view(data, static_cast<std::size_t>(size)));
}

py::bytes write_container(const std::vector<const Member *> &members) {
  std::vector<DosTime> times;
  std::vector<std::uint64_t> offsets;
  std::uint64_t offset = 0;
  for (const Member *member : members) {
    // zipfile switches to ZIP64 records for a member that may grow past
    // 2 GiB, which this writer does not write.
    if (static_cast<double>(member->size) * 1.05 > static_cast<double>(kZip64Limit) ||
        member->compressed.size() > kZip64Limit || offset > kZip64Limit) {
      throw ContainerUnsupported();
    }
    times.push_back(member_time());
    offsets.push_back(offset);
    offset += 30 + member->name.size() + member->compressed.size();
  }
  if (members.size() > 0xFFFF || offset > kZip64Limit) throw ContainerUnsupported();

  std::string out;
  out.reserve(static_cast<std::size_t>(offset) + members.size() * 80 + 22);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member &m = *members[i];
    put32(out, 0x04034b50);
    put16(out, kVersion);  // extract version, then a zero reserved byte
    put16(out, 0);         // flags
    put16(out, kDeflated);
    put16(out, times[i].time);
    put16(out, times[i].date);
    put32(out, m.crc);
    put32(out, static_cast<std::uint32_t>(m.compressed.size()));
    put32(out, static_cast<std::uint32_t>(m.size));
    put16(out, static_cast<std::uint16_t>(m.name.size()));
    put16(out, 0);  // extra
    out += m.name;
    out += m.compressed;
  }
  const std::uint64_t directory_offset = out.size();
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member &m = *members[i];
    put32(out, 0x02014b50);
    out.push_back(static_cast<char>(kVersion));
    out.push_back(static_cast<char>(kCreateSystem));
    put16(out, kVersion);  // extract version, then a zero reserved byte
    put16(out, 0);         // flags
    put16(out, kDeflated);
    put16(out, times[i].time);
    put16(out, times[i].date);
    put32(out, m.crc);
    put32(out, static_cast<std::uint32_t>(m.compressed.size()));
    put32(out, static_cast<std::uint32_t>(m.size));
    put16(out, static_cast<std::uint16_t>(m.name.size()));
    put16(out, 0);  // extra
    put16(out, 0);  // comment
    put16(out, 0);  // disk
    put16(out, 0);  // internal attributes
    put32(out, kExternalAttributes);
    put32(out, static_cast<std::uint32_t>(offsets[i]));
    out += m.name;
  }
  const std::uint64_t directory_size = out.size() - directory_offset;
  if (directory_size > kZip64Limit || directory_offset > kZip64Limit) throw ContainerUnsupported();
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<std::uint16_t>(members.size()));
  put16(out, static_cast<std::uint16_t>(members.size()));
  put32(out, static_cast<std::uint32_t>(directory_size));
  put32(out, static_cast<std::uint32_t>(directory_offset));
  put16(out, 0);  // comment
  return py::bytes(out.data(), out.size());
}

}  // namespace quillmark::package
