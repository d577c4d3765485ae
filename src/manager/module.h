// Module start-up: what exists for the library's whole life. The shared strings are loaded
// from the string table when the library is loaded; the current-manager reference points at
// the parameter manager the latest CPrm constructor registered.
#pragma once

#include "table/current_manager.h"
#include "table/shared_strings.h"
