// What an .xlsx/.xlsm package holds beyond the grid's model, kept from the read to the next
// save: package parts carried as they are (compressed bytes, never parsed), the XML
// elements of the workbook and sheet parts the grid does not model (in schema order), and
// the style records with every attribute. Structural edits made in between are logged per
// sheet so that the save can move the ranges of kept elements, or drop what it cannot move.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/io/common/xml_text.h"
#include "grid/io/xlsx/opc_package.h"
#include "grid/style.h"
#include "grid/value.h"

struct zip;

namespace ddt::grid {

// One element of a part as it was written: its name without prefix and its XML.
struct XmlFragment {
  std::string name;
  std::string xml;
};

// The compressed bytes of the carried parts: an archive in memory holding them as the file
// held them, so that a save copies them without inflating.
struct CarriedArchive {
  CarriedArchive() = default;
  ~CarriedArchive();
  CarriedArchive(const CarriedArchive&) = delete;
  CarriedArchive& operator=(const CarriedArchive&) = delete;
  std::string bytes;
  struct zip* archive = nullptr;
  std::map<std::string, uint64_t> index;  // part name -> entry
};

// A cell format of the styles part beyond the grid's fields.
struct StyleExtras {
  const void* origin = nullptr;  // the StylesExtras of the file it came from
  Style base;                    // the grid's fields as read: tells what a user changed
  int numFmtId = 0, fontId = 0, fillId = 0, borderId = 0, xfId = 0;
  std::string font, fill, border;  // the records as the file wrote them
  std::string attrs;               // other attributes (' name="value"'), quotePrefix aside
  // applyNumberFormat, applyFont, applyFill, applyBorder as written ("" when absent).
  std::string apply[4];
  std::string children;  // alignment, protection, extLst
};

struct StylesExtras {
  std::string rootAttrs;
  std::map<int, std::string> numFmts;  // custom number formats by id
  std::vector<std::string> fonts, fills, borders;
  std::map<std::string, std::string> sectionAttrs;  // attributes of a section but "count"
  std::vector<XmlFragment> sections;  // cellStyleXfs, cellStyles, dxfs, colors, extLst, ...
  std::shared_ptr<const StyleExtras> defaults;  // cell format 0: what unstyled cells show
};

struct DefinedNameEntry {
  std::string attrs;      // every attribute but localSheetId
  uint32_t localSheet = 0;  // grid sheet id; 0: global
  bool local = false;
  std::string text;
};

struct FileExtras {
  std::shared_ptr<CarriedArchive> carried;
  std::vector<std::pair<std::string, std::string>> defaultTypes;  // extension -> type
  std::map<std::string, std::string> overrideTypes;  // lower-case part name -> type
  std::vector<io::Relationship> packageRels;   // all but the office document
  std::vector<io::Relationship> workbookRels;  // all but sheets, styles, shared strings, chain
  std::string workbookRootAttrs;
  std::vector<XmlFragment> workbookElements;  // all but sheets and definedNames
  std::vector<DefinedNameEntry> names;
  std::vector<std::string> sheetNames;  // every sheet of the file, as named there
  std::string workbookContentType;
  StylesExtras styles;
  bool hasStyles = false;
};

// A structural edit made to a sheet since it was read.
struct LineEdit {
  bool rows = true;     // rows (else columns) were inserted or deleted
  bool insert = true;
  int first = 1, count = 1;
  int bandFirst = 1, bandLast = 1;  // columns (rows) that moved; the whole sheet when full
};

struct SheetExtras {
  std::string originalName;
  std::string state;  // "hidden", "veryHidden" or ""
  // A chart sheet (or another kind of sheet the grid has no cells for): its part, carried
  // as it is, and the type of its relationship.
  std::string otherPart, otherType;
  // The carried part with its shared-string cells given inline (kept_sheet_strings.h),
  // written instead of the file's bytes; empty when it needs no change.
  std::string otherPartText;
  std::string partName;
  std::vector<io::Relationship> rels;  // of the worksheet part
  std::string rootAttrs;           // namespace declarations of the root element
  std::vector<XmlFragment> fragments;
  std::vector<LineEdit> edits;
  // Cells that refer to the file's value metadata (vm: an in-cell picture, whose value the
  // file gives as an error), with the value they were read with; written back while the
  // cell holds it still. Positions as read; `edits` move them.
  struct ValueMetadataCell {
    int row = 0, col = 0;
    std::string index;
    Value value;
  };
  std::vector<ValueMetadataCell> valueMetadata;
};

// Records a structural edit for a sheet that carries extras.
void NoteLineEdit(SheetExtras& extras, const LineEdit& edit);

namespace io {

// --- Capturing elements as XML while a part is parsed ------------------------------------
class XmlCapture {
 public:
  // Elements whose name carries this prefix are captured without it (see MainPrefix).
  void DropPrefix(std::string prefix) { dropped_ = std::move(prefix); }
  bool Active() const { return depth_ > 0; }
  void Start(std::string_view qname, const char** attrs);
  // True when the captured element is complete.
  bool End(std::string_view qname);
  void Text(const char* data, size_t size);
  std::string Take();

