// Parameter access and substitution of references in the current iteration.
#include <string>
#include <vector>

#include "ddtable/prm.h"
#include "results_fixture.h"

namespace ddt::results::testing {
namespace {

// Records the callback's calls and converts a value to "[value]".
struct CallbackLog {
  struct Call {
    bool nullName, nullBuffer;
    std::string name, value;
    uint32_t size;
  };
  std::vector<Call> calls;
};

extern "C" int Bracket(void* context, const char* name, const char* value, char* buffer,
                       uint32_t size) {
  auto* log = static_cast<CallbackLog*>(context);
  log->calls.push_back({name == nullptr, buffer == nullptr, name ? name : "", value, size});
  const std::string converted = "[" + std::string(value) + "]";
  if (buffer == nullptr) return static_cast<int>(converted.size());
  converted.copy(buffer, size);
  buffer[std::min<std::size_t>(size, converted.size())] = '\0';
  return 0;
}

class SubstituteTest : public ResultsTest {
 protected:
  // Input: Global, A (p, q), A.T (t), Custom (c), 4 rows; scope A at row 2, A.T at row 3,
  // Custom at row 1.
  void SetUp() override {
    input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p", "q"}}, {"A.T", {"t"}}, {"Custom", {"c"}}}, 4);
    input_->SetRunRows({{"A", {{2, 4}}}, {"A.T", {{3, 4}}}, {"Custom", {{1, 1}}}});
    results_ = Prepared(CDT::DT_TYPE_QX, *input_);
    ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    ASSERT_EQ(results_->RefreshSheet(input_.get(), "A.T"), 0);
    ASSERT_EQ(results_->CopyNextRow(input_.get(), "A.T", 0, 1, 1), 0);
    ASSERT_EQ(results_->RefreshSheet(input_.get(), "Custom"), 0);
    ASSERT_EQ(results_->CopyNextRow(input_.get(), "Custom", 0, 1, 1), 0);
  }
  std::string Substitute(const std::string& source, CallbackLog* log = nullptr) {
    std::string out = "stale";
    EXPECT_EQ(results_->SubstituteParameters(source, out, log ? Bracket : nullptr, log), 0);
    return out;
  }

