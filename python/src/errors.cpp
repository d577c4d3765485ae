// Turning the library's failures into Python exceptions: the class comes from the kind of
// the thread's last error (missing, not a workbook, damaged, encrypted, changed on disk,
// locked, not writable, over a limit), the message names the file and the reason the
// failed member left.
#include <cerrno>
#include <cstring>

#include "core.h"
#include "ddtable/ddtable.h"

namespace ddt::python {

void Raise(const char* kind, const std::string& message) {
  py::object type = py::module_::import("ddtable.errors").attr(kind);
  PyErr_SetObject(type.ptr(), py::str(message).ptr());
  throw py::error_already_set();
}

namespace {

[[noreturn]] void RaiseFileError(const char* kind, const std::string& path,
                                 const std::string& message) {
  py::object type = py::module_::import("ddtable.errors").attr(kind);
  py::object error = type(message, py::arg("filename") = path);
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

// The exception class of a failure to read or write a file, by its kind.
const char* FileErrorClass(ddt_error_kind kind) {
  switch (kind) {
    case DDT_ERROR_MISSING: return "MissingFileError";
    case DDT_ERROR_NOT_A_WORKBOOK: return "NotAWorkbookError";
    case DDT_ERROR_DAMAGED: return "DamagedFileError";
    case DDT_ERROR_ENCRYPTED: return "EncryptedFileError";
    case DDT_ERROR_CHANGED_ON_DISK: return "ChangedOnDiskError";
    case DDT_ERROR_LOCKED: return "LockedFileError";
    case DDT_ERROR_NOT_WRITABLE: return "NotWritableError";
    case DDT_ERROR_OVER_LIMIT: return "LimitError";
    default: return "FileError";
  }
}

// The message of a file failure: the library's reason, which usually names the file
// already, else the file and the reason.
std::string FileMessage(const std::string& path, const std::string& reason) {
  if (reason.find(path) != std::string::npos) return reason;
  return path + ": " + reason;
}

}  // namespace

void RaiseReadError(const std::string& path) {
  const ddt_error_kind kind = ddt_last_error_kind();
  // A missing file reads as the system says it, as Python's own open() does.
  if (kind == DDT_ERROR_MISSING)
    RaiseFileError("MissingFileError", path, path + ": " + std::strerror(ENOENT));
  std::string reason = ddt::LastError();
  if (reason.empty()) reason = "the file could not be read as a workbook";
  RaiseFileError(FileErrorClass(kind), path, FileMessage(path, reason));
}

void WarnSaveNotes(CDT& table, const std::string& path) {
  const std::vector<std::string> notes = table.GetSaveNotes();
  if (notes.empty()) return;
  py::object category = py::module_::import("ddtable.errors").attr("SaveWarning");
  for (const std::string& note : notes) {
    // A filter may turn the warning into an exception: it then propagates.
    if (PyErr_WarnEx(category.ptr(), (path + ": " + note).c_str(), 1) != 0)
      throw py::error_already_set();
  }
}

void RaiseWriteError(const std::string& path) {
  const ddt_error_kind kind = ddt_last_error_kind();
  std::string reason = ddt::LastError();
  if (reason.empty()) reason = "the workbook could not be written";
  RaiseFileError(kind == DDT_ERROR_MISSING ? "NotWritableError" : FileErrorClass(kind), path,
                 FileMessage(path, reason));
}

}  // namespace ddt::python
