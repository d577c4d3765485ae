// The grid's file entry points: reading replaces the whole workbook only after the file was
// read completely; writing goes through a temporary file.
#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/workbook.h"

namespace ddt::grid {

namespace io {

int ReadWorkbookFile(Workbook& book, const std::string& path, int fileType,
                     ReadReport* report, int rowOrigin) {
  ReadReport local;
  ReadReport& r = report ? *report : local;
  r = ReadReport{};
  auto fresh = std::make_unique<Workbook>();
  fresh->BeginReadInPlace(rowOrigin);
  try {
    const int type = DetectFileType(path);
    switch (type) {
      case kFileTypeXlsx: fresh->SetExtras(ReadXlsx(path, *fresh, r)); break;
      case kFileTypeXls: ReadXls(path, *fresh, r); break;
      default: ReadCsv(path, *fresh, r); break;
    }
  } catch (const GridError& e) {
    throw GridError("Cannot open \"" + path + "\": " + e.what(), e.kind());
  } catch (const std::bad_alloc&) {
    throw GridError("Cannot open \"" + path + "\": out of memory");
  } catch (const std::length_error&) {
    throw GridError("Cannot open \"" + path + "\": out of memory");
  }
  fresh->EndReadInPlace();
  book.ReplaceContents(std::move(*fresh));
  book.SetReadNotes(r.notes);
  return r.fileType;
}

}  // namespace io

int Workbook::ReadFile(const std::string& path, int fileType, int rowOrigin) {
  return io::ReadWorkbookFile(*this, path, fileType, nullptr, rowOrigin);
}

void Workbook::WriteFile(const std::string& path, int fileType) const {
  saveNotes_.clear();
  io::WriteXlsxFile(*this, path, &saveNotes_);
}

}  // namespace ddt::grid
