// Reading and writing workbook files. Workbook::ReadFile and Workbook::WriteFile are the
// grid's entry points; the functions here are the parts they are made of, usable on their own.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ddt::grid {
class Workbook;
}

namespace ddt::grid::io {

class XlsxSession;

// What a read noticed without failing.
struct ReadReport {
  int fileType = 0;          // the format read (file_type.h)
  int refusedFormulas = 0;   // formulas the parser refused; their cached values were kept
  std::string firstRefused;  // "Sheet!A1: text" of the first one
  std::vector<std::string> notes;  // what the read changed to read the file, one sentence each
};

// The format of a file from its first bytes: a zip archive is Office Open XML, an OLE2
// compound file legacy .xls, text (UTF-8, Windows-1252 or UTF-16 with its byte-order mark)
// is CSV. The name must not promise more than the content holds: a file named .xlsx or
// .xlsm must be a zip archive, and one named .xlsx, .xlsm or .xls must not be empty (an
// empty file of another name is an empty CSV table). Throws GridError when the content is
// none of these, does not match the name, or cannot be read.
int DetectFileType(const std::string& path);

// Each reader fills `book`, a fresh workbook, from the file and throws GridError on failure
// (the caller then discards `book`). Messages say what was wrong; the caller adds the file.
// Row r of the file goes to row r - book.ReadOrigin() (Workbook::BeginReadInPlace), with its
// formulas translated as Workbook::HoldHeaderRow would; messages name the file's rows.
// The .xlsx reader also returns the file's session: what the package held beside the grid's
// model (null for a package of another namespace, whose extras are not kept); the caller
// gives it to the workbook (Workbook::SetExtras) or to the writer.
std::shared_ptr<XlsxSession> ReadXlsx(const std::string& path, Workbook& book,
                                      ReadReport& report);
void ReadXls(const std::string& path, Workbook& book, ReadReport& report);
void ReadCsv(const std::string& path, Workbook& book, ReadReport& report);

// Reads any supported file into a new workbook and swaps it into `book` only when the read
// completed. `fileType` 4 recognises the format; a specific code is accepted too, the content
// decides. `rowOrigin` 1 reads the file with its header row held (Workbook::ReadFile).
// Returns the code of the format read. Throws GridError naming the file.
int ReadWorkbookFile(Workbook& book, const std::string& path, int fileType,
                     ReadReport* report = nullptr, int rowOrigin = 0);

// The workbook as an Office Open XML package (the bytes of an .xlsx file). A workbook read
// from an .xlsx/.xlsm file gets back what the grid does not model; `path` (the name it is
// saved under) decides whether a macro project can be kept; `notes` receives a sentence for
// each thing a structural edit or the name made the save leave out.
// The overloads without a session take the one the workbook holds.
std::string XlsxBytes(const Workbook& book);
std::string XlsxBytes(const Workbook& book, const std::string& path,
                      std::vector<std::string>* notes);
std::string XlsxBytes(const Workbook& book, const XlsxSession* session, const std::string& path,
                      std::vector<std::string>* notes);
// Writes the workbook as .xlsx to `path` atomically: a temporary file beside it, flushed to
// disk, then renamed over the target. On failure the previous file is untouched and
// GridError names the file.
void WriteXlsxFile(const Workbook& book, const std::string& path,
                   std::vector<std::string>* notes = nullptr);
void WriteXlsxFile(const Workbook& book, const XlsxSession* session, const std::string& path,
                   std::vector<std::string>* notes);

}  // namespace ddt::grid::io
