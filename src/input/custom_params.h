// Settings and custom-parameter files of the input workbook, read through the platform's
// private-profile layer (platform/profile.h: case-insensitive keys and sections, first match
// wins, a missing file or key gives the default).
#pragma once

#include <string>
#include <vector>

namespace ddt::input {

// The settings switch: integer key "TOOLKIT_CHANGES" of section "SLM" in "velmora.ini" (a
// bare name, so the platform's configuration directory applies). A missing file or key
// reads as 0: off.
bool ToolkitChangesEnabled();

// One custom parameter: the section "Custom:<name>" of a custom-parameter file.
struct CustomParameter {
  std::string name;       // the section name after "Custom:", as written
  std::string value;      // key "CurrentValue": row 1 of the custom sheet
  std::string prompt;     // key "Prompt": row 2
  std::string server;     // key "IsServer": row 3
  std::string mandatory;  // key "Mandatory": row 4
};

// The file a caller's path stands for: the path with its last three characters replaced by
// "prm" when it has more than four characters, else the path itself.
std::string CustomParameterFile(const std::string& callerPath);

// Every custom parameter of the file, in file order. Only sections whose name starts with
// "Custom:" exactly (case-sensitive) and names a parameter count; the list of section names
// is read through a 4096-byte buffer and each value is cut to 255 bytes, a missing key
// reading as "". A missing file gives an empty list.
std::vector<CustomParameter> ReadCustomParameters(const std::string& file);

}  // namespace ddt::input
