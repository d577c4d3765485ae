// Round trip of workbooks made by other programs (tests/grid/io/data/roundtrip_*, made by
// scripts/make-roundtrip-fixtures.py): open, change one cell, save, and compare the saved
// package with the original part by part, through openpyxl, and through LibreOffice.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::ScratchDir;

// Every entry of a zip archive, inflated.
std::map<std::string, std::string> Parts(const std::string& path) { return test::ZipParts(path); }

// Parts the writer makes anew: everything else must come back byte for byte.
bool Rewritten(const std::string& name) {
  return name == "[Content_Types].xml" || name == "_rels/.rels" || name == "xl/workbook.xml" ||
         name == "xl/_rels/workbook.xml.rels" || name == "xl/styles.xml" ||
         name == "xl/sharedStrings.xml" || name.rfind("xl/worksheets/", 0) == 0 ||
         name == "xl/calcChain.xml";
}

int RunCommand(const std::string& command, std::string* output = nullptr) {
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  std::string out;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = ::pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveOpenpyxl() {
  static const bool have = RunCommand("/usr/bin/python3 -c 'import openpyxl'") == 0;
  return have;
}

bool HaveSoffice() {
  static const bool have = RunCommand("command -v soffice") == 0;
  return have;
}

// Differences openpyxl sees between two workbooks ("" when none); `changed` lists the cells
// whose value the test changed ("Data!B2").
std::string OpenpyxlDifferences(const std::string& a, const std::string& b,
                                const std::string& changed = "") {
  std::string out;
  int rc = RunCommand("/usr/bin/python3 " + DataFile("compare_workbooks.py") + " '" + a + "' '" + b +
                   "' " + changed,
               &out);
  return rc == 0 ? out : "exit " + std::to_string(rc) + ": " + out;
}

// LibreOffice converts each file to CSV without complaint (files it must repair or cannot
// read fail the conversion or print errors).
void ExpectLibreOfficeReads(const ScratchDir& dir, const std::vector<std::string>& files) {
  if (!HaveSoffice()) {
    std::printf("[ SKIPPED  ] LibreOffice (soffice) is not installed\n");
    return;
  }
  std::string command = "cd '" + dir.Path() + "' && HOME='" + dir.Path() +
                        "' timeout 300 soffice --headless -env:UserInstallation=file://" +
                        dir.Path() + "/profile --convert-to csv --outdir '" + dir.Path() +
                        "/csv'";
  for (const std::string& f : files) command += " '" + f + "'";
  std::string out;
  EXPECT_EQ(RunCommand(command, &out), 0) << out;
  EXPECT_EQ(out.find("Error"), std::string::npos) << out;
  for (const std::string& f : files) {
    std::string stem = std::filesystem::path(f).stem().string();
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/csv/" + stem + ".csv"))
        << f << " was not converted: " << out;
  }
}

struct Fixture {
  const char* file;
  const char* savedAs;
};

constexpr Fixture kFixtures[] = {{"roundtrip_xlsxwriter.xlsx", "saved_xlsxwriter.xlsx"},
                                 {"roundtrip_libreoffice.xlsx", "saved_libreoffice.xlsx"},
                                 {"roundtrip_macro.xlsm", "saved_macro.xlsm"}};

// Opens a fixture, changes Data!B2 and saves it.
std::string OpenChangeSave(const ScratchDir& dir, const Fixture& f,
                           std::vector<std::string>* notes = nullptr) {
  Workbook book;
  book.ReadFile(DataFile(f.file), kFileTypeAny);
  const int data = book.FindSheet("Data");
  book.SetEntry(data, 2, 2, "99");
  const std::string saved = dir.File(f.savedAs);
  book.WriteFile(saved, kFileTypeXlsx);
  if (notes) *notes = book.LastSaveNotes();
  return saved;
}

TEST(RoundTrip, CarriedPartsComeBackByteForByte) {
  ScratchDir dir;
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    std::vector<std::string> notes;
    const std::string saved = OpenChangeSave(dir, f, &notes);
    EXPECT_TRUE(notes.empty()) << notes.front();
    const auto before = Parts(DataFile(f.file));
    const auto after = Parts(saved);
    size_t carried = 0;
    for (const auto& [name, bytes] : before) {
      if (Rewritten(name) || name.find("/_rels/sheet") != std::string::npos) continue;
      auto it = after.find(name);
      ASSERT_NE(it, after.end()) << name << " was not saved";
      EXPECT_EQ(it->second, bytes) << name << " changed";
      ++carried;
    }
    EXPECT_GE(carried, 10u);  // drawings, charts, images, comments, tables, theme, properties
  }
}

