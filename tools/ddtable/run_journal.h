// The journal of a run in progress: beside the results workbook ("<results>.run-journal"),
// one record per row whose command has ended, appended as the row ends. A run that is
// killed (even with SIGKILL) leaves it behind; the next run of the same input, business
// process and command into the same results workbook takes the rows it holds as done and
// runs only the others. A finished run folds it into the workbook and removes it.
//
// Records are written with one write(2) each and not synced: they survive the process being
// killed, not the machine losing power. Each record carries its length and a CRC-32, so a
// record torn by a kill is recognised and dropped with everything after it.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "process_pool.h"

namespace ddtcli {

std::string RunJournalPath(const std::string& resultsPath);

// A row of the run: iteration (from 1) and child-table row (0 without --each).
using RowKey = std::pair<long, long>;

struct JournalRow {
  CommandOutcome outcome;
  std::string outputFileText;     // the output file's content when the run reads one
  std::string outputFileProblem;  // why it could not be read
};

class OutcomeJournal {
 public:
  // `identity` tells runs apart: a journal written under another identity is not taken.
  OutcomeJournal(std::string path, std::string identity);
  ~OutcomeJournal();
  OutcomeJournal(const OutcomeJournal&) = delete;
  OutcomeJournal& operator=(const OutcomeJournal&) = delete;

  // The rows of a journal left by an interrupted run of the same identity (complete records
  // only). A journal of another identity is reported through `foreign` and left unread.
  std::map<RowKey, JournalRow> Recover(bool& foreign) const;
  // Starts the journal afresh (the rows recovered are written again first). False with the
  // reason when it cannot be written; the run then goes on without one.
  bool Start(const std::map<RowKey, JournalRow>& carried, std::string& problem);
  // Appends a row; false when the write failed (the journal is then closed).
  bool Append(const RowKey& key, const JournalRow& row);
  // Closes and deletes the journal: its rows are in the results workbook.
  void Remove();

 private:
  std::string path_, identity_;
  int fd_ = -1;
};

}  // namespace ddtcli
