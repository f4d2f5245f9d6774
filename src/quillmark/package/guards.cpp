#include "quillmark/package/guards.hpp"

#include "quillmark/captured_attributes.hpp"
#include "quillmark/direct/guards.hpp"
#include "quillmark/identifiers.hpp"

#include <iterator>
#include <string>

namespace quillmark::package {

namespace {

// python-docx opening its default template and saving a package, and
// zipfile writing one, as the writer stands in for them.
const ClassAttribute kClassAttributes[] = {
    {"docx.document", "Document", "save", 1},
    {"docx.parts.document", "DocumentPart", "save", 1},
    {"docx.opc.package", "OpcPackage", "open", 1},
    {"docx.opc.package", "OpcPackage", "save", 1},
    {"docx.opc.package", "OpcPackage", "iter_parts", 1},
    {"docx.opc.package", "OpcPackage", "parts", 1},
    {"docx.opc.package", "Unmarshaller", "unmarshal", 1},
    {"docx.opc.pkgreader", "PackageReader", "from_file", 1},
    {"docx.opc.part", "PartFactory", "__new__", 1},
    {"docx.opc.part", "Part", "blob", 1},
    {"docx.opc.part", "Part", "before_marshal", 1},
    {"docx.opc.part", "XmlPart", "blob", 1},
    {"docx.opc.part", "XmlPart", "load", 1},
    {"docx.opc.rel", "Relationships", "xml", 1},
    {"docx.opc.pkgwriter", "PackageWriter", "write", 1},
    {"docx.opc.pkgwriter", "PackageWriter", "_write_content_types_stream", 1},
    {"docx.opc.pkgwriter", "PackageWriter", "_write_pkg_rels", 1},
    {"docx.opc.pkgwriter", "PackageWriter", "_write_parts", 1},
    {"docx.opc.phys_pkg", "PhysPkgWriter", "__new__", 1},
    {"docx.opc.phys_pkg", "_ZipPkgWriter", "__init__", 1},
    {"docx.opc.phys_pkg", "_ZipPkgWriter", "write", 1},
    {"docx.opc.phys_pkg", "_ZipPkgWriter", "close", 1},
    {"zipfile", "ZipFile", "__init__", 1},
    {"zipfile", "ZipFile", "writestr", 1},
    {"zipfile", "ZipFile", "open", 1},
    {"zipfile", "ZipFile", "_open_to_write", 1},
    {"zipfile", "ZipFile", "_writecheck", 1},
    {"zipfile", "ZipFile", "close", 1},
    {"zipfile", "ZipFile", "_write_end_record", 1},
    {"zipfile", "ZipInfo", "__init__", 1},
    {"zipfile", "ZipInfo", "FileHeader", 1},
    {"zipfile", "ZipInfo", "_encodeFilenameFlags", 1},
    {"zipfile", "_ZipWriteFile", "__init__", 1},
    {"zipfile", "_ZipWriteFile", "write", 1},
    {"zipfile", "_ZipWriteFile", "close", 1},
};

const ModuleAttribute kModuleAttributes[] = {
    {"docx.api", "Package", 1},
    {"docx.api", "_default_docx_path", 1},
    {"docx.opc.part", "serialize_part_xml", 1},
    {"docx.opc.pkgwriter", "serialize_part_xml", 1},
    {"docx.opc.pkgwriter", "PhysPkgWriter", 1},
    {"docx.opc.phys_pkg", "ZipFile", 1},
    {"docx.opc.oxml", "serialize_part_xml", 1},
    {"zipfile", "ZipInfo", 1},
    {"zipfile", "_ZipWriteFile", 1},
    {"zipfile", "_get_compressor", 1},
    {"zipfile", "crc32", 1},
    {"zipfile", "zlib", 1},
    {"zlib", "compressobj", 1},
    {"re", "compile", 1},
};

struct Originals {
  bool captured = false;
  CapturedAttributes attributes;
  py::object docx_document, bytes_io, re, compressor, crc32, zipfile, namespace_type;
  std::string template_path;
};

Originals *originals = nullptr;

}  // namespace

void capture_originals() {
  auto *captured = new Originals();  // kept for the life of the process
  originals = captured;
  if (!direct::release_supported()) return;
  if (!captured->attributes.capture(kClassAttributes, std::size(kClassAttributes), kModuleAttributes,
                                    std::size(kModuleAttributes))) {
    return;
  }
  try {
    captured->docx_document = py::module_::import("docx").attr("Document");
    captured->bytes_io = py::module_::import("io").attr("BytesIO");
    captured->re = py::module_::import("re");
    captured->zipfile = py::module_::import("zipfile");
    captured->compressor = captured->zipfile.attr("_get_compressor");
    captured->crc32 = captured->zipfile.attr("crc32");
    captured->namespace_type = py::module_::import("types").attr("SimpleNamespace");
    py::object path = py::module_::import("docx.api").attr("_default_docx_path")();
    captured->template_path = py::str(path).cast<std::string>();
  } catch (py::error_already_set &) {
    return;
  }
  captured->captured = true;
}

bool chain_unchanged(PyObject *globals) {
  if (originals == nullptr || !originals->captured) return false;
  if (!direct::library_unchanged_for_every_shortcut(globals)) return false;
  PyObject *factory = PyDict_GetItemWithError(globals, names::PyDocxDocument.get().ptr());
  PyObject *bytes_io = PyDict_GetItemWithError(globals, names::BytesIO.get().ptr());
  PyObject *re = PyDict_GetItemWithError(globals, names::re.get().ptr());
  if (PyErr_Occurred()) throw py::error_already_set();
  if (factory != originals->docx_document.ptr() || bytes_io != originals->bytes_io.ptr() ||
      re != originals->re.ptr()) {
    return false;
  }
  return originals->attributes.unchanged(1);
}

const char *default_template_path() { return originals->template_path.c_str(); }
py::handle docx_document() { return originals->docx_document; }
py::handle zip_compressor() { return originals->compressor; }
py::handle zip_crc32() { return originals->crc32; }
py::handle zipfile_module() { return originals->zipfile; }
py::handle simple_namespace() { return originals->namespace_type; }

}  // namespace quillmark::package
