// What a data table knows about the files it read and wrote, so that a save never
// overwrites what someone else put in a file since: another process or run writing the same
// file, or a spreadsheet program that holds it open (its lock file beside it).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/error_kind.h"

class CDT;

namespace ddt::table {

// A file's identity and state on disk. Every complete write of a workbook file makes a new
// file (it is renamed over the old one), so the identity changes with each write even when
// size and time would not.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  bool operator==(const FileStamp& other) const;
};

FileStamp StampOf(const std::string& path);

// The lock file another spreadsheet program keeps beside a file it has open
// (".~lock.NAME#"), or "" when there is none.
std::string ForeignLockFile(const std::string& path);

// Per data table: whether its last Open read the file, and the stamp each file it read or
// wrote had at that moment.
void NoteOpened(const CDT* table, const std::string& path, const FileStamp& before, bool read);
void NoteEmptied(const CDT* table);
void NoteWritten(const CDT* table, const std::string& path);
void ForgetTable(const CDT* table);
bool WasRead(const CDT* table);
// True when the file at path is the one this table read or last wrote there, as it was
// then (a file that did not exist then must still not exist).
bool Unchanged(const CDT* table, const std::string& path);
// Why writing path would destroy what someone else put there: a lock file of another
// program (Locked), the file changed since this table read or wrote it (ChangedOnDisk), or
// it existed but could not be read (Other). An empty text when it may be written.
struct Refusal {
  std::string text;
  platform::ErrorKind kind = platform::ErrorKind::None;
};
Refusal OverwriteRefusal(const CDT* table, const std::string& path);

// Holds an exclusive lock on the directory of a file while it lives, so that the check
// before a save and the write itself are one step for every process using this library.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& path);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace ddt::table
