// The eight shared strings: the fixed sheet, column and mark names every part of the library
// uses, loaded from the string table once for the library's whole life.
#pragma once

#include <string>

namespace ddt {

// Read-only after load.
struct SharedStrings {
  std::string global;  // "Global": name of the global sheet
  std::string iter;    // "Iter": iteration column of the global sheet
  std::string vid;     // "VID": virtual-user id column
  std::string host;    // "Host": host column
  std::string group;   // "Group": group column
  std::string out;     // "_out": suffix of output-parameter columns
  std::string exp;     // "_exp": suffix of expected-value columns
  std::string end;     // ".End": mark that begins a terminator row
};

// The shared strings. Filled before any other code of the library runs (also safe to call
// from another static initialiser: the first call loads them).
const SharedStrings& Shared();

}  // namespace ddt
