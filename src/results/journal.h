// The run journal of a results workbook: an append-only file beside the workbook's file
// ("<file>.journal") that makes each copied row and each verified output durable at the
// cost of the cells written, instead of a rewrite of the whole workbook. A record holds
// cells (sheet, row, column, the column's name, typed value or formula, style); each is written with
// one write and flushed to disk before Append returns. Records are framed with their length
// and a checksum, so a record torn by a crash is recognised and dropped on reading, together
// with anything after it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/cell_image.h"

namespace ddt::results {

// A cell's value or formula and look (engine::CellImage) with where it belongs.
struct JournalCell : engine::CellImage {
  std::string sheet;  // sheet name
  int32_t row = 0;
  int32_t col = 0;
  std::string name;  // the column's header text
};
using JournalRecord = std::vector<JournalCell>;

// The journal file of a workbook file.
std::string JournalPath(const std::string& workbookPath);

class RunJournal {
 public:
  explicit RunJournal(std::string path) : path_(std::move(path)) {}
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  const std::string& Path() const { return path_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Appends one record and flushes it to disk; opens (creates) the file on first use.
  // False when the file cannot be opened or written; the record is then not durable.
  bool Append(const JournalRecord& record);
  // Closes and deletes the file. True when no file is left.
  bool Remove();

  // Every complete record of a journal file, in order; empty when there is no file.
  static std::vector<JournalRecord> Read(const std::string& path);

 private:
  std::string path_;
  int fd_ = -1;
};

// Frame encoding, exposed for tests of torn and damaged files.
std::string EncodeRecord(const JournalRecord& record);

}  // namespace ddt::results
