#include "input/column_look.h"

#include "engine/engine_error.h"

namespace ddt::input {

bool ReadColumnLook(CDT_IF& engine, int col, ColumnLook& look) {
  return ReadColumnLook(engine, 0, col, look);
}

bool ReadColumnLook(CDT_IF& engine, int sheet, int col, ColumnLook& look) {
  try {
    look = engine.GetColumnLook(sheet, col);
    return true;
  } catch (const engine::EngineError&) {
    return false;
  }
}

}  // namespace ddt::input
