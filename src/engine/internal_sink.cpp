#include "engine/internal_sink.h"

#include "ddtable/dt_if.h"

namespace ddt::engine {

void InternalSink::NotifyModified() {
  if (!engine_.m_bInternalChange) engine_.OnModified(static_cast<int>(engine_.GetSheet()));
  engine_.m_bChanged = 1;
}

}  // namespace ddt::engine
