// Turning the library's failures into Python exceptions with a message that names the file
// and the reason: the thread's last error, which the failed member left, or else what a look
// at the file finds.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core.h"
#include "ddtable/ddtable.h"
#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"

namespace ddt::python {

void Raise(const char* kind, const std::string& message) {
  py::object type = py::module_::import("ddtable.errors").attr(kind);
  PyErr_SetObject(type.ptr(), py::str(message).ptr());
  throw py::error_already_set();
}

namespace {

[[noreturn]] void RaiseFileError(const char* kind, const std::string& path,
                                 const std::string& reason) {
  py::object type = py::module_::import("ddtable.errors").attr(kind);
  py::object error = type(path + ": " + reason, py::arg("filename") = path);
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

}  // namespace

void RaiseReadError(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    RaiseFileError(error == ENOENT ? "MissingFileError" : "FileError", path,
                   std::strerror(error));
  }
  if (S_ISDIR(info.st_mode)) RaiseFileError("FileError", path, std::strerror(EISDIR));
  if (::access(path.c_str(), R_OK) != 0) RaiseFileError("FileError", path, std::strerror(errno));
  // The file is there. The failed open left the reader's reason as the last error; only
  // when it did not is the file read once more (a large one would be read twice).
  std::string reason = ddt::LastError();
  if (reason.empty()) {
    reason = "the file could not be read as a workbook";
    try {
      ddt::grid::Workbook scratch;
      ddt::grid::io::ReadWorkbookFile(scratch, path, ddt::grid::io::kFileTypeAny);
    } catch (const std::exception& error) {
      reason = error.what();
    }
  }
  // The reader's message usually names the file already.
  if (reason.find(path) != std::string::npos) {
    py::object type = py::module_::import("ddtable.errors").attr("FileError");
    py::object e = type(reason, py::arg("filename") = path);
    PyErr_SetObject(type.ptr(), e.ptr());
    throw py::error_already_set();
  }
  RaiseFileError("FileError", path, reason);
}

void WarnSaveNotes(CDT& table, const std::string& path) {
  const ddt::grid::Workbook* book = table.m_pEngine ? table.m_pEngine->GetBook() : nullptr;
  if (book == nullptr || book->LastSaveNotes().empty()) return;
  py::object category = py::module_::import("ddtable.errors").attr("SaveWarning");
  for (const std::string& note : book->LastSaveNotes()) {
    // A filter may turn the warning into an exception: it then propagates.
    if (PyErr_WarnEx(category.ptr(), (path + ": " + note).c_str(), 1) != 0)
      throw py::error_already_set();
  }
}

void RaiseWriteError(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::exists(folder, ec)) RaiseFileError("FileError", path, "no folder " + folder.string());
  if (!fs::is_directory(folder, ec))
    RaiseFileError("FileError", path, folder.string() + " is not a folder");
  if (::access(folder.c_str(), W_OK) != 0)
    RaiseFileError("FileError", path, std::string(std::strerror(errno)));
  if (fs::is_directory(target, ec)) RaiseFileError("FileError", path, std::strerror(EISDIR));
  RaiseFileError("FileError", path, "the workbook could not be written");
}

}  // namespace ddt::python
