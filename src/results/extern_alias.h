// External workbooks named by an alias in a parameter reference ("<alias@@sheet::name>"):
// the current parameter manager owns them and resolves the alias.
#pragma once

#include <functional>
#include <string>

class CDDTResults;

namespace ddt::results {

// The workbook the current manager holds under alias (exact, case-sensitive); null when
// there is no manager, or it knows no such alias.
CDDTResults* FindExternWorkbook(const std::string& alias);

// Test hook: while set, the function answers instead of the manager. An empty function
// restores the manager. Not for production code.
using ExternResolver = std::function<CDDTResults*(const std::string& alias)>;
void SetExternResolverForTesting(ExternResolver resolver);

}  // namespace ddt::results
