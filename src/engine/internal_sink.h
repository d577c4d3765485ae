// The interactive binding's own change sink, notified before the data table's: it refreshes
// the binding's header cache for the current sheet and marks the engine as changed.
#pragma once

#include "ddtable/dt_notify.h"

class CDT_IF;

namespace ddt::engine {

class InternalSink : public CDTNotify {
 public:
  // The engine must outlive the sink.
  explicit InternalSink(CDT_IF& engine) : engine_(engine) {}

  // Unless the engine is in the middle of a change of its own (m_bInternalChange), refresh
  // the header list of the current sheet (OnModified); then set m_bChanged.
  void NotifyModified() override;

 private:
  CDT_IF& engine_;
};

}  // namespace ddt::engine
