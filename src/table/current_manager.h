// The process-wide current parameter manager: null at load; set by every CPrm constructor.
// Not owned: nothing here deletes it, and unloading the library does not reset it. Kept
// below the manager so that inputs and results can hand it out without knowing the class.
#pragma once

class CPrm;

namespace ddt {

CPrm* CurrentManager();
void SetCurrentManager(CPrm* manager);

}  // namespace ddt
