// CDDTResults: parameter access, substitution of references, output verification.
#include <optional>
#include <string>
#include <vector>

#include "ddtable/param_name.h"
#include "platform/boundary.h"
#include "ddtable/cddt_results.h"
#include "results/extern_alias.h"
#include "results/pattern_match.h"
#include "results/results_limits.h"
#include "results/results_text.h"
#include "table/engine_call.h"

using ddt::table::TryEngine;
namespace rs = ddt::results;

CDDTResults::Resolved CDDTResults::Resolve(const CParamName& reference, CDT*& book) {
  Resolved r;
  const std::string alias = reference.GetExternAlias();
  if (!alias.empty()) {
    if (CDDTResults* external = rs::FindExternWorkbook(alias)) book = external;
  }
  r.book = book;
  r.name = reference.GetName();
  r.fullSheet = reference.GetFullSheet(m_strScope);
  // An aliased reference is read at this workbook's current iteration of its business
  // process; any other at the current row of the sheet it names.
  r.row = CurrentRow(alias.empty() ? r.fullSheet : m_strScope);
  return r;
}

int CDDTResults::NextParameter(const std::string& source, std::string& reference) {
  return rs::NextReference(source, reference) ? 1 : 0;
}

int CDDTResults::GetParamCount(const std::string& tableName) try {
  const ddt::platform::LookupScope boundary;
  const CStringList* header = GetHeaderList(LoopSheet(tableName));
  return header == nullptr ? 0 : static_cast<int>(header->size());
} catch (...) {
  return ddt::platform::Failed(-1);
}

