// Moving what hangs on cells when rows or columns were inserted or deleted since the read:
// drawing anchors (pictures, charts, shapes, controls), notes with their shapes, threaded
// comments, tables, chart series and the sheet's own kept elements that point at cells.
// Everything follows its cells as a spreadsheet moves it; what an edit deletes whole (a note
// on a deleted row, a drawing whose cells were all deleted, a table whose rows were all
// deleted) is gone, and what it deletes in part shrinks.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "grid/io/xlsx/xlsx_extras.h"

namespace ddt::grid::io {

// --- Arithmetic -----------------------------------------------------------------------

// A cell (1-based) after the edits; nullopt when an edit deleted it.
struct CellPos {
  int row = 1, col = 1;
  bool operator==(const CellPos&) const = default;
};
std::optional<CellPos> MoveCell(CellPos cell, const std::vector<LineEdit>& edits);

// A corner of a drawing anchor as the file counts it: line from 0, offset into that line.
struct AnchorCorner {
  int col = 0, row = 0;
  int64_t colOff = 0, rowOff = 0;
  bool operator==(const AnchorCorner&) const = default;
};

// How an object follows its cells: moved and sized with them (twoCell), moved keeping its
// size (oneCell), or not at all (absolute).
enum class AnchorMode { TwoCell, OneCell, Absolute };

// Moves an anchor: `to` is null for an object with a size of its own (oneCellAnchor). A
// shift of cells moves the corners whose cells it moves (an object not sized with its cells:
// the whole object, by its top-left cell). Returns false when the edits deleted every cell
// the object covered (then it is gone).
bool MoveAnchor(AnchorCorner& from, AnchorCorner* to, AnchorMode mode,
                const std::vector<LineEdit>& edits);

// --- Parts ----------------------------------------------------------------------------

// A drawing part (DrawingML spreadsheet drawing) with its anchors moved and the anchors of
// deleted objects left out.
std::string MoveDrawingPart(const std::string& xml, const std::vector<LineEdit>& edits);
// The from/to anchors inside a kept element (controls, embedded objects), moved; objects
// are never left out here (their parts and relationships stay consistent).
std::string MoveControlAnchors(const std::string& xml, const std::vector<LineEdit>& edits);
// A legacy drawing (VML): notes' shapes follow their cells (x:Row, x:Column) and their boxes
// (x:Anchor) move with them; shapes of notes on deleted cells are left out. Other shapes'
// anchors move as drawings do.
std::string MoveVmlPart(const std::string& xml, const std::vector<LineEdit>& edits);
// A comments part: each note's cell moves; notes on deleted cells are left out.
std::string MoveCommentsPart(const std::string& xml, const std::vector<LineEdit>& edits);
// A threaded comments part: each comment's cell moves; threads on deleted cells go.
std::string MoveThreadedCommentsPart(const std::string& xml, const std::vector<LineEdit>& edits);
// A table part: its range, filter and sort ranges move; columns inserted inside it become
// new table columns, deleted ones leave it. "" when the edits deleted the whole table.
// `cut` is set when an edit of cells split the table (it is then left as it was).
// `headerText` gives the text of a cell (file row and column, from 1) after the edits: a new
// column is named by its header cell when that is free, else "ColumnN".
std::string MoveTablePart(const std::string& xml, const std::vector<LineEdit>& edits, bool* cut,
                          const std::function<std::string(int row, int col)>& headerText = nullptr);
// A chart part: series and category references (c:f) to `sheetName` move and take the
// sheet's new name; references to deleted cells become #REF!.
std::string MoveChartRefs(const std::string& xml, const std::string& sheetName,
                          const std::string& newName, const std::vector<LineEdit>& edits);

// The sheet views after the edits: the frozen or split pane keeps its lines (a frozen row
// block grows with rows inserted inside it), the top-left cells and selections move.
std::string MoveSheetViews(const std::string& xml, const std::vector<LineEdit>& edits);
// Manual page breaks (rowBreaks or colBreaks) after the edits: a break follows the line it
// comes after; breaks after deleted lines go.
std::string MovePageBreaks(const std::string& xml, bool rows, const std::vector<LineEdit>& edits);

}  // namespace ddt::grid::io
