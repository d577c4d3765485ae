// Fixed names, codes and limits of the results workbook.
#pragma once

#include <string_view>

namespace ddt::results {

// The setting that makes a headless results workbook rewrite its file after every copied
// row: integer key "SaveResultsSpreadSheetFile" of section "TessaroSAP" in "qxctl.ini"
// (a bare name, so the platform's configuration directory applies). Missing: 0, off.
inline constexpr std::string_view kRunSettingsFile = "qxctl.ini";
inline constexpr std::string_view kRunSettingsSection = "TessaroSAP";
inline constexpr std::string_view kSaveAfterEveryRowKey = "SaveResultsSpreadSheetFile";

// The custom sheet, whose row-1 values are stored beside every copied row.
inline constexpr std::string_view kCustomSheet = "Custom";

// Copy modes: the low byte selects the method, one bit asks to start again at the end.
inline constexpr int kMethodMask = 0xFF;
inline constexpr int kWrapFlag = 0x100;
enum class CopyMethod { Next = 0, Counted = 1, Random = 2, RepeatableRandom = 3 };

// CopyNextRow results.
inline constexpr int kCopied = 0;
inline constexpr int kNothingToCopy = -1;
inline constexpr int kEndOfRows = -2;

// AdvanceLoop results.
inline constexpr int kLoopGoesOn = 0;
inline constexpr int kLoopEnds = -1;

// SetAndVerifyOutput results.
inline constexpr int kVerifyRefused = -1;   // not a reference, or the output was not written
inline constexpr int kVerifyNotAsked = 0;   // written (or nothing to write), no check asked
inline constexpr int kVerifyMatch = 1;
inline constexpr int kVerifyMismatch = 2;

// Substitution: how often an empty result is read again after a full recalculation, each
// time with another sheet current, before it is taken as empty.
inline constexpr int kEmptyValueRetries = 50;

// The results workbook's own name suggestion tries the suffixes 1 to this number.
inline constexpr int kMaxResultsNameSuffix = 999;

// Expected values that stand for a formula's truth value.
inline constexpr std::string_view kTrueText = "TRUE";
inline constexpr std::string_view kFalseText = "FALSE";
inline constexpr std::string_view kNotAvailableText = "#N/A";

}  // namespace ddt::results
