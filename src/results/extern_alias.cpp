#include "results/extern_alias.h"

#include <utility>

#include "manager/module.h"

namespace ddt::results {
namespace {

ExternResolver& TestResolver() {
  static ExternResolver resolver;
  return resolver;
}

}  // namespace

CDDTResults* FindExternWorkbook(const std::string& alias) {
  if (TestResolver()) return TestResolver()(alias);
  if (ddt::CurrentManager() == nullptr) return nullptr;
  // The manager's alias look-up (CPrm::GetExternWorkbook) is not part of the library yet:
  // until it is, no alias is known and references keep reading this workbook.
  return nullptr;
}

void SetExternResolverForTesting(ExternResolver resolver) {
  TestResolver() = std::move(resolver);
}

}  // namespace ddt::results
