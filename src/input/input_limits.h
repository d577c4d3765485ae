// Fixed names, sizes and limits of the test input workbook.
#pragma once

#include <cstddef>
#include <string_view>

namespace ddt::input {

// The custom sheet and the row headings of its four rows.
inline constexpr std::string_view kCustomSheet = "Custom";
inline constexpr std::string_view kCustomRowHeadings[] = {"Value", "Prompt", "Server",
                                                          "Mandatory"};

// The settings switch that makes Open prepare the custom sheet.
inline constexpr std::string_view kSettingsFile = "velmora.ini";
inline constexpr std::string_view kSettingsSection = "SLM";
inline constexpr std::string_view kToolkitChangesKey = "TOOLKIT_CHANGES";

// Custom-parameter files: one section "Custom:<name>" per parameter with these keys.
inline constexpr std::string_view kCustomSectionPrefix = "Custom:";
inline constexpr std::string_view kCurrentValueKey = "CurrentValue";
inline constexpr std::string_view kPromptKey = "Prompt";
inline constexpr std::string_view kIsServerKey = "IsServer";
inline constexpr std::string_view kMandatoryKey = "Mandatory";
// The caller names the file ending in "usr"; the file read ends in "prm".
inline constexpr std::string_view kCustomCallerSuffix = "usr";
inline constexpr std::string_view kCustomFileSuffix = "prm";
// A path of at most this many characters is used as it is, without a suffix change.
inline constexpr std::size_t kMinPathCharsForSuffix = 4;
// Buffer sizes of the reads: the list of section names and one value (with terminator).
inline constexpr std::size_t kSectionNamesBufferSize = 4096;
inline constexpr std::size_t kCustomValueBufferSize = 256;

// Run rows a business-process sheet without data receives when the capture takes all rows;
// the same number the headless binding reports as its row extent.
inline constexpr long kNoDataRowLimit = 16384;

// Caption of the message that lists unresolved sheet references, and how much of an engine
// error message is looked at.
inline constexpr std::string_view kReferenceMessageCaption = "Tessaro Workbench";
inline constexpr std::size_t kMaxErrorMessageChars = 255;

}  // namespace ddt::input