TEST(RoundTrip, OpenpyxlSeesTheSameWorkbook) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  ScratchDir dir;
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    const std::string saved = OpenChangeSave(dir, f);
    EXPECT_EQ(OpenpyxlDifferences(DataFile(f.file), saved, "Data!B2"), "");
  }
}

TEST(RoundTrip, SavedAgainTheFileIsStable) {
  // A second open and save writes the same package as the first.
  ScratchDir dir;
  const std::string first = OpenChangeSave(dir, kFixtures[0]);
  Workbook book;
  book.ReadFile(first, kFileTypeAny);
  const std::string second = dir.File("second.xlsx");
  book.WriteFile(second, kFileTypeXlsx);
  EXPECT_EQ(Parts(first), Parts(second));
}

TEST(RoundTrip, SheetKindsAndStatesComeBack) {
  ScratchDir dir;
  const std::string saved = OpenChangeSave(dir, kFixtures[0]);
  const auto parts = Parts(saved);
  const std::string& workbook = parts.at("xl/workbook.xml");
  EXPECT_NE(workbook.find("name=\"Hidden\" sheetId=\"3\" state=\"hidden\""), std::string::npos);
  EXPECT_NE(workbook.find("name=\"Secret\" sheetId=\"4\" state=\"veryHidden\""), std::string::npos);
  // The chart sheet is still a chart sheet, pointing at its carried part.
  const std::string& rels = parts.at("xl/_rels/workbook.xml.rels");
  EXPECT_NE(rels.find("/chartsheet\" Target=\"/xl/chartsheets/sheet1.xml\""), std::string::npos);
  EXPECT_NE(parts.at("[Content_Types].xml").find("chartsheet+xml"), std::string::npos);
  // The changed cell and the unchanged ones read back.
  Workbook book;
  book.ReadFile(saved, kFileTypeAny);
  EXPECT_EQ(book.SheetCount(), 5);
  EXPECT_EQ(book.GetEntry(1, 2, 2), "99");
  EXPECT_EQ(book.GetEntry(1, 3, 1), "beta");
}