  std::unique_ptr<TestInput> input_;
  std::unique_ptr<TestResults> results_;
};

TEST_F(SubstituteTest, TextsWithoutACompleteReferenceStayAsTheyAre) {
  CallbackLog log;
  EXPECT_EQ(Substitute("plain text", &log), "plain text");
  EXPECT_EQ(Substitute("a < b", &log), "a < b");
  EXPECT_EQ(Substitute("", &log), "");
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(SubstituteTest, ReferencesReadTheCurrentRowOfTheirSheet) {
  EXPECT_EQ(Substitute("<p>/<q>"), "A:p:2/A:q:2");
  EXPECT_EQ(Substitute("t=<T::t>"), "t=A.T:t:3");            // child table of the scope
  EXPECT_EQ(Substitute("c=<Custom::c>"), "c=Custom:c:1");
  // "custom" in another case is not prefixed with the scope, but sheet names are exact.
  EXPECT_EQ(Substitute("<cUSTOM::c>"), "<cUSTOM::c>");
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(Substitute("<p>"), "A:p:3");
}

TEST_F(SubstituteTest, UnknownParametersAndSheetsAreKept) {
  EXPECT_EQ(Substitute("<nope> <p>"), "<nope> A:p:2");
  EXPECT_EQ(Substitute("<X::p>"), "<X::p>");  // A.X does not exist
  // The reference runs to the first ">": "a<p" is no parameter.
  EXPECT_EQ(Substitute("<a<p>"), "<a<p>");
}

TEST_F(SubstituteTest, AReferenceOccurringTwiceIsReplacedOnce) {
  EXPECT_EQ(Substitute("<p>-<p>"), "A:p:2-<p>");
}

TEST_F(SubstituteTest, ASheetWithoutCurrentRowReadsNothing) {
  auto fresh = Prepared(CDT::DT_TYPE_QX, *input_);
  fresh->m_strScope = "A";
  ASSERT_EQ(fresh->CopyNextRunRow(input_.get(), 0, 1, 1), 0);  // copied, row not recorded
  std::string out;
  fresh->SubstituteParameters("x<p>y", out, nullptr, nullptr);
  EXPECT_EQ(out, "xy");
  fresh->SubstituteParameters("<p>", out, nullptr, nullptr);
  EXPECT_EQ(out, "");
}

TEST_F(SubstituteTest, TheCallbackIsAskedForTheSizeThenConverts) {
  CallbackLog log;
  EXPECT_EQ(Substitute("<p> and <nope> and <q>", &log), "[A:p:2] and <nope> and [A:q:2]");
  ASSERT_EQ(log.calls.size(), 4u);
  EXPECT_TRUE(log.calls[0].nullName);
  EXPECT_TRUE(log.calls[0].nullBuffer);
  EXPECT_EQ(log.calls[0].size, 0u);
  EXPECT_EQ(log.calls[0].value, "A:p:2");
  EXPECT_FALSE(log.calls[1].nullName);
  EXPECT_FALSE(log.calls[1].nullBuffer);
  EXPECT_EQ(log.calls[1].name, "p");
  EXPECT_EQ(log.calls[1].size, 7u);
  EXPECT_EQ(log.calls[3].name, "q");
}

TEST_F(SubstituteTest, AKnownAliasSwitchesTheWorkbookForLaterReferences) {
  CPrm manager(CDT::DT_TYPE_QX);  // the current manager while it lives
  EXTERNAL_DATA* record = manager.LoadExternalWorkbook("X", "no-such-dir/ext.xlsx", "", &host_);
  ASSERT_NE(record, nullptr);
  ASSERT_NE(record->pWorkbook, nullptr);
  CDDTResults& external = *record->pWorkbook;
  for (const auto& [sheet, param] : {std::pair<std::string, std::string>{"A", "p"}, {"S", "s"}}) {
    ASSERT_EQ(external.NewSheet(sheet), 0);
    std::string name = param;
    ASSERT_EQ(external.AddParam(sheet, name, "", CDT::DT_STYLE_NONE, "", 0), 0);
    ASSERT_EQ(external.SetParamValue(2, param, "ext:" + param + ":2", sheet, 0), 0);
  }
  // The aliased reference reads sheet S of the external workbook at this workbook's
  // current iteration of A (row 2); the plain <p> after it reads the external A at row 2.
  EXPECT_EQ(Substitute("<q> <X@@S::s> <p>"), "A:q:2 ext:s:2 ext:p:2");
  // A parameter only this workbook has is not found once the workbook has switched.
  EXPECT_EQ(Substitute("<X@@S::s> <q>"), "ext:s:2 <q>");
  // Aliases are case-sensitive; an unknown one leaves the workbook as it was.
  EXPECT_EQ(Substitute("<x@@A::p> <q>"), "A:p:2 A:q:2");
  // Output verification resolves the alias the same way and writes there.
  EXPECT_EQ(results_->SetAndVerifyOutput("<X@@S::s>", " w ", "w", true), 1);
  EXPECT_EQ(external.GetParamValue(2, "s", "S"), "w");
  EXPECT_EQ(results_->GetParamValue(2, "p", "A"), "A:p:2");
}

TEST_F(SubstituteTest, ParameterAccessByTableName) {
  EXPECT_EQ(results_->GetParamCount(""), 2);
  EXPECT_EQ(results_->GetParamCount("T"), 1);
  EXPECT_EQ(results_->GetParamCount("none"), 0);
  EXPECT_EQ(results_->GetParamName(0, ""), "");
  EXPECT_EQ(results_->GetParamName(2, ""), "q");
  EXPECT_EQ(results_->GetParamName(1, "T"), "t");
  EXPECT_EQ(results_->GetParamName(1, "none"), "");
  EXPECT_EQ(results_->GetValue("q", ""), "A:q:2");
  EXPECT_EQ(results_->GetValue("t", "T"), "A.T:t:3");
  EXPECT_EQ(results_->GetValue("t", ""), "");
  EXPECT_EQ(results_->GetValue("p", "none"), "");  // not the current sheet's p
}

TEST_F(SubstituteTest, NextParameterAndRefresh) {
  std::string ref;
  EXPECT_EQ(results_->NextParameter("<a> <b>", ref), 1);
  EXPECT_EQ(ref, "<a>");
  EXPECT_EQ(results_->NextParameter("<a> <b>", ref), 1);
  EXPECT_EQ(ref, "<b>");
  EXPECT_EQ(results_->NextParameter("<a> <b>", ref), 0);
  EXPECT_EQ(ref, "");
  EXPECT_EQ(results_->RefreshParameters(input_.get(), "<p> <>"), 0);
}

}  // namespace
}  // namespace ddt::results::testing
