// The merged ranges of an .xlsx sheet, read from the mergeCells element the session keeps
// as the file wrote it, and unmerging, which takes mergeCell children out of that element.
// The element keeps the positions of the read; the edits logged since move them here the
// way the save will.
#include <algorithm>
#include <optional>
#include <string_view>

#include "grid/formula/a1.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/limits.h"

namespace ddt::grid::io {

namespace {

// One mergeCell child of a kept mergeCells element: where it lies in the text and its ref.
struct MergeCellElement {
  size_t begin = 0, end = 0;
  std::string ref;
};

// The kept element (as XmlCapture writes it: '<mergeCell ref="B4:C4"/>', prefix dropped).
std::vector<MergeCellElement> MergeCellElements(const std::string& xml) {
  std::vector<MergeCellElement> out;
  constexpr std::string_view kOpen = "<mergeCell ";
  for (size_t at = xml.find(kOpen); at != std::string::npos; at = xml.find(kOpen, at + 1)) {
    const size_t close = xml.find('>', at);
    if (close == std::string::npos) break;
    std::string_view tag(xml.data() + at, close - at);
    MergeCellElement e;
    e.begin = at;
    e.end = close + 1;
    if (size_t r = tag.find(" ref=\""); r != std::string_view::npos) {
      const size_t from = r + 6, to = tag.find('"', from);
      if (to != std::string_view::npos) e.ref = std::string(tag.substr(from, to - from));
    }
    out.push_back(std::move(e));
  }
  return out;
}

// "B4:C5" (or one cell "B4") to a range in order; false for anything else.
bool ParseMergeRef(std::string_view ref, MergedRange* out) {
  const size_t colon = ref.find(':');
  int64_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!formula::ParsePlainCellRef(ref.substr(0, colon), &r1, &c1)) return false;
  if (colon == std::string_view::npos) {
    r2 = r1;
    c2 = c1;
  } else if (!formula::ParsePlainCellRef(ref.substr(colon + 1), &r2, &c2)) {
    return false;
  }
  if (r1 > r2) std::swap(r1, r2);
  if (c1 > c2) std::swap(c1, c2);
  if (r1 < 1 || c1 < 1 || r2 > kMaxRows || c2 > kMaxCols) return false;
  *out = MergedRange{static_cast<int>(r1), static_cast<int>(c1), static_cast<int>(r2),
                     static_cast<int>(c2)};
  return true;
}

XmlFragment* MergeCellsFragment(SheetExtras& extras) {
  for (XmlFragment& f : extras.fragments)
    if (f.name == "mergeCells") return &f;
  return nullptr;
}

// Where a kept merged range lies now: nullopt when the edits deleted it whole; `cut` set
// when one split it.
std::optional<MergedRange> MergedNow(const std::string& ref, const std::vector<LineEdit>& edits,
                                     bool* cut) {
  std::string moved = ref;
  if (!MoveRefList(moved, edits)) {
    *cut = true;
    return std::nullopt;
  }
  MergedRange m;
  if (moved.empty() || !ParseMergeRef(moved, &m)) return std::nullopt;
  return m;
}

bool Overlap(const MergedRange& a, const MergedRange& b) {
  return a.firstRow <= b.lastRow && a.lastRow >= b.firstRow && a.firstCol <= b.lastCol &&
         a.lastCol >= b.firstCol;
}

}  // namespace

std::vector<MergedRange> XlsxSession::MergedRanges(uint32_t sheetId) const {
  if (auto it = merges_.find(sheetId); it != merges_.end()) return it->second;
  std::vector<MergedRange> out;
  if (SheetExtras* x = Sheet(sheetId)) {
    if (XmlFragment* f = MergeCellsFragment(*x)) {
      bool cut = false;
      for (const MergeCellElement& e : MergeCellElements(f->xml))
        if (auto m = MergedNow(e.ref, x->edits, &cut)) out.push_back(*m);
      if (cut) out.clear();
    }
  }
  merges_[sheetId] = out;
  return out;
}

std::vector<MergedRange> XlsxSession::Unmerge(uint32_t sheetId, const MergedRange& area) {
  std::vector<MergedRange> removed;
  SheetExtras* x = Sheet(sheetId);
  XmlFragment* f = x ? MergeCellsFragment(*x) : nullptr;
  if (!f) return removed;
  const std::vector<MergeCellElement> elements = MergeCellElements(f->xml);
  std::string xml;
  size_t from = 0, kept = 0;
  bool cut = false;
  for (const MergeCellElement& e : elements) {
    std::optional<MergedRange> m = MergedNow(e.ref, x->edits, &cut);
    if (m && Overlap(*m, area)) {
      xml.append(f->xml, from, e.begin - from);
      from = e.end;
      removed.push_back(*m);
    } else {
      ++kept;
    }
  }
  if (removed.empty()) return removed;
  merges_.erase(sheetId);
  if (kept == 0) {
    x->fragments.erase(x->fragments.begin() + (f - x->fragments.data()));
    return removed;
  }
  xml.append(f->xml, from, std::string::npos);
  const std::string count = std::to_string(kept);
  SetFirstTagAttr(xml, "mergeCells", "count", count.c_str());
  f->xml = std::move(xml);
  return removed;
}

}  // namespace ddt::grid::io
