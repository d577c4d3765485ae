// The floor for opening W1: a bare libzip + expat walk over the sheet part that only counts
// the cells (fed to expat in chunks as zip_fread inflates them), and the shared strings.
// With --keep-cells it also keeps a 32-byte record per cell in a vector per row, as any
// reader that holds the cells in memory must: what storing them costs, without reading them.
//   floor_walk [--keep-cells] FILE.xlsx
#include <expat.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct KeptCell {
  char bytes[32];
};
bool keepCells = false;
std::vector<std::vector<KeptCell>> rows;

size_t Walk(zip_t* z, const char* part, const char* element) {
  zip_file_t* f = zip_fopen(z, part, 0);
  if (!f) return 0;
  struct Count {
    const char* element;
    size_t n = 0;
  } count{element};
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &count);
  XML_SetElementHandler(
      parser,
      [](void* data, const char* name, const char**) {
        auto* c = static_cast<Count*>(data);
        if (keepCells && std::strcmp(name, "row") == 0) {
          const size_t width = rows.empty() ? 0 : rows.back().size();
          rows.emplace_back().reserve(width);
        }
        if (std::strcmp(name, c->element) == 0) {
          ++c->n;
          if (keepCells && !rows.empty()) rows.back().push_back(KeptCell{});
        }
      },
      [](void*, const char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const char*, int) {});
  static char buf[256 * 1024];
  zip_int64_t n;
  while ((n = zip_fread(f, buf, sizeof buf)) > 0)
    if (XML_Parse(parser, buf, static_cast<int>(n), 0) != XML_STATUS_OK) std::exit(2);
  XML_Parse(parser, buf, 0, 1);
  XML_ParserFree(parser);
  zip_fclose(f);
  return count.n;
}

}  // namespace

int main(int argc, char** argv) {
  keepCells = argc == 3 && std::strcmp(argv[1], "--keep-cells") == 0;
  if (argc != 2 && !keepCells) {
    std::fprintf(stderr, "usage: %s [--keep-cells] FILE.xlsx\n", argv[0]);
    return 2;
  }
  int err = 0;
  zip_t* z = zip_open(argv[argc - 1], ZIP_RDONLY, &err);
  if (!z) return 1;
  const size_t strings = Walk(z, "xl/sharedStrings.xml", "si");
  const size_t cells = Walk(z, "xl/worksheets/sheet1.xml", "c");
  zip_discard(z);
  std::printf("%zu cells, %zu shared strings\n", cells, strings);
  return cells > 0 ? 0 : 1;
}
