#include "ddtable/param_name.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
  const char* text;
  int flag;
  const char* alias;
  const char* sheet;
  const char* name;
};

// Every written form a script may use, with the parts it must split into.
TEST(ParamNameTest, ParsesEveryWrittenForm) {
  const ParseCase cases[] = {
      {"<p>", 1, "", "", "p"},
      {"p", 0, "", "", "p"},
      {"p>", 0, "", "", "p"},
      {"<p", 1, "", "", "p"},
      {"<S::p>", 1, "", "S", "p"},
      {"<X@@p>", 1, "X", "", "p"},
      {"<X@@S::p>", 1, "X", "S", "p"},
      {"<S::X@@p>", 1, "S::X", "", "p"},
      {"<S::T::p>", 1, "", "S", "T::p"},
      {"<X@@Y@@p>", 1, "X", "", "Y@@p"},
      {"<a<b>c>", 1, "", "", "a<b>c"},
      {"", 0, "", "", ""},
      {"<", 1, "", "", ""},
      {">", 0, "", "", ""},
      {"<>", 1, "", "", ""},
  };
  for (const auto& c : cases) {
    CParamName p(c.text);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(p.IsParam(), c.flag);
    EXPECT_EQ(p.GetExternAlias(), c.alias);
    EXPECT_EQ(p.GetSheet(), c.sheet);
    EXPECT_EQ(p.GetName(), c.name);
  }
}

TEST(ParamNameTest, NullTextIsEmpty) {
  CParamName p(nullptr);
  EXPECT_EQ(p.IsParam(), 0);
  EXPECT_EQ(p.GetName(), "");
}

TEST(ParamNameTest, ReparsingClearsEarlierParts) {
  CParamName p("<X@@S::p>");
  p.SetParamName("q");
  EXPECT_EQ(p.IsParam(), 0);
  EXPECT_EQ(p.GetExternAlias(), "");
  EXPECT_EQ(p.GetSheet(), "");
  EXPECT_EQ(p.GetName(), "q");
}

TEST(ParamNameTest, RebuildsTheWrittenForm) {
  EXPECT_EQ(CParamName("p").GetText(), "<p>");  // brackets come back without the flag
  EXPECT_EQ(CParamName("<X@@S::p>").GetFullName(), "X@@S::p");
  EXPECT_EQ(CParamName("<X@@S::p>").GetText(), "<X@@S::p>");
  EXPECT_EQ(CParamName("<S::p>").GetFullName(), "S::p");
  // Without a name there is no text, whatever the other parts hold.
  EXPECT_EQ(CParamName("<X@@S::>").GetText(), "");
  EXPECT_EQ(CParamName("X", "S", "").GetText(), "");
}

TEST(ParamNameTest, PartsConstructorAndCopies) {
  CParamName built("X", "S", "p");
  EXPECT_EQ(built.IsParam(), 0);
  EXPECT_EQ(built.GetText(), "<X@@S::p>");
  CParamName copy(built);
  EXPECT_EQ(copy.GetFullName(), "X@@S::p");
  CParamName assigned("<q>");
  assigned = built;
  EXPECT_EQ(assigned.GetName(), "p");
  EXPECT_EQ(assigned.IsParam(), 0);
}

TEST(ParamNameTest, FullSheetResolvesAgainstTheScope) {
  EXPECT_EQ(CParamName("<p>").GetFullSheet("Login"), "Login");
  EXPECT_EQ(CParamName("<X@@p>").GetFullSheet("Login"), "Login");  // alias alone: the scope
  EXPECT_EQ(CParamName("<Items::p>").GetFullSheet("Login"), "Login.Items");
  EXPECT_EQ(CParamName("<custom::p>").GetFullSheet("Login"), "custom");
  EXPECT_EQ(CParamName("<CUSTOM::p>").GetFullSheet("Login"), "CUSTOM");
  EXPECT_EQ(CParamName("<X@@Items::p>").GetFullSheet("Login"), "Items");  // external: absolute
}

}  // namespace
