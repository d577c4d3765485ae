#include "grid/io/xlsx/xlsx_session.h"

#include "grid/workbook.h"

namespace ddt::grid::io {

SheetExtras* XlsxSession::Sheet(uint32_t sheetId) const {
  auto it = sheets_.find(sheetId);
  return it == sheets_.end() ? nullptr : it->second.get();
}

void XlsxSession::SetSheet(uint32_t sheetId, std::shared_ptr<SheetExtras> extras) {
  merges_.erase(sheetId);
  if (extras) sheets_[sheetId] = std::move(extras);
  else sheets_.erase(sheetId);
}

void XlsxSession::LinesEdited(const LineEditEvent& e) {
  merges_.erase(e.sheetId);
  if (SheetExtras* x = Sheet(e.sheetId))
    NoteLineEdit(*x, LineEdit{e.rows, e.insert, e.first, e.count, e.bandFirst, e.bandLast});
}

XlsxSession* XlsxSession::Of(const Workbook& book) {
  return dynamic_cast<XlsxSession*>(book.Extras().get());
}

SheetExtras* XlsxSession::SheetOf(const Workbook& book, int sheet) {
  XlsxSession* session = Of(book);
  return session ? session->Sheet(book.SheetId(sheet)) : nullptr;
}

}  // namespace ddt::grid::io