TEST(RoundTrip, AHiddenCurrentSheetStaysHiddenAndAVisibleOneIsShown) {
  // Opening through a data table makes the last sheet current; a hidden one must not come
  // back visible from a save that changed nothing about it.
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile(kFixtures[0].file), kFileTypeAny);
  const int hidden = book.FindSheet("Hidden");
  ASSERT_GT(hidden, 0);
  book.SetCurrentSheet(hidden);
  const std::string saved = dir.File("hidden_current.xlsx");
  book.WriteFile(saved, kFileTypeXlsx);
  EXPECT_TRUE(book.LastSaveNotes().empty());
  auto parts = Parts(saved);
  const std::string& workbook = parts.at("xl/workbook.xml");
  EXPECT_NE(workbook.find("name=\"Hidden\" sheetId=\"3\" state=\"hidden\""), std::string::npos);
  // The next visible sheet is shown (here the chart sheet after the very hidden one).
  const size_t tab = workbook.find("activeTab=\"");
  ASSERT_NE(tab, std::string::npos);
  const int shown = std::stoi(workbook.substr(tab + 11)) + 1;
  EXPECT_GT(shown, hidden);
  ASSERT_TRUE(XlsxSession::SheetOf(book, shown));
  EXPECT_EQ(XlsxSession::SheetOf(book, shown)->state, "");
  auto selectedWorksheets = [](const std::map<std::string, std::string>& package) {
    std::vector<std::string> selected;
    for (const auto& [name, xml] : package)
      if (name.rfind("xl/worksheets/", 0) == 0 && xml.find("tabSelected=\"1\"") != std::string::npos)
        selected.push_back(name);
    return selected;
  };
  EXPECT_TRUE(selectedWorksheets(parts).empty());  // the hidden sheet is not the selected tab

  // With no visible sheet at all, the first one is shown and the save says so.
  for (int i = 1; i <= book.SheetCount(); ++i)
    if (SheetExtras* e = XlsxSession::SheetOf(book, i)) e->state = "hidden";
  const std::string none = dir.File("none_visible.xlsx");
  book.WriteFile(none, kFileTypeXlsx);
  ASSERT_EQ(book.LastSaveNotes().size(), 1u);
  EXPECT_NE(book.LastSaveNotes()[0].find("no sheet of the workbook was visible"),
            std::string::npos);
  const std::string again = Parts(none).at("xl/workbook.xml");
  EXPECT_NE(again.find("activeTab=\"0\""), std::string::npos);
  EXPECT_EQ(again.find("sheetId=\"1\" state="), std::string::npos);
  EXPECT_NE(again.find("sheetId=\"2\" state=\"hidden\""), std::string::npos);
  EXPECT_EQ(selectedWorksheets(Parts(none)), std::vector<std::string>{"xl/worksheets/sheet1.xml"});
}

TEST(RoundTrip, FormatsKeepWhatTheGridDoesNotShowWhenItsFieldsChange) {
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile("roundtrip_xlsxwriter.xlsx"), kFileTypeAny);
  // A1 is bold italic Courier New 14: give it a fill and another font colour.
  book.FormatRanges(0, {Range{1, 1, 1, 1}}, [](Style& st, const StyleEdges&) {
    st.pattern = 1;
    st.patternFg = 0x00FFFF;
    st.patternBg = 0xFFFFFF;
  });
  book.FormatRanges(0, {Range{1, 1, 1, 1}},
                    [](Style& st, const StyleEdges&) { st.fontColor = 0x0000FF; });
  // A new cell takes the file's default font, not the grid's.
  book.SetEntry(1, 30, 1, "new");
  const std::string saved = dir.File("styled.xlsx");
  book.WriteFile(saved, kFileTypeXlsx);

  Workbook back;
  back.ReadFile(saved, kFileTypeAny);
  const Style& a1 = back.CellStyle(1, 1, 1);
  EXPECT_EQ(a1.pattern, 1);
  EXPECT_EQ(a1.patternFg, 0x00FFFFu);
  EXPECT_EQ(a1.fontColor, 0x0000FFu);
  ASSERT_TRUE(a1.extras);
  EXPECT_NE(a1.extras->font.find("<b/>"), std::string::npos) << a1.extras->font;
  EXPECT_NE(a1.extras->font.find("<i/>"), std::string::npos);
  EXPECT_NE(a1.extras->font.find("Courier New"), std::string::npos);
  EXPECT_NE(a1.extras->font.find("<sz val=\"14\"/>"), std::string::npos);
  // B1 still has the red font it was read with.
  EXPECT_EQ(back.CellStyle(1, 1, 2).fontColor, 0x0000C0u);
  // The new cell shows as unstyled cells of the file do.
  const auto parts = Parts(saved);
  const std::string& styles = parts.at("xl/styles.xml");
  EXPECT_NE(styles.find("<name val=\"Calibri\"/>"), std::string::npos);
  EXPECT_EQ(styles.find("<name val=\"Arial\"/>"), std::string::npos);
  // Alignment, rotation and protection of other cells are still there.
  EXPECT_NE(styles.find("textRotation=\"45\""), std::string::npos);
  EXPECT_NE(styles.find("<protection locked=\"0\" hidden=\"1\"/>"), std::string::npos);
  EXPECT_NE(styles.find("diagonalUp=\"1\""), std::string::npos);
}