std::string CDDTResults::GetParamName(long index, const std::string& tableName) try {
  const ddt::platform::LookupScope boundary;
  if (index <= 0) return {};
  return GetHeader(LoopSheet(tableName), index);
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CDDTResults::GetValue(const std::string& paramName, const std::string& tableName) try {
  const ddt::platform::LookupScope boundary;
  const std::string sheet = LoopSheet(tableName);
  const long index = GetSheetIndex(sheet);
  if (index < 1) return {};  // index 0 would read the current sheet
  return GetParamValue(CurrentRow(sheet), paramName, index);
} catch (...) {
  return ddt::platform::Failed(std::string());
}

int CDDTResults::SubstituteParameters(const std::string& source, std::string& out,
                                      DDT_SUBSTITUTE_CALLBACK callback, void* context) try {
  const ddt::platform::MemberScope boundary;
  out = source;
  CDT* book = this;  // a known alias switches it for the rest of the call
  std::string reference;
  while (NextParameter(source, reference) == 1) {
    const CParamName param(reference.c_str());
    const Resolved r = Resolve(param, book);
    const long sheetIndex = r.book->GetSheetIndex(r.fullSheet);
    if (sheetIndex < 1 || r.book->ParamExists(r.name, sheetIndex) == 0) continue;  // kept as written

    // Without a current row nothing is read (row 0 reads as empty).
    std::string value = r.book->GetParamValue(r.row, r.name, sheetIndex);
    std::size_t at = rs::ReplaceFirst(out, reference, value);

    // A value not calculated yet reads as empty: when the whole output is empty, read it
    // again after full recalculations, each with another sheet current.
    const long sheets = r.book->GetNumSheets();
    for (int n = rs::kEmptyValueRetries - 1; n >= 0 && out.empty() && !source.empty() && sheets > 0; --n) {
      if (n == rs::kEmptyValueRetries - 1 && r.book->GetRawValue(r.row, r.name, sheetIndex).empty())
        break;
      TryEngine([&] {
        r.book->m_pEngine->SetSheet(static_cast<int>(n % sheets + 1));
        r.book->m_pEngine->Recalc();
      });
      value = r.book->GetParamValue(r.row, r.name, sheetIndex);
      out = value;
      at = 0;
    }

    if (callback != nullptr) {
      const int needed = callback(context, nullptr, value.c_str(), nullptr, 0);
      const std::size_t size = needed > 0 ? static_cast<std::size_t>(needed) : 0;
      std::vector<char> buffer(size + 1, '\0');
      callback(context, r.name.c_str(), value.c_str(), buffer.data(), static_cast<uint32_t>(size));
      buffer[size] = '\0';
      // The output carries the converted value in place of the value read.
      if (at != std::string::npos) out.replace(at, value.size(), buffer.data());
    }
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::RefreshParameters(CDDTInput* input, const std::string& text) try {
  const ddt::platform::MemberScope boundary;
  std::string reference;
  while (NextParameter(text, reference) == 1)
    RefreshParameter(input, reference.substr(1, reference.size() - 2));
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::RefreshParameter(CDDTInput*, const std::string&) {
  TryEngine([&] { m_pEngine->Recalc(); });
  return 0;
}

int CDDTResults::SetAndVerifyOutput(const char* outputName, const char* value,
                                    const char* expected, bool verify) try {
  const ddt::platform::MemberScope boundary;
  const std::string v = rs::Trim(value != nullptr ? value : "");
  CDT* book = this;
  std::optional<Resolved> output;  // the output cell, once written

  if (outputName != nullptr && *outputName != '\0') {
    const CParamName ref(outputName);
    if (ref.IsParam() == 0) return rs::kVerifyRefused;
    Resolved r = Resolve(ref, book);
    r.book->SetSheet(r.fullSheet);
    // Row 0 (no current row) writes nothing and so fails, as a missing sheet or column does.
    if (r.book->SetParamValue(r.row, r.name, v, r.fullSheet, 1) != 0) return rs::kVerifyRefused;
    output = r;
  }
  if (!verify) {
    JournalVerified(output ? &*output : nullptr, nullptr);
    return rs::kVerifyNotAsked;
  }

  const std::string e = rs::Trim(expected != nullptr ? expected : "");
  const CParamName ref(e.c_str());
  std::optional<Resolved> expectedCell;  // the expected parameter's cell, when read
  int previousStyle = DT_STYLE_GREEN;
  bool match = false;
  bool decided = false;
  if (ref.IsParam() != 0) {
    Resolved r = Resolve(ref, book);
    r.book->SetSheet(r.fullSheet);
    const long sheetIndex = r.book->GetSheetIndex(r.fullSheet);
    if (sheetIndex > 0 && r.book->ParamExists(r.name, sheetIndex) != 0) {
      decided = true;
      if (r.row >= 1) {
        const std::string expectedValue = r.book->GetParamValue(r.row, r.name, sheetIndex);
        if (m_nType != DT_TYPE_QX) previousStyle = r.book->GetStyle(r.name, r.row);
        const std::string raw = r.book->GetRawValue(r.row, r.name, sheetIndex);
        const std::optional<bool> truth = rs::FormulaTruth(raw, expectedValue);
        match = truth ? *truth : rs::MatchesPattern(v, expectedValue);
        expectedCell = r;
      }
      // Without a current row the expected value cannot be read: the check fails and the
      // expected side is not marked.
    }
  }
  // Not a reference, or one to a missing parameter: the text itself is the pattern.
  if (!decided) match = rs::MatchesPattern(v, e);

  // Each side is marked in its own workbook, sheet and row.
  const auto mark = [](const Resolved& cell, DT_STYLE style) {
    cell.book->SetSheet(cell.fullSheet);
    cell.book->SetStyle(style, cell.name, cell.row);
  };
  if (output) mark(*output, match ? DT_STYLE_GREEN : DT_STYLE_LIGHT_RED);
  if (expectedCell) {
    // An expected cell that once failed keeps its failure mark.
    mark(*expectedCell,
         match && previousStyle != DT_STYLE_LIGHT_RED ? DT_STYLE_GREEN : DT_STYLE_LIGHT_RED);
  }
  JournalVerified(output ? &*output : nullptr, expectedCell ? &*expectedCell : nullptr);
  return match ? rs::kVerifyMatch : rs::kVerifyMismatch;
} catch (...) {
  return ddt::platform::Failed(-1);
}
