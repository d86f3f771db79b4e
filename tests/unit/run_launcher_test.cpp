// The whole run from the argument text that WinMain receives: which box it
// shows, if any, and the exit status of every outcome.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

const char kArgsBox[] = "Invalid Command Line Args.";
const char kUserBox[] = "Invalid User.";
const char kPasswordBox[] = "Invalid Passowrd.";
const char kCommandBox[] = "Invalid Comand Line Args.";
const DWORD kFailed = 0xFFFFFFFF;
const std::optional<DWORD> kUnscripted;

struct RunCase {
  int line;
  UINT codePage;
  const char* text;
  std::optional<DWORD> boxLeaves;    // the last error a shown box leaves
  std::optional<DWORD> launchFails;  // the launch fails with this last error
  const char* box;                   // nullptr: no box
  DWORD status;
};

const RunCase kCases[] = {
    // Started.
    {__LINE__, 1252, "/user:bob /password:pw cmd", 5u, kUnscripted, nullptr, 0},
    // The launch failed: its error, or -1 for a failure that left 0.
    {__LINE__, 1252, "/user:bob /password:bad cmd", kUnscripted, 1326u, nullptr, 1326},
    {__LINE__, 1252, "/user:bob /password:bad cmd", kUnscripted, 0u, nullptr, kFailed},
    // No argument text at all: the launch is tried with an empty command.
    {__LINE__, 1252, "", kUnscripted, 87u, nullptr, 87},
    {__LINE__, 1252, "", kUnscripted, 0u, nullptr, kFailed},

    // InvalidArgs is always -1, whatever the box leaves.
    {__LINE__, 1252, "/bogus cmd", kUnscripted, kUnscripted, kArgsBox, kFailed},
    {__LINE__, 1252, "/bogus cmd", 5u, kUnscripted, kArgsBox, kFailed},
    {__LINE__, 1252, "/user:bob", 1400u, kUnscripted, kArgsBox, kFailed},

    // The others: the last error after the box, or -1 when it is 0. Without
    // a scripted box the conversion's own error is still there.
    {__LINE__, 932, "/user:\x85\x40 cmd", kUnscripted, kUnscripted, kUserBox, ERROR_NO_UNICODE_TRANSLATION},
    {__LINE__, 932, "/user:\x85\x40 cmd", 5u, kUnscripted, kUserBox, 5},
    {__LINE__, 932, "/user:\x85\x40 cmd", 0u, kUnscripted, kUserBox, kFailed},

    {__LINE__, 932, "/password:\x85\x40 cmd", kUnscripted, kUnscripted, kPasswordBox, ERROR_NO_UNICODE_TRANSLATION},
    {__LINE__, 1252, "/password: cmd", kUnscripted, kUnscripted, kPasswordBox, kFailed},
    {__LINE__, 1252, "/password: cmd", 1400u, kUnscripted, kPasswordBox, 1400},
    {__LINE__, 1252, "/password: cmd", 0u, kUnscripted, kPasswordBox, kFailed},

    // An unterminated password shares the InvalidArgs text, not its status.
    {__LINE__, 1252, "/password:x", kUnscripted, kUnscripted, kArgsBox, kFailed},
    {__LINE__, 1252, "/user:bob /password:x", 5u, kUnscripted, kArgsBox, 5},
    {__LINE__, 1252, "/password:x", 0u, kUnscripted, kArgsBox, kFailed},

    {__LINE__, 932, "cmd \x85\x40", kUnscripted, kUnscripted, kCommandBox, ERROR_NO_UNICODE_TRANSLATION},
    {__LINE__, 932, "/wait cmd\x81", 8u, kUnscripted, kCommandBox, 8},
    {__LINE__, 932, "cmd \x85\x40", 0u, kUnscripted, kCommandBox, kFailed},
};

class RunLauncherTest : public SimFixture {};

TEST_F(RunLauncherTest, OutcomeTable) {
  for (const RunCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    SimReset();
    SimSetCodePage(c.codePage);
    if (c.boxLeaves) SimLeaveLastError(SimService::MessageBoxA, *c.boxLeaves);
    if (c.launchFails) {
      SimFailCall(SimService::CreateProcessWithLogonW, 1, *c.launchFails);
    }
    std::vector<char> text = ExactText(c.text);

    DWORD status = static_cast<DWORD>(
        WinMain(nullptr, nullptr, text.data(), SW_SHOWDEFAULT));

    EXPECT_EQ(status, c.status);
    if (c.box != nullptr) {
      ASSERT_EQ(SimMessageBoxes().size(), 1u);
      const SimMessageBox& box = SimMessageBoxes()[0];
      EXPECT_EQ(box.owner, nullptr);
      EXPECT_EQ(box.text, c.box);
      EXPECT_EQ(box.caption, "Velmora Error");
      EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
      EXPECT_TRUE(SimLogonCalls().empty());
    } else {
      EXPECT_TRUE(SimMessageBoxes().empty());
      ASSERT_EQ(SimLogonCalls().size(), 1u);
      EXPECT_EQ(SimLogonCalls()[0].succeeded, !c.launchFails.has_value());
      if (std::string(c.text).empty()) {
        EXPECT_EQ(SimLogonCalls()[0].commandLine, Wide(""));
      }
    }
    // Nothing repeats in these texts, so the run releases everything.
    EXPECT_TRUE(SimLiveBlocks().empty());
    EXPECT_TRUE(SimLiveEnvironmentBlocks().empty());
    ExpectNoFaults();
  }
}

}  // namespace