TEST(RoundTrip, InsertedRowsMoveKeptRangesAndNames) {
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile("roundtrip_xlsxwriter.xlsx"), kFileTypeAny);
  ASSERT_EQ(book.CurrentSheet(), 1);
  book.InsertRange(Range{3, kAll, 4, kAll}, Shift::Rows);  // two rows before row 3
  const std::string saved = dir.File("inserted.xlsx");
  book.WriteFile(saved, kFileTypeXlsx);
  EXPECT_TRUE(book.LastSaveNotes().empty());  // nothing is left out

  const auto parts = Parts(saved);
  const std::string& sheet = parts.at("xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<mergeCell ref=\"A17:C18\"/>"), std::string::npos);
  EXPECT_NE(sheet.find("sqref=\"C2:C7\""), std::string::npos);
  EXPECT_NE(sheet.find("sqref=\"B2:B7\""), std::string::npos);
  EXPECT_NE(sheet.find("<autoFilter ref=\"A1:C7\""), std::string::npos);
  EXPECT_NE(sheet.find("<hyperlink ref=\"D5\""), std::string::npos);
  EXPECT_NE(sheet.find("<hyperlink ref=\"D2\""), std::string::npos);
  // The anchored objects stay with their relationships and parts, and follow their cells:
  // the note on A2 stays, the one on C3 moves down; the table over rows 2-5 grows; the
  // picture (moved, not sized with its cells) keeps its size; the chart reaching below row 3
  // grows; the chart's series follow the data.
  EXPECT_NE(sheet.find("<drawing"), std::string::npos);
  EXPECT_NE(sheet.find("<legacyDrawing"), std::string::npos);
  EXPECT_NE(sheet.find("<tableParts"), std::string::npos);
  const std::string& comments = parts.at("xl/comments1.xml");
  EXPECT_NE(comments.find("<comment ref=\"A2\""), std::string::npos) << comments;
  EXPECT_NE(comments.find("<comment ref=\"C5\""), std::string::npos);
  EXPECT_NE(parts.at("xl/drawings/vmlDrawing1.vml").find("<x:Row>4</x:Row>"), std::string::npos);
  EXPECT_NE(parts.at("xl/tables/table1.xml").find("ref=\"I2:K7\""), std::string::npos);
  const std::string& drawing = parts.at("xl/drawings/drawing1.xml");
  EXPECT_NE(drawing.find("<xdr:to><xdr:col>6</xdr:col><xdr:colOff>609600</xdr:colOff>"
                         "<xdr:row>3</xdr:row><xdr:rowOff>76200</xdr:rowOff>"),
            std::string::npos)
      << drawing;
  EXPECT_NE(drawing.find("<xdr:row>15</xdr:row><xdr:rowOff>142875</xdr:rowOff>"),
            std::string::npos);
  EXPECT_NE(parts.at("xl/charts/chart1.xml").find("<c:f>Data!$A$2:$A$7</c:f>"),
            std::string::npos);
  // The chart sheet's drawing and chart stay.
  EXPECT_EQ(parts.count("xl/drawings/drawing2.xml"), 1u);
  EXPECT_EQ(parts.count("xl/charts/chart2.xml"), 1u);
  const std::string& workbook = parts.at("xl/workbook.xml");
  EXPECT_NE(workbook.find(">Data!$B$2:$B$7<"), std::string::npos) << workbook;
  EXPECT_NE(workbook.find(">Data!$A$1:$E$32<"), std::string::npos);  // print area
  EXPECT_NE(workbook.find(">Lists!$A$1:$A$3<"), std::string::npos);  // another sheet's

  if (HaveOpenpyxl()) {
    std::string out;
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import openpyxl; ws = openpyxl.load_workbook('" + saved +
                      "')['Data']; print(ws.row_dimensions[8].height, ws.freeze_panes)\"",
                  &out),
              0);
    EXPECT_EQ(out, "40.0 B2\n");  // the tall row moved with its line
  }
  ExpectLibreOfficeReads(dir, {saved});
}

