#include "engine/kinds.h"

#include "ddtable/dt_if.h"

namespace ddt::engine {

std::optional<grid::Clear> ClearKind(int kind) {
  switch (kind) {
    case CDT_IF::DT_CLEAR_ALL: return grid::Clear::All;
    case CDT_IF::DT_CLEAR_VALUES: return grid::Clear::Values;
    case CDT_IF::DT_CLEAR_FORMATS: return grid::Clear::Formats;
    default: return std::nullopt;
  }
}

std::optional<grid::Shift> ShiftKind(int kind) {
  switch (kind) {
    case CDT_IF::DT_SHIFT_HORIZONTAL: return grid::Shift::CellsHorizontal;
    case CDT_IF::DT_SHIFT_VERTICAL: return grid::Shift::CellsVertical;
    case CDT_IF::DT_SHIFT_ROWS: return grid::Shift::Rows;
    case CDT_IF::DT_SHIFT_COLUMNS: return grid::Shift::Columns;
    default: return std::nullopt;
  }
}

}  // namespace ddt::engine
