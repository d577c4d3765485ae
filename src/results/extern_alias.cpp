#include "results/extern_alias.h"

#include "manager/module.h"
#include "manager/prm.h"

namespace ddt::results {

CDDTResults* FindExternWorkbook(const std::string& alias) {
  CPrm* manager = ddt::CurrentManager();
  return manager == nullptr ? nullptr : manager->GetExternWorkbook(alias);
}

}  // namespace ddt::results
