// Helpers of the file tests: a scratch directory, and packages built from XML text.
#pragma once

#include <zip.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ddt::grid::io::test {

inline std::string DataFile(const std::string& name) { return std::string(DDT_TEST_DATA) + "/" + name; }

// A directory removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ddt-io-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Writes a zip archive of (name, content) entries, deflated.
inline void WriteZip(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  for (const auto& [name, content] : entries) {
    zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
    zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8);
  }
  zip_close(z);
}

// Runs a shell command; its exit status as pclose gives it, with its output and errors
// appended to `output`.
inline int RunCapturing(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output->append(buffer.data(), n);
  return pclose(pipe);
}

inline constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr const char* kRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Every entry of a zip archive, inflated, by name.
inline std::map<std::string, std::string> ZipParts(const std::string& path) {
  std::map<std::string, std::string> parts;
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!z) return parts;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(st.size, '\0');
    if (zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0)) {
      zip_fread(f, data.data(), data.size());
      zip_fclose(f);
    }
    parts[st.name] = std::move(data);
  }
  zip_discard(z);
  return parts;
}

// A minimal package: one sheet per given body (the XML inside <worksheet>), optional shared
// strings (the XML inside <sst>) and styles (inside <styleSheet>). `overrides` replace or add
// parts by name.
struct Package {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, body
  std::string sharedStrings;                               // empty: no part
  std::string styles;                                      // empty: no part
  std::string workbookExtra;                               // inside <workbook>, before <sheets>
  std::map<std::string, std::string> overrides;

  void Write(const std::string& path) const {
    std::map<std::string, std::string> parts;
    parts["[Content_Types].xml"] =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
    parts["_rels/.rels"] =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + std::string(kRel) +
        "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    std::string wb = "<workbook xmlns=\"" + std::string(kMain) + "\" xmlns:r=\"" + kRel + "\">" +
                     workbookExtra + "<sheets>";
    std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (size_t i = 0; i < sheets.size(); ++i) {
      std::string n = std::to_string(i + 1);
      wb += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
      rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel +
              "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
      parts["xl/worksheets/sheet" + n + ".xml"] =
          "<worksheet xmlns=\"" + std::string(kMain) + "\">" + sheets[i].second + "</worksheet>";
    }
    wb += "</sheets></workbook>";
    if (!sharedStrings.empty()) {
      rels += "<Relationship Id=\"rS\" Type=\"" + std::string(kRel) +
              "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
      parts["xl/sharedStrings.xml"] = "<sst xmlns=\"" + std::string(kMain) + "\">" + sharedStrings + "</sst>";
    }
    if (!styles.empty()) {
      rels += "<Relationship Id=\"rT\" Type=\"" + std::string(kRel) +
              "/styles\" Target=\"styles.xml\"/>";
      parts["xl/styles.xml"] = "<styleSheet xmlns=\"" + std::string(kMain) + "\">" + styles + "</styleSheet>";
    }
    rels += "</Relationships>";
    parts["xl/workbook.xml"] = wb;
    parts["xl/_rels/workbook.xml.rels"] = rels;
    for (const auto& [name, content] : overrides) {
      if (content.empty()) parts.erase(name);
      else parts[name] = content;
    }
    WriteZip(path, {parts.begin(), parts.end()});
  }
};

}  // namespace ddt::grid::io::test
