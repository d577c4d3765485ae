// CDTNotify: the change sink a host implements to learn that a data table changed.
#pragma once

#include "ddtable/export.h"

class DDT_API CDTNotify {
 public:
  CDTNotify() = default;
  virtual ~CDTNotify() = default;
  // Called after each change the spreadsheet reports, once the engine has refreshed its own
  // header lists; not while the engine's BlockModified(true) is in force, and never while a
  // previous call is still running.
  virtual void NotifyModified() = 0;
};