TEST(RoundTrip, DeletionsDropWhatTheyDeleteAndWhatTheyCut) {
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile("roundtrip_xlsxwriter.xlsx"), kFileTypeAny);
  // Rows 14-16 hold the merged block A15:C16: deleted whole, it goes without a note.
  book.DeleteRange(Range{14, kAll, 16, kAll}, Shift::Rows);
  // Cells of column C, rows 3-4, shift up: the validation C2:C5 is moved part by part...
  book.DeleteRange(Range{3, 3, 4, 3}, Shift::CellsVertical);
  // ... and the filter A1:C5 is split by the band edge: it cannot stand.
  const std::string saved = dir.File("deleted.xlsx");
  book.WriteFile(saved, kFileTypeXlsx);
  const auto parts = Parts(saved);
  const std::string& sheet = parts.at("xl/worksheets/sheet1.xml");
  EXPECT_EQ(sheet.find("<mergeCell "), std::string::npos);
  EXPECT_EQ(sheet.find("<mergeCells"), std::string::npos);
  EXPECT_EQ(sheet.find("<autoFilter"), std::string::npos);
  EXPECT_NE(sheet.find("sqref=\"C2:C3\""), std::string::npos) << sheet;
  bool filterNote = false;
  for (const std::string& n : book.LastSaveNotes())
    filterNote = filterNote || n.find("autoFilter") != std::string::npos;
  EXPECT_TRUE(filterNote);
  ExpectLibreOfficeReads(dir, {saved});
}

TEST(RoundTrip, DeletedSheetTakesItsPartsAndLocalNames) {
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile("roundtrip_xlsxwriter.xlsx"), kFileTypeAny);
  // "Lists": its local name goes with it; a name referring to it stays, reading #REF!.
  book.DeleteSheets(2, 1);
  book.SetSheetName(1, "Main");
  const std::string saved = dir.File("no_lists.xlsx");
  book.WriteFile(saved, kFileTypeXlsx);
  const auto parts = Parts(saved);
  const std::string& workbook = parts.at("xl/workbook.xml");
  EXPECT_EQ(workbook.find("LocalRate"), std::string::npos);
  EXPECT_NE(workbook.find("<definedName name=\"Kinds\">#REF!</definedName>"), std::string::npos)
      << workbook;
  EXPECT_NE(workbook.find(">Main!$B$2:$B$5<"), std::string::npos) << workbook;
  EXPECT_TRUE(book.LastSaveNotes().empty());
  ExpectLibreOfficeReads(dir, {saved});
}

TEST(RoundTrip, MacroProjectNeedsAMacroName) {
  ScratchDir dir;
  Workbook book;
  book.ReadFile(DataFile("roundtrip_macro.xlsm"), kFileTypeAny);
  const std::string xlsm = dir.File("kept.xlsm"), xlsx = dir.File("plain.xlsx");
  book.WriteFile(xlsm, kFileTypeXlsx);
  EXPECT_TRUE(book.LastSaveNotes().empty());
  book.WriteFile(xlsx, kFileTypeXlsx);
  ASSERT_EQ(book.LastSaveNotes().size(), 1u);
  EXPECT_NE(book.LastSaveNotes()[0].find("macro"), std::string::npos);

  const auto original = Parts(DataFile("roundtrip_macro.xlsm"));
  const auto kept = Parts(xlsm), plain = Parts(xlsx);
  ASSERT_EQ(kept.count("xl/vbaProject.bin"), 1u);
  EXPECT_EQ(kept.at("xl/vbaProject.bin"), original.at("xl/vbaProject.bin"));
  EXPECT_NE(kept.at("[Content_Types].xml").find("macroEnabled.main+xml"), std::string::npos);
  EXPECT_EQ(plain.count("xl/vbaProject.bin"), 0u);
  EXPECT_EQ(plain.at("[Content_Types].xml").find("macroEnabled"), std::string::npos);
  EXPECT_EQ(plain.at("xl/_rels/workbook.xml.rels").find("vbaProject"), std::string::npos);
}

