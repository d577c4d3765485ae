#include "platform/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/config_dir.h"

namespace ddt::platform {
namespace {

namespace fs = std::filesystem;

// A scratch configuration directory, made the lookup place for bare file names.
class ProfileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    config_.Write(name, text);
    return name;
  }

  ddt::test::ConfigDir config_{"ddt-profile"};
  const fs::path& dir_ = config_.Path();
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  Write("s.ini", "[SLM]\nTOOLKIT_CHANGES=1\nEmpty=\n");
  EXPECT_EQ(GetPrivateProfileInt("SLM", "TOOLKIT_CHANGES", 0, "nothere.ini"), 0);
  EXPECT_EQ(GetPrivateProfileInt("SLM", "TOOLKIT_CHANGES", 5, "nothere.ini"), 5);
  EXPECT_EQ(GetPrivateProfileInt("Other", "TOOLKIT_CHANGES", 7, "s.ini"), 7);
  EXPECT_EQ(GetPrivateProfileInt("SLM", "Missing", -3, "s.ini"), -3);
  EXPECT_EQ(GetPrivateProfileInt("SLM", "Empty", 9, "s.ini"), 9);
  EXPECT_EQ(GetPrivateProfileString("SLM", "Missing", "dflt", "s.ini", 256), "dflt");
  EXPECT_EQ(GetPrivateProfileString("SLM", "Empty", "dflt", "s.ini", 256), "");
  EXPECT_EQ(GetPrivateProfileString("X", "Y", "dflt", "nothere.ini", 256), "dflt");
  EXPECT_TRUE(GetPrivateProfileSectionNames("nothere.ini", 4096).empty());
  // A directory is not a settings file.
  fs::create_directory(dir_ / "adir.ini");
  EXPECT_EQ(GetPrivateProfileInt("SLM", "TOOLKIT_CHANGES", 4, "adir.ini"), 4);
}

TEST_F(ProfileTest, NamesAreCaseInsensitiveAndValuesKeepTheirCase) {
  Write("c.ini", "[TessaroSAP]\nSaveResultsSpreadSheetFile = 1\nName=MixedCase Value\n");
  EXPECT_EQ(GetPrivateProfileInt("tessarosap", "SAVERESULTSSPREADSHEETFILE", 0, "c.ini"), 1);
  EXPECT_EQ(GetPrivateProfileString("TESSAROSAP", "name", "", "c.ini", 256), "MixedCase Value");
}

TEST_F(ProfileTest, FirstOccurrenceWinsForKeysAndSections) {
  Write("d.ini",
        "[A]\nk=first\nk=second\n"
        "[b]\nx=1\n"
        "[a]\nk=third\nonlyInSecond=yes\n");
  EXPECT_EQ(GetPrivateProfileString("A", "k", "", "d.ini", 256), "first");
  // Keys are looked up in the first section of a name only.
  EXPECT_EQ(GetPrivateProfileString("A", "onlyInSecond", "none", "d.ini", 256), "none");
  EXPECT_EQ(GetPrivateProfileSectionNames("d.ini", 4096), (std::vector<std::string>{"A", "b"}));
}

TEST_F(ProfileTest, LineSyntax) {
  Write("l.ini",
        "\xEF\xBB\xBF"
        "orphan=before any section\r\n"
        "  [ Spaced Name ]  trailing\r\n"
        "; comment=1\r\n"
        "# hash=1\r\n"
        "\tkey\t=\t value with  inner  blanks \t\r\n"
        "dq=\"  quoted  \"\r\n"
        "sq='x'\r\n"
        "half=\"open\r\n"
        "inline=1 ; not a comment\r\n"
        "eq=a=b\r\n"
        "bare\r\n"
        "[NoClose\r\n"
        "z=1");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "key", "", "l.ini", 256),
            "value with  inner  blanks");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "dq", "", "l.ini", 256), "  quoted  ");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "sq", "", "l.ini", 256), "x");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "half", "", "l.ini", 256), "\"open");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "inline", "", "l.ini", 256),
            "1 ; not a comment");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "eq", "", "l.ini", 256), "a=b");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "bare", "d", "l.ini", 256), "");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "; comment", "d", "l.ini", 256), "d");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "# hash", "d", "l.ini", 256), "d");
  EXPECT_EQ(GetPrivateProfileString("Spaced Name", "orphan", "d", "l.ini", 256), "d");
  EXPECT_EQ(GetPrivateProfileInt("NoClose", "z", 0, "l.ini"), 1);
  EXPECT_EQ(GetPrivateProfileSectionNames("l.ini", 4096),
            (std::vector<std::string>{"Spaced Name", "NoClose"}));
}

TEST_F(ProfileTest, IntegersParseLikeWindows) {
  Write("i.ini",
        "[N]\nplain=42\nneg=-7\nplus=+8\nlead=  12abc\nword=abc\nsign=-\n"
        "big=99999999999\nsmall=-99999999999\nfloat=3.9\n");
  EXPECT_EQ(GetPrivateProfileInt("N", "plain", 0, "i.ini"), 42);
  EXPECT_EQ(GetPrivateProfileInt("N", "neg", 0, "i.ini"), -7);
  EXPECT_EQ(GetPrivateProfileInt("N", "plus", 0, "i.ini"), 8);
  EXPECT_EQ(GetPrivateProfileInt("N", "lead", 0, "i.ini"), 12);
  EXPECT_EQ(GetPrivateProfileInt("N", "word", 5, "i.ini"), 0);
  EXPECT_EQ(GetPrivateProfileInt("N", "sign", 5, "i.ini"), 0);
  EXPECT_EQ(GetPrivateProfileInt("N", "big", 0, "i.ini"), INT_MAX);
  EXPECT_EQ(GetPrivateProfileInt("N", "small", 0, "i.ini"), INT_MIN);
  EXPECT_EQ(GetPrivateProfileInt("N", "float", 0, "i.ini"), 3);
}

