// A row inserted near the top of a 100,000-row sheet read from an .xlsx file that holds 1,000
// notes and 100 drawings, against the same insert on the same cells without them; and the
// save after such inserts, which is where the notes and drawings are moved.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/zip/zip_writer.h"
#include "grid/workbook.h"

namespace {

using ddt::grid::kAll;
using ddt::grid::Range;
using ddt::grid::Shift;
using ddt::grid::Workbook;

constexpr int kRows = 100000, kCols = 5, kNotes = 1000, kDrawings = 100;

std::string Cell(int row, int col) {
  return std::string(1, static_cast<char>('A' + col - 1)) + std::to_string(row);
}

// A package with one small sheet carrying the notes and drawings; the cells are added in the
// grid after the read (the cells are not what is measured).
std::string AnchoredPackage() {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string ct = "application/vnd.openxmlformats-officedocument.";
  std::string comments =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><comments xmlns=\"http://schemas.openxmlformats."
      "org/spreadsheetml/2006/main\"><authors><author>a</author></authors><commentList>";
  std::string vml =
      "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:"
      "office:office\" xmlns:x=\"urn:schemas-microsoft-com:office:excel\">";
  for (int i = 0; i < kNotes; ++i) {
    const int row = 10 + i * (kRows / kNotes);
    comments += "<comment ref=\"" + Cell(row, 2) + "\" authorId=\"0\"><text><t>note " +
                std::to_string(i) + "</t></text></comment>";
    vml += "<v:shape id=\"_x0000_s" + std::to_string(1025 + i) +
           "\" type=\"#_x0000_t202\" style=\"visibility:hidden\"><x:ClientData ObjectType="
           "\"Note\"><x:MoveWithCells/><x:SizeWithCells/><x:Anchor>2, 15, " +
           std::to_string(row - 2) + ", 10, 4, 15, " + std::to_string(row + 2) +
           ", 4</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>" + std::to_string(row - 1) +
           "</x:Row><x:Column>1</x:Column></x:ClientData></v:shape>";
  }
  comments += "</commentList></comments>";
  vml += "</xml>";
  std::string drawing =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><xdr:wsDr xmlns:xdr=\"http://schemas."
      "openxmlformats.org/drawingml/2006/spreadsheetDrawing\" xmlns:a=\"http://schemas."
      "openxmlformats.org/drawingml/2006/main\">";
  for (int i = 0; i < kDrawings; ++i) {
    const int row = 20 + i * (kRows / kDrawings);
    auto corner = [](const char* tag, int col, int r) {
      return std::string("<xdr:") + tag + "><xdr:col>" + std::to_string(col) +
             "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" + std::to_string(r) +
             "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:" + tag + ">";
    };
    drawing += "<xdr:twoCellAnchor>" + corner("from", 6, row) + corner("to", 9, row + 8) +
               "<xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"" + std::to_string(i + 2) +
               "\" name=\"Box " + std::to_string(i) +
               "\"/><xdr:cNvSpPr/></xdr:nvSpPr><xdr:spPr><a:prstGeom prst=\"rect\"/>"
               "</xdr:spPr></xdr:sp><xdr:clientData/></xdr:twoCellAnchor>";
  }
  drawing += "</xdr:wsDr>";

  std::string bytes;
  ddt::grid::io::ZipWriter zip([&](const char* d, size_t n) { bytes.append(d, n); });
  zip.Add("[Content_Types].xml",
          "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
          "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
          "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
          "ContentType=\"application/xml\"/><Default Extension=\"vml\" ContentType=\"" + ct +
              "vmlDrawing\"/><Override PartName=\"/xl/workbook.xml\" ContentType=\"" + ct +
              "spreadsheetml.sheet.main+xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" "
              "ContentType=\"" + ct + "spreadsheetml.worksheet+xml\"/><Override PartName=\""
              "/xl/comments1.xml\" ContentType=\"" + ct + "spreadsheetml.comments+xml\"/>"
              "<Override PartName=\"/xl/drawings/drawing1.xml\" ContentType=\"" + ct +
              "drawing+xml\"/></Types>");
  zip.Add("_rels/.rels", "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas."
                         "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\""
                         " Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                         "</Relationships>");
  zip.Add("xl/workbook.xml",
          "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/"
          "spreadsheetml/2006/main\" xmlns:r=\"" + rel + "\"><sheets><sheet name=\"Data\" "
          "sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
  zip.Add("xl/_rels/workbook.xml.rels",
          "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
          "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
              "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
  zip.Add("xl/worksheets/sheet1.xml",
          "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/"
          "spreadsheetml/2006/main\" xmlns:r=\"" + rel + "\"><sheetData/><drawing r:id=\"rId2\"/>"
          "<legacyDrawing r:id=\"rId3\"/></worksheet>");
  zip.Add("xl/worksheets/_rels/sheet1.xml.rels",
          "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
          "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
              "/comments\" Target=\"../comments1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
              "/drawing\" Target=\"../drawings/drawing1.xml\"/><Relationship Id=\"rId3\" Type=\"" +
              rel + "/vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/></Relationships>");
  zip.Add("xl/comments1.xml", comments);
  zip.Add("xl/drawings/vmlDrawing1.vml", vml);
  zip.Add("xl/drawings/drawing1.xml", drawing);
  zip.Finish();
  return bytes;
}

std::string PackageFile() {
  static const std::string path = [] {
    auto p = std::filesystem::temp_directory_path() / "ddt-bench-anchors.xlsx";
    std::ofstream(p, std::ios::binary) << AnchoredPackage();
    return p.string();
  }();
  return path;
}

void Fill(Workbook& book) {
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kCols; ++c) book.SetCellValue(1, r, c, ddt::grid::Value(r * 10.0 + c));
}

// state.range(0): 1 with the notes and drawings of the file, 0 the same cells without them.
void BM_InsertRowNearTop(benchmark::State& state) {
  Workbook book;
  if (state.range(0)) book.ReadFile(PackageFile(), ddt::grid::io::kFileTypeAny);
  Fill(book);
  for (auto _ : state) {
    book.InsertRange(Range{3, kAll, 3, kAll}, Shift::Rows);
    state.PauseTiming();
    book.DeleteRange(Range{3, kAll, 3, kAll}, Shift::Rows);
    state.ResumeTiming();
  }
  state.SetLabel(state.range(0) ? "1,000 notes + 100 drawings" : "cells only");
}
BENCHMARK(BM_InsertRowNearTop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The save after one row inserted near the top: the anchored parts are rewritten then.
void BM_SaveAfterInsert(benchmark::State& state) {
  Workbook book;
  if (state.range(0)) book.ReadFile(PackageFile(), ddt::grid::io::kFileTypeAny);
  Fill(book);
  book.InsertRange(Range{3, kAll, 3, kAll}, Shift::Rows);
  for (auto _ : state) benchmark::DoNotOptimize(ddt::grid::io::XlsxBytes(book));
  state.SetLabel(state.range(0) ? "1,000 notes + 100 drawings" : "cells only");
}
BENCHMARK(BM_SaveAfterInsert)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
