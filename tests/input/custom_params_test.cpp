#include "input/custom_params.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "input/input_limits.h"
#include "support/config_dir.h"

namespace ddt::input {
namespace {

namespace fs = std::filesystem;

// A scratch configuration directory that bare settings names resolve to.
class ConfigDirTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    return config_.Write(name, text);
  }

  ddt::test::ConfigDir config_{"ddt-input"};
  const fs::path& dir_ = config_.Path();
};

TEST_F(ConfigDirTest, ToolkitSwitchFollowsTheSettingsFile) {
  EXPECT_FALSE(ToolkitChangesEnabled());  // no file
  Write("velmora.ini", "[SLM]\nTOOLKIT_CHANGES=0\n");
  EXPECT_FALSE(ToolkitChangesEnabled());
  Write("velmora.ini", "[slm]\ntoolkit_changes = 2\n");
  EXPECT_TRUE(ToolkitChangesEnabled());
  Write("velmora.ini", "[Other]\nTOOLKIT_CHANGES=1\n");
  EXPECT_FALSE(ToolkitChangesEnabled());
}

TEST(CustomFileNameTest, LastThreeCharactersBecomePrm) {
  EXPECT_EQ(CustomParameterFile("/t/test.usr"), "/t/test.prm");
  EXPECT_EQ(CustomParameterFile("a.usr"), "a.prm");
  // Four characters or fewer: used as given.
  EXPECT_EQ(CustomParameterFile(".usr"), ".usr");
  EXPECT_EQ(CustomParameterFile("usr"), "usr");
  EXPECT_EQ(CustomParameterFile(""), "");
  // Another ending is replaced all the same; a multibyte character is never cut.
  EXPECT_EQ(CustomParameterFile("data.txt"), "data.prm");
  EXPECT_EQ(CustomParameterFile("dat.äöü"), "dat.prm");
}

TEST_F(ConfigDirTest, ReadsCustomSectionsInFileOrder) {
  const std::string file = Write("test.prm",
                                 "[Custom:Client]\nCurrentValue=ACME\nPrompt=Client name\n"
                                 "IsServer=0\nMandatory=1\n"
                                 "[General]\nCurrentValue=ignored\n"
                                 "[custom:Lower]\nCurrentValue=ignored\n"
                                 "[Custom:]\nCurrentValue=no name\n"
                                 "[Custom:Mode]\nCurrentValue=fast\nMandatory=0\n");
  const auto params = ReadCustomParameters(file);
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].name, "Client");
  EXPECT_EQ(params[0].value, "ACME");
  EXPECT_EQ(params[0].prompt, "Client name");
  EXPECT_EQ(params[0].server, "0");
  EXPECT_EQ(params[0].mandatory, "1");
  EXPECT_EQ(params[1].name, "Mode");
  EXPECT_EQ(params[1].value, "fast");
  EXPECT_EQ(params[1].prompt, "");  // missing key
  EXPECT_EQ(params[1].server, "");
  EXPECT_EQ(params[1].mandatory, "0");
}

TEST_F(ConfigDirTest, MissingFileLongValuesAndManySections) {
  EXPECT_TRUE(ReadCustomParameters((dir_ / "none.prm").string()).empty());

  const std::string longValue(400, 'v');
  std::string text = "[Custom:Long]\nCurrentValue=" + longValue + "\n";
  // Enough sections that their names overflow the 4096-byte list: the tail is dropped.
  for (int i = 0; i < 400; ++i) text += "[Custom:P" + std::to_string(1000 + i) + "]\n";
  const auto params = ReadCustomParameters(Write("big.prm", text));
  ASSERT_FALSE(params.empty());
  EXPECT_EQ(params[0].value, std::string(kCustomValueBufferSize - 1, 'v'));
  std::size_t listed = 0;
  for (const auto& p : params) listed += kCustomSectionPrefix.size() + p.name.size() + 1;
  EXPECT_LT(params.size(), 401u);
  EXPECT_LE(listed + 1, kSectionNamesBufferSize);
}

}  // namespace
}  // namespace ddt::input
