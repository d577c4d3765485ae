#include "input/column_look.h"

#include "engine/engine_error.h"

namespace ddt::input {

bool ReadColumnLook(CDT_IF& engine, int col, ColumnLook& look) {
  try {
    engine.SetSelection(-1, col, -1, col);
    engine.SetActiveCell(1, col);
    engine.GetPattern(look.pattern, look.foreground, look.background);
    look.fontColor = engine.GetFontColor();
    look.numberFormat = engine.GetNumberFormat();
    return true;
  } catch (const engine::EngineError&) {
    return false;
  }
}

bool ReadColumnLook(CDT_IF& engine, int sheet, int col, ColumnLook& look) {
  bool ok = false;
  long current = 0;
  try {
    current = engine.GetSheet();
    engine.SetSheet(sheet);
    ok = ReadColumnLook(engine, col, look);
  } catch (const engine::EngineError&) {
  }
  try {
    if (current >= 1) engine.SetSheet(static_cast<int>(current));
  } catch (const engine::EngineError&) {
  }
  return ok;
}

}  // namespace ddt::input
