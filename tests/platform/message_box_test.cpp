#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ddtable/platform.h"

namespace ddt::platform {
namespace {

TEST(MessageBoxTest, DefaultHandlerWritesToStandardErrorAndAnswersOk) {
  ::testing::internal::CaptureStderr();
  const int answer = MessageBox("Fail to create Formula One instance.", "ddtable", MB_OK | MB_ICONERROR);
  const int answer2 = MessageBox("no caption", "", MB_YESNO);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(answer2, IDOK);
  // A box without a caption still says whose it is.
  EXPECT_EQ(err, "ddtable: Fail to create Formula One instance.\nddtable: no caption\n");
}

TEST(MessageBoxTest, CaptureRecordsAnswersAndRestores) {
  {
    MessageCapture outer(IDCANCEL);
    {
      MessageCapture inner(IDYES);
      EXPECT_EQ(MessageBox("first", "cap", MB_YESNO | MB_ICONQUESTION), IDYES);
      inner.SetAnswer(IDNO);
      EXPECT_EQ(MessageBox("second"), IDNO);
      ASSERT_EQ(inner.Count(), 2u);
      EXPECT_EQ(inner.Messages()[0].text, "first");
      EXPECT_EQ(inner.Messages()[0].caption, "cap");
      EXPECT_EQ(inner.Messages()[0].flags, MB_YESNO | MB_ICONQUESTION);
      EXPECT_EQ(inner.LastText(), "second");
    }
    // The inner capture gave the handler back to the outer one.
    EXPECT_EQ(MessageBox("third"), IDCANCEL);
    ASSERT_EQ(outer.Count(), 1u);
    EXPECT_EQ(outer.LastText(), "third");
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("back to default"), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ddtable: back to default\n");
}

TEST(MessageBoxTest, DefaultHandlerWritesOneLinePerBox) {
  ::testing::internal::CaptureStderr();
  MessageBox("Unresolved references:\n\nBP1\r\nBP2", "Check", MB_OK);
  MessageBox("trailing\n", "", MB_OK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Check: Unresolved references: BP1 BP2\nddtable: trailing\n");
}

// A host handler replaces the default; one that answers no button passes the box on to
// standard error, so a box is never swallowed.
int Declining(const char*, const char*, unsigned, void* user) {
  ++*static_cast<int*>(user);
  return 0;
}
int Answering(const char*, const char*, unsigned, void* user) {
  ++*static_cast<int*>(user);
  return IDNO;
}

TEST(MessageBoxTest, DecliningHandlerFallsBackToStandardError) {
  int calls = 0;
  ddt_set_message_handler(&Answering, &calls);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("taken", "Host", MB_YESNO), IDNO);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ddt_set_message_handler(&Declining, &calls);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("declined", "Host", MB_YESNO), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Host: declined\n");
  ddt_set_message_handler(nullptr, nullptr);
  EXPECT_EQ(calls, 2);
}

struct CRecorder {
  std::vector<std::string> seen;
};

int RecordingHandler(const char* text, const char* caption, unsigned flags, void* user) {
  auto* r = static_cast<CRecorder*>(user);
  r->seen.push_back(std::string(caption) + "|" + text + "|" + std::to_string(flags));
  return IDRETRY;
}

TEST(MessageBoxTest, ExportedCHookInstallsAndRestores) {
  CRecorder recorder;
  ddt_set_message_handler(&RecordingHandler, &recorder);
  // Texts with embedded line breaks and empty captions reach the C side intact.
  EXPECT_EQ(MessageBox("line1\n\nline2", "", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(MessageBox("x", "Tessaro Workbench", MB_OK | MB_ICONINFORMATION), IDRETRY);
  ddt_set_message_handler(nullptr, nullptr);
  ASSERT_EQ(recorder.seen.size(), 2u);
  EXPECT_EQ(recorder.seen[0], "|line1\n\nline2|5");
  EXPECT_EQ(recorder.seen[1], "Tessaro Workbench|x|64");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("default again"), IDOK);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(recorder.seen.size(), 2u);
}

TEST(MessageBoxTest, HandlerMayShowAnotherBox) {
  MessageCapture capture;
  SetMessageHandler([&](std::string_view text, std::string_view, unsigned) {
    if (text == "outer") return MessageBox("inner") + 10;  // must not deadlock
    return IDABORT;
  });
  EXPECT_EQ(MessageBox("outer"), IDABORT + 10);
  // The capture's destructor puts back what was there before it.
}

}  // namespace
}  // namespace ddt::platform
