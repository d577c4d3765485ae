// External workbooks named by an alias in a parameter reference ("<alias@@sheet::name>"):
// the current parameter manager owns them and resolves the alias.
#pragma once

#include <string>

class CDDTResults;

namespace ddt::results {

// The workbook the current manager holds under alias (exact, case-sensitive); null when
// there is no manager, or it knows no such alias (or could not open its file).
CDDTResults* FindExternWorkbook(const std::string& alias);

}  // namespace ddt::results