 private:
  std::string_view Name(std::string_view qname) const;

  std::string xml_;
  std::string dropped_;
  int depth_ = 0;
  bool open_ = false;
};

// The prefix a part's root element binds the spreadsheet namespace to when it does not make
// it the default namespace (<x:worksheet xmlns:x="...">, as some libraries write); "" when
// the namespace is the default one or absent. The writer writes unprefixed elements, so kept
// elements drop this prefix and the root's declarations gain the default namespace
// (WithDefaultNamespace).
std::string MainPrefix(const char** attrs);
std::string WithDefaultNamespace(const std::string& rootAttrs);

// Attributes as ' name="value"', escaped for XML, skipping those `skip` accepts.
template <class Skip>
std::string AttrsText(const char** attrs, Skip skip);

// Element order of a part's root, so that kept and written elements interleave as the
// schema requires. Unknown names keep their place after the element they followed.
int WorksheetRank(std::string_view name);
int WorkbookRank(std::string_view name);
// Merges kept fragments with the part's own (which replace kept ones of the same name) in
// order; the texts in the order to write them.
std::vector<const std::string*> OrderFragments(const std::vector<XmlFragment>& kept,
                                               const std::vector<XmlFragment>& own,
                                               int (*rank)(std::string_view));

// --- Moving ranges ----------------------------------------------------------------------
struct CellRange {
  int r1, c1, r2, c2;
};
// A range after an edit; nullopt when the edit deleted it whole. `cut` is set when the edit
// split it (a band edge crosses it), which cannot be expressed.
std::optional<CellRange> MoveRange(CellRange range, const LineEdit& edit, bool* cut);
// A space-separated list of references ("A1 B2:C9") after the edits; ranges deleted whole
// are left out. False when an edit cut one.
bool MoveRefList(std::string& list, const std::vector<LineEdit>& edits);
// References inside a formula text (defined names), after the edits on sheet `sheetName`
// (renamed to `newName`): references qualified with that sheet move. False when one was
// cut or deleted.
bool MoveFormulaRefs(std::string& text, const std::string& sheetName,
                     const std::string& newName, const std::vector<LineEdit>& edits);
// The same for formulas kept beside cells (conditional formats, validations, chart series):
// with `unqualifiedHere` references without a sheet are on that sheet too; with
// `deletedAsError` a reference the edits deleted becomes #REF! (the function then returns
// false but the text is complete) instead of leaving the text as it was, and one a shift of
// cells cuts through stays where it is, as references in cell formulas stay.
bool MoveFormulaText(std::string& text, const std::string& sheetName, const std::string& newName,
                     const std::vector<LineEdit>& edits, bool unqualifiedHere,
                     bool deletedAsError);

// Sets (or, with a null value, removes) an attribute of the first start tag named `tag`.
void SetFirstTagAttr(std::string& xml, std::string_view tag, std::string_view attr,
                     const char* value);

}  // namespace io
}  // namespace ddt::grid

namespace ddt::grid::io {

template <class Skip>
std::string AttrsText(const char** attrs, Skip skip) {
  std::string out;
  for (; *attrs; attrs += 2) {
    if (skip(std::string_view(attrs[0]))) continue;
    out += ' ';
    out += attrs[0];
    out += "=\"";
    AppendXmlText(attrs[1], out, false);
    out += '"';
  }
  return out;
}

}  // namespace ddt::grid::io

namespace ddt::grid::io {

// An element's attributes while a kept fragment is rewritten.
using AttrList = std::vector<std::pair<std::string, std::string>>;
// Rewrites a kept fragment element by element: `edit` sees each element (depth 1 is the
// fragment's root) and may change its attributes or return false to leave it out with its
// content; `text` may change the text of an element. Returns "" when the root was left out.
std::string EditFragment(const std::string& xml,
                         const std::function<bool(std::string_view name, AttrList& attrs,
                                                  int depth)>& edit,
                         const std::function<void(std::string_view name, std::string& text)>&
                             text = nullptr);

// The kept elements of a sheet as they must be written after the sheet's structural edits:
// ranges, anchors, panes and page breaks moved, elements a shift of cells cut left out
// (with a sentence in `notes`). `goneRels`: relationships of parts the edits deleted whole
// (tables), whose references leave the sheet. `droppedRels` is kept for callers; nothing is
// added to it any more.
std::vector<XmlFragment> KeptSheetElements(const SheetExtras& extras,
                                           const std::string& sheetName,
                                           std::vector<std::string>& notes,
                                           std::vector<std::string>& droppedRels,
                                           const std::vector<std::string>& goneRels = {});


}  // namespace ddt::grid::io
