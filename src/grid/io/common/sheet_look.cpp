#include "grid/io/common/sheet_look.h"

#include <memory>
#include <string>
#include <vector>

#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

// Elements of a worksheet that make its look and refer to nothing outside the sheet part,
// so that they can be written into another workbook's sheet as they are.
bool IsLookElement(const std::string& name) {
  return name == "sheetViews" || name == "dataValidations";
}

}  // namespace

void CopySheetLook(const Workbook& from, int fromSheet, Workbook& to, int toSheet) {
  const Sheet& source = from.SheetAt(fromSheet);
  Sheet& target = to.SheetAt(toSheet);
  target.colWidths = source.colWidths;
  target.colHidden = source.colHidden;
  const SheetExtras* x = XlsxSession::SheetOf(from, fromSheet);
  XlsxSession* session = XlsxSession::Of(to);
  if (!x || !x->otherPart.empty()) {
    if (session) session->RemoveSheet(to.SheetId(toSheet));
    return;
  }
  if (!session) {
    // A workbook built in memory: a session that only gives its sheets a look.
    auto made = std::make_shared<XlsxSession>();
    session = made.get();
    to.SetExtras(std::move(made));
  }
  auto look = std::make_shared<SheetExtras>();
  look->originalName = to.SheetName(toSheet);
  look->state = x->state;
  look->rootAttrs = x->rootAttrs;  // the namespaces the elements were written with
  std::vector<std::string> notes, droppedRels;
  for (XmlFragment& f : KeptSheetElements(*x, from.SheetName(fromSheet), notes, droppedRels))
    if (IsLookElement(f.name)) look->fragments.push_back(std::move(f));
  session->SetSheet(to.SheetId(toSheet), std::move(look));
}

bool HasSheetLook(const Workbook& book, int sheet) {
  return XlsxSession::SheetOf(book, sheet) != nullptr;
}

}  // namespace ddt::grid::io