TEST_F(ProfileTest, ValuesAreCutToTheBufferSize) {
  Write("t.ini", "[S]\nv=abcdef\nu=ab\xC3\xA9z\n");
  EXPECT_EQ(GetPrivateProfileString("S", "v", "", "t.ini", 7), "abcdef");
  EXPECT_EQ(GetPrivateProfileString("S", "v", "", "t.ini", 6), "abcde");
  EXPECT_EQ(GetPrivateProfileString("S", "v", "", "t.ini", 1), "");
  EXPECT_EQ(GetPrivateProfileString("S", "v", "", "t.ini", 0), "");
  // The default is cut the same way.
  EXPECT_EQ(GetPrivateProfileString("S", "none", "default", "t.ini", 4), "def");
  // A two-byte character is never split: with room for 3 bytes it is left out whole.
  EXPECT_EQ(GetPrivateProfileString("S", "u", "", "t.ini", 4), "ab");
  EXPECT_EQ(GetPrivateProfileString("S", "u", "", "t.ini", 5), "ab\xC3\xA9");
  // 256-byte buffer as the custom-parameter reader uses: 255 bytes of a long value.
  Write("long.ini", "[Custom:p]\nCurrentValue=" + std::string(1000, 'x') + "\n");
  EXPECT_EQ(GetPrivateProfileString("Custom:p", "CurrentValue", "", "long.ini", 256),
            std::string(255, 'x'));
}

TEST_F(ProfileTest, SectionNameListStopsAtTheBufferSize) {
  // Packed size: "ab\0" (3) + "cde\0" (4) + "f\0" (2) + final "\0" (1) = 10 bytes.
  Write("n.ini", "[ab]\n[cde]\n[f]\n");
  bool truncated = true;
  EXPECT_EQ(GetPrivateProfileSectionNames("n.ini", 10, &truncated),
            (std::vector<std::string>{"ab", "cde", "f"}));
  EXPECT_FALSE(truncated);
  EXPECT_EQ(GetPrivateProfileSectionNames("n.ini", 9, &truncated),
            (std::vector<std::string>{"ab", "cde"}));
  EXPECT_TRUE(truncated);
  EXPECT_EQ(GetPrivateProfileSectionNames("n.ini", 8, &truncated),
            (std::vector<std::string>{"ab", "cde"}));
  EXPECT_EQ(GetPrivateProfileSectionNames("n.ini", 7, &truncated),
            (std::vector<std::string>{"ab"}));
  EXPECT_TRUE(GetPrivateProfileSectionNames("n.ini", 3, &truncated).empty());
  EXPECT_TRUE(truncated);
  EXPECT_TRUE(GetPrivateProfileSectionNames("n.ini", 0).empty());

  // Many sections through the 4096-byte buffer: only whole names, in file order.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "[Custom:param" + std::to_string(i) + "]\nPrompt=p\n";
  Write("many.ini", text);
  const auto names = GetPrivateProfileSectionNames("many.ini", 4096, &truncated);
  EXPECT_TRUE(truncated);
  std::size_t packed = 1;
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i], "Custom:param" + std::to_string(i));
    packed += names[i].size() + 1;
  }
  EXPECT_LE(packed, 4096u);
  EXPECT_GT(packed + ("Custom:param" + std::to_string(names.size())).size() + 1, 4096u);
}

TEST_F(ProfileTest, FileLocation) {
  Write("where.ini", "[S]\nk=config dir\n");
  EXPECT_EQ(ResolveProfilePath("where.ini"), (dir_ / "where.ini").string());
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", "where.ini", 256), "config dir");
  // A path with a directory is used as given, relative ones against the current directory.
  const std::string full = (dir_ / "where.ini").string();
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", full, 256), "config dir");
  const fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", "./where.ini", 256), "config dir");
  fs::current_path(cwd);

  // Without DDTABLE_CONFIG_DIR: $XDG_CONFIG_HOME/ddtable, else ~/.config/ddtable.
  ::unsetenv("DDTABLE_CONFIG_DIR");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(ProfileDirectory(), (dir_ / "ddtable").string());
  ::unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    EXPECT_EQ(ProfileDirectory(), std::string(home) + "/.config/ddtable");
  }
  if (oldXdg != nullptr) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST_F(ProfileTest, AChangedFileIsReadAgain) {
  Write("r.ini", "[S]\nk=1\n");
  EXPECT_EQ(GetPrivateProfileInt("S", "k", 0, "r.ini"), 1);
  Write("r.ini", "[S]\nk=22\n");  // different size, so seen as changed whatever the clock
  EXPECT_EQ(GetPrivateProfileInt("S", "k", 0, "r.ini"), 22);
  fs::remove(dir_ / "r.ini");
  EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, "r.ini"), -1);
}

}  // namespace
}  // namespace ddt::platform
