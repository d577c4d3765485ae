// External workbooks named by an alias in a parameter reference ("<alias@@sheet::name>").
// The parameter manager owns them and resolves the alias; it sits above the results, so it
// registers its lookup here and the results call it without knowing the manager.
#pragma once

#include <string>

class CDDTResults;

namespace ddt::results {

// Returns the workbook held under alias (exact, case-sensitive), or null.
using ExternWorkbookLookup = CDDTResults* (*)(const std::string& alias);

// Installs the lookup (null removes it). Set by the manager when one is created.
void SetExternWorkbookLookup(ExternWorkbookLookup lookup);

// The workbook the current manager holds under alias; null when no lookup is installed,
// there is no manager, or it knows no such alias (or could not open its file).
CDDTResults* FindExternWorkbook(const std::string& alias);

}  // namespace ddt::results