TEST(RoundTrip, LibreOfficeReadsEverySavedFixture) {
  if (!HaveSoffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  ScratchDir dir;
  std::vector<std::string> saved;
  for (const Fixture& f : kFixtures) saved.push_back(OpenChangeSave(dir, f));
  ExpectLibreOfficeReads(dir, saved);
}

TEST(RoundTrip, WorkbooksNotReadFromAPackageWriteAsBefore) {
  // No file behind the workbook: nothing is carried, the save is the grid's own.
  Workbook book;
  book.SetEntry(1, 1, 1, "x");
  EXPECT_EQ(book.Extras(), nullptr);
  ScratchDir dir;
  book.WriteFile(dir.File("plain.xlsx"), kFileTypeXlsx);
  const auto parts = Parts(dir.File("plain.xlsx"));
  EXPECT_EQ(parts.size(), 7u);  // types, package and workbook relationships, 4 parts
  EXPECT_TRUE(book.LastSaveNotes().empty());
}

// --- Moving references ------------------------------------------------------------------

TEST(MoveRefs, ListsFollowInsertionsAndDeletions) {
  const LineEdit insertRows{true, true, 3, 2, 1, kMaxCols};
  std::string list = "A1 B2:C5 D3 E10:F12 $G$1:$G$2";
  ASSERT_TRUE(MoveRefList(list, {insertRows}));
  EXPECT_EQ(list, "A1 B2:C7 D5 E12:F14 $G$1:$G$2");
  const LineEdit deleteCols{false, false, 2, 2, 1, kMaxRows};  // columns B:C
  list = "A1:D1 B2 C3:C9 E5";
  ASSERT_TRUE(MoveRefList(list, {deleteCols}));
  EXPECT_EQ(list, "A1:B1 C5");
  // A band edit that splits a range cannot be written.
  const LineEdit band{true, false, 2, 1, 2, 2};  // cells of column B shift up
  list = "A1:C4";
  EXPECT_FALSE(MoveRefList(list, {band}));
  list = "B1:B4 D1:D4";
  ASSERT_TRUE(MoveRefList(list, {band}));
  EXPECT_EQ(list, "B1:B3 D1:D4");
}

TEST(MoveRefs, WholeLinesMoveAndNamesAreNoRanges) {
  const LineEdit insertRows{true, true, 3, 2, 1, kMaxCols};
  std::string list = "$A:$B 3:$5 C2 a1:b$4";
  ASSERT_TRUE(MoveRefList(list, {insertRows}));
  EXPECT_EQ(list, "$A:$B 5:$7 C2 A1:B$6");
  // Half a range, a part of each kind or a name cannot be moved: the list is not kept.
  for (const char* bad : {"A:3", "A1:B", "ABCD1", "A1B2", "XFE1", "A0:B0", "$A"}) {
    list = bad;
    EXPECT_FALSE(MoveRefList(list, {insertRows})) << bad;
  }
}

TEST(MoveRefs, FormulaTextsMoveOnlyTheirSheet) {
  const LineEdit insertRows{true, true, 2, 3, 1, kMaxCols};
  std::string text = "SUM(Data!$B$2:$B$5,'Other Sheet'!A2,\"Data!A2\")+Data!A1";
  ASSERT_TRUE(MoveFormulaRefs(text, "Data", "Data", {insertRows}));
  EXPECT_EQ(text, "SUM(Data!$B$5:$B$8,'Other Sheet'!A2,\"Data!A2\")+Data!A1");
  text = "'My Data'!$1:$1,Data!$A:$A";
  ASSERT_TRUE(MoveFormulaRefs(text, "my data", "New name", {LineEdit{true, true, 1, 1, 1, kMaxCols}}));
  EXPECT_EQ(text, "'New name'!$2:$2,Data!$A:$A");
  text = "Data!$C$3";
  EXPECT_FALSE(MoveFormulaRefs(text, "Data", "Data", {LineEdit{true, false, 3, 1, 1, kMaxCols}}));
}

// --- Files other readers accept ---------------------------------------------------------

// As LibreOffice reads them: s="" is no style, a shared-string cell without an index is
// empty, "_x0000_" is a NUL character. Backslashes between folders (which LibreOffice refuses)
// are read as other readers do.
TEST(TolerantReading, BackslashNamesEmptyStyleEmptyStringIndexAndNul) {
  ScratchDir dir;
  const std::string ct =
      "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
      "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
      "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
      "ContentType=\"application/xml\"/></Types>";
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
      "</Relationships>";
  const std::string workbook =
      std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + test::kMain +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  const std::string wbRels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
  const std::string strings = std::string("<?xml version=\"1.0\"?><sst xmlns=\"") + test::kMain +
                              "\"><si><t>first</t></si><si><t>_x0000_</t></si></sst>";
  const std::string sheet = std::string("<?xml version=\"1.0\"?><worksheet xmlns=\"") +
                            test::kMain +
                            "\"><sheetData><row r=\"1\"><c r=\"A1\" s=\"\"><v>5</v></c>"
                            "<c r=\"B1\" t=\"s\"><v></v></c><c r=\"C1\" t=\"s\"><v>1</v></c>"
                            "<c r=\"D1\" t=\"inlineStr\"><is><t>_x0000_</t></is></c>"
                            "</row></sheetData></worksheet>";
  const std::string path = dir.File("backslash.xlsx");
  test::WriteZip(path, {{"[Content_Types].xml", ct},
                        {"_rels\\.rels", rels},
                        {"xl\\workbook.xml", workbook},
                        {"xl\\_rels\\workbook.xml.rels", wbRels},
                        {"xl\\sharedStrings.xml", strings},
                        {"xl\\worksheets\\sheet1.xml", sheet}});
  Workbook book;
  ASSERT_EQ(book.ReadFile(path, kFileTypeAny), kFileTypeXlsx);
  EXPECT_EQ(book.SheetName(1), "S");
  const Cell* a1 = book.FindCell(1, 1, 1);
  ASSERT_NE(a1, nullptr);
  EXPECT_EQ(a1->value, Value(5.0));
  EXPECT_EQ(a1->style, kDefaultStyle);
  EXPECT_EQ(book.FindCell(1, 1, 2), nullptr);  // an empty index: an empty cell
  EXPECT_EQ(book.GetEntry(1, 1, 3), std::string(1, '\0'));
  EXPECT_EQ(book.GetEntry(1, 1, 4), std::string(1, '\0'));
  // Saved again, the package has ordinary names and the same cells.
  const std::string again = dir.File("again.xlsx");
  book.WriteFile(again, kFileTypeXlsx);
  EXPECT_EQ(Parts(again).count("xl/workbook.xml"), 1u);
  Workbook back;
  back.ReadFile(again, kFileTypeAny);
  EXPECT_EQ(back.GetEntry(1, 1, 3), std::string(1, '\0'));
  EXPECT_EQ(back.GetEntry(1, 1, 4), std::string(1, '\0'));
}

// A macro sheet has no cells in the grid and is carried, but its text cells number into the
// shared-string table, which a save writes anew: they are given their text inline, or they
// would name strings the new table does not hold (or other strings).
TEST(RoundTrip, CarriedMacroSheetKeepsItsTexts) {
  test::ScratchDir dir;
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  const std::string ct =
      "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
      "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
      "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
      "ContentType=\"application/xml\"/><Override PartName=\"/xl/macrosheets/sheet1.xml\" "
      "ContentType=\"application/vnd.ms-excel.macrosheet+xml\"/></Types>";
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
      "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  const std::string workbook =
      std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + test::kMain + "\" xmlns:r=\"" +
      test::kRel + "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"Macro\" sheetId=\"2\" r:id=\"rId3\"/></sheets></workbook>";
  const std::string wbRels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
      "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId3\" "
      "Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
      "Target=\"macrosheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
      "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
  const std::string strings = std::string("<?xml version=\"1.0\"?><sst xmlns=\"") + test::kMain +
                              "\"><si><t>data</t></si><si><t>only the macro's</t></si>"
                              "<si><t>a &lt; b &amp; c</t></si></sst>";
  const std::string sheet = std::string("<?xml version=\"1.0\"?><worksheet xmlns=\"") +
                            test::kMain +
                            "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                            "</row></sheetData></worksheet>";
  const std::string macro =
      std::string("<?xml version=\"1.0\"?><xm:macrosheet xmlns=\"") + test::kMain +
      "\" xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><sheetData>"
      "<row r=\"1\"><c r=\"A1\" s=\"0\" t=\"s\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
      "<c r=\"C1\"\tt=\"s\"><v>2</v></c><c r=\"D1\" t=\"str\"><f>A1</f><v>x</v></c>"
      "<c r=\"E1\" t=\"s\"/><c r=\"F1\" t=\"s\"><v>7</v></c></row></sheetData></xm:macrosheet>";
  const std::string path = dir.File("macro.xlsm");
  test::WriteZip(path, {{"[Content_Types].xml", ct},
                        {"_rels/.rels", rels},
                        {"xl/workbook.xml", workbook},
                        {"xl/_rels/workbook.xml.rels", wbRels},
                        {"xl/sharedStrings.xml", strings},
                        {"xl/worksheets/sheet1.xml", sheet},
                        {"xl/macrosheets/sheet1.xml", macro}});
  Workbook book;
  book.ReadFile(path, kFileTypeAny);
  const std::string again = dir.File("again.xlsm");
  book.WriteFile(again, kFileTypeXlsx);
  auto parts = Parts(again);
  const std::string& saved = parts["xl/macrosheets/sheet1.xml"];
  EXPECT_NE(saved.find("<c r=\"A1\" s=\"0\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                       "only the macro's</t></is></c>"),
            std::string::npos) << saved;
  EXPECT_NE(saved.find("<c r=\"C1\"\tt=\"inlineStr\"><is><t xml:space=\"preserve\">"
                       "a &lt; b &amp; c</t></is></c>"),
            std::string::npos) << saved;
  // Numbers, formulas, an empty cell and a number the table never had are left as they were.
  for (const char* same : {"<c r=\"B1\"><v>2</v></c>", "<c r=\"D1\" t=\"str\"><f>A1</f><v>x</v></c>",
                           "<c r=\"E1\" t=\"s\"/>", "<c r=\"F1\" t=\"s\"><v>7</v></c>",
                           "<xm:macrosheet xmlns="})
    EXPECT_NE(saved.find(same), std::string::npos) << same;
  // One relationship to the macro sheet: the file's own is not carried beside the new one.
  const std::string& savedRels = parts["xl/_rels/workbook.xml.rels"];
  EXPECT_EQ(savedRels.find("xlMacrosheet"), savedRels.rfind("xlMacrosheet")) << savedRels;
  Workbook back;
  back.ReadFile(again, kFileTypeAny);
  EXPECT_EQ(back.GetCellValue(1, 1, 1), Value(std::string("data")));
  EXPECT_EQ(back.SheetName(2), "Macro");
}

}  // namespace
}  // namespace ddt::grid::io
