#include "platform/resources.h"

#include <gtest/gtest.h>

#include <thread>

#include "manager/module.h"

namespace ddt::platform {
namespace {

TEST(StringTableTest, TextsAreExact) {
  const char* const expected[] = {
      "Parameter name invalid: '%1', suggest to change it to '%2'",
      "Fail to create Formula One instance.",
      "Error: Attempt to create more than 255 columns.",
      "Global",
      "Iter",
      "VID",
      "Host",
      "Group",
      "Local",
      "None",
      "_out",
      "_exp",
      ".End",
      "1",
      "1",
      "<N/A>",
      "Unresolved refrences to the following business processes were detected:\n\n%1",
  };
  for (int id = kFirstStringId; id <= kLastStringId; ++id)
    EXPECT_EQ(LoadString(id), expected[id - 1]) << "id " << id;
  EXPECT_EQ(LoadString(IDS_UNRESOLVED_REFERENCES).find("\n\n%1"),
            LoadString(IDS_UNRESOLVED_REFERENCES).size() - 4);
}

TEST(StringTableTest, UnknownIdsAreEmpty) {
  for (int id : {0, -1, 18, 1000, kLastStringId + 1}) EXPECT_EQ(LoadString(id), "") << id;
}

TEST(StringTableTest, MessagesWithInserts) {
  EXPECT_EQ(FormatString(IDS_PARAM_NAME_INVALID, {"my name", "my_name"}),
            "Parameter name invalid: 'my name', suggest to change it to 'my_name'");
  EXPECT_EQ(FormatString(IDS_UNRESOLVED_REFERENCES, {"Login\nCheckout\n"}),
            "Unresolved refrences to the following business processes were detected:\n\n"
            "Login\nCheckout\n");
  EXPECT_EQ(FormatString(IDS_GLOBAL_SHEET, {"unused"}), "Global");
}

TEST(FormatMessageTest, InsertsAndLiterals) {
  EXPECT_EQ(FormatMessage("%2 before %1, %1 again", {"a", "b"}), "b before a, a again");
  // Inserted text is not expanded again.
  EXPECT_EQ(FormatMessage("'%1' '%2'", {"%2", "x"}), "'%2' 'x'");
  // Missing arguments and other % uses stay as written; %% is one percent sign.
  EXPECT_EQ(FormatMessage("%1 %3 %0 %x 100%% %", {"a"}), "a %3 %0 %x 100% %");
  EXPECT_EQ(FormatMessage("%10|%1", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}),
            "ten|1");
  EXPECT_EQ(FormatMessage("", {"a"}), "");
}

TEST(ModuleContextTest, GuardsNestAndRestore) {
  EXPECT_EQ(CurrentModuleContext(), nullptr);
  {
    ModuleContextGuard outer;
    EXPECT_EQ(CurrentModuleContext(), &LibraryContext());
    {
      ModuleContextGuard inner;
      EXPECT_EQ(CurrentModuleContext(), &LibraryContext());
    }
    EXPECT_EQ(CurrentModuleContext(), &LibraryContext());
    // Per thread: another thread is outside any entry.
    const ModuleContext* seen = &LibraryContext();
    std::thread([&] { seen = CurrentModuleContext(); }).join();
    EXPECT_EQ(seen, nullptr);
  }
  EXPECT_EQ(CurrentModuleContext(), nullptr);
}

TEST(ModuleStartupTest, SharedStringsAreLoaded) {
  const SharedStrings& s = ddt::Shared();
  EXPECT_EQ(s.global, "Global");
  EXPECT_EQ(s.iter, "Iter");
  EXPECT_EQ(s.vid, "VID");
  EXPECT_EQ(s.host, "Host");
  EXPECT_EQ(s.group, "Group");
  EXPECT_EQ(s.out, "_out");
  EXPECT_EQ(s.exp, "_exp");
  EXPECT_EQ(s.end, ".End");
  EXPECT_EQ(&s, &ddt::Shared());
}

TEST(ModuleStartupTest, CurrentManagerStartsNullAndFollowsTheSetter) {
  EXPECT_EQ(ddt::CurrentManager(), nullptr);
  // CPrm is only declared here; any address stands in for one.
  int stand_in = 0;
  CPrm* fake = reinterpret_cast<CPrm*>(&stand_in);
  ddt::SetCurrentManager(fake);
  EXPECT_EQ(ddt::CurrentManager(), fake);
  ddt::SetCurrentManager(nullptr);
  EXPECT_EQ(ddt::CurrentManager(), nullptr);
}

}  // namespace
}  // namespace ddt::platform
