// The library's string table, compiled in: every user-visible message and every fixed sheet
// or column name, under the ids below (1 to 17, no others). Also the %1/%2 message formatting
// and the module-context guard that exported entry points take.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ddt::platform {

// String ids.
inline constexpr int IDS_PARAM_NAME_INVALID = 1;        // "Parameter name invalid: '%1', ..."
inline constexpr int IDS_CREATE_ENGINE_FAILED = 2;      // "Fail to create Formula One instance."
inline constexpr int IDS_TOO_MANY_COLUMNS = 3;          // "Error: Attempt to create more than 255 columns."
inline constexpr int IDS_GLOBAL_SHEET = 4;              // "Global"
inline constexpr int IDS_ITER_COLUMN = 5;               // "Iter"
inline constexpr int IDS_VID_COLUMN = 6;                // "VID"
inline constexpr int IDS_HOST_COLUMN = 7;               // "Host"
inline constexpr int IDS_GROUP_COLUMN = 8;              // "Group"
inline constexpr int IDS_HOST_INITIAL = 9;              // "Local"
inline constexpr int IDS_GROUP_INITIAL = 10;            // "None"
inline constexpr int IDS_OUTPUT_SUFFIX = 11;            // "_out"
inline constexpr int IDS_EXPECTED_SUFFIX = 12;          // "_exp"
inline constexpr int IDS_TERMINATOR_MARK = 13;          // ".End"
inline constexpr int IDS_ITER_INITIAL = 14;             // "1"
inline constexpr int IDS_VID_INITIAL = 15;              // "1"
inline constexpr int IDS_NOT_COMPARED = 16;             // "<N/A>"
inline constexpr int IDS_UNRESOLVED_REFERENCES = 17;    // "Unresolved refrences ...:\n\n%1"

inline constexpr int kFirstStringId = 1;
inline constexpr int kLastStringId = 17;

// The text of a string id; "" for an id that is not in the table. Never fails.
std::string_view LoadStringView(int id);
std::string LoadString(int id);

// Fills numbered inserts: "%1" .. "%99" become the first .. 99th argument; "%%" becomes "%".
// A reference to a missing argument, and a "%" followed by anything else, stay as written.
// Inserted texts are not scanned again, so a "%2" inside the first argument stays literal.
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);
// LoadString(id) formatted with args.
std::string FormatString(int id, std::initializer_list<std::string_view> args);

// The per-module state that resource look-ups belong to. There is one: this library's.
struct ModuleContext {
  const char* name;
};
const ModuleContext& LibraryContext();
// The context current on this thread, or null outside any exported entry.
const ModuleContext* CurrentModuleContext();

// Makes the library's context current on this thread for the guard's lifetime and restores
// the previous one after (nesting is fine). Every exported function takes one on entry.
class ModuleContextGuard {
 public:
  ModuleContextGuard();
  ~ModuleContextGuard();
  ModuleContextGuard(const ModuleContextGuard&) = delete;
  ModuleContextGuard& operator=(const ModuleContextGuard&) = delete;

 private:
  const ModuleContext* previous_;
};

}  // namespace ddt::platform
