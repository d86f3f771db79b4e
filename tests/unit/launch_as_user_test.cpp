// The launch: the eleven values handed to CreateProcessWithLogonW, and what
// happens to the two handles it hands back.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

// Where a domain's text must lie.
enum class DomainAt {
  Anywhere,          // no pointer expectation (or no domain)
  UserBufferStart,   // domain\user: the domain opens the request's buffer
  FirstUserBuffer,   // kept from an earlier /user:, in that value's buffer
};

struct LaunchCase {
  int line;
  const char* text;
  const char16_t* user;  // nullptr: passed as null
  const char16_t* domain;
  const char16_t* password;
  DWORD logonFlags;
  bool environment;
  bool wait;
  const char16_t* command;
  DomainAt domainAt;
};

const DomainAt kAnywhere = DomainAt::Anywhere;

const LaunchCase kCases[] = {
    {__LINE__, "cmd", nullptr, nullptr, nullptr, LOGON_WITH_PROFILE, false, false, u"cmd", kAnywhere},
    {__LINE__, "", nullptr, nullptr, nullptr, LOGON_WITH_PROFILE, false, false, u"", kAnywhere},
    {__LINE__, "/noprofile cmd", nullptr, nullptr, nullptr, 0, false, false, u"cmd", kAnywhere},
    {__LINE__, "/env cmd", nullptr, nullptr, nullptr, LOGON_WITH_PROFILE, true, false, u"cmd", kAnywhere},
    {__LINE__, "/env /env cmd", nullptr, nullptr, nullptr, LOGON_WITH_PROFILE, true, false, u"cmd", kAnywhere},
    {__LINE__, "/wait cmd /c x", nullptr, nullptr, nullptr, LOGON_WITH_PROFILE, false, true, u"cmd /c x", kAnywhere},
    {__LINE__, "/user:bob cmd", u"bob", nullptr, nullptr, LOGON_WITH_PROFILE, false, false, u"cmd", kAnywhere},
    {__LINE__, "/password:pw cmd", nullptr, nullptr, u"pw", LOGON_WITH_PROFILE, false, false, u"cmd", kAnywhere},
    {__LINE__, "/user:corp\\bob /password:pw cmd", u"bob", u"corp", u"pw", LOGON_WITH_PROFILE, false, false, u"cmd", DomainAt::UserBufferStart},
    {__LINE__, "/user:bob@corp cmd", u"bob", u"corp", nullptr, LOGON_WITH_PROFILE, false, false, u"cmd", kAnywhere},
    // An empty domain is an empty string, not null.
    {__LINE__, "/user:\\bob cmd", u"bob", u"", nullptr, LOGON_WITH_PROFILE, false, false, u"cmd", DomainAt::UserBufferStart},
    {__LINE__, "/user:corp\\old /user:new cmd", u"new", u"corp", nullptr, LOGON_WITH_PROFILE, false, false, u"cmd", DomainAt::FirstUserBuffer},
    {__LINE__, "/noprofile /env /wait /user:\"PC\\John Smith\" /password:pw \"C:\\a b\\x.exe\" y",
     u"John Smith", u"PC", u"pw", 0, true, true, u"\"C:\\a b\\x.exe\" y", DomainAt::UserBufferStart},
};

std::optional<std::u16string> Field(const char16_t* text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(text);
}

void ExpectOnlyCbSet(const STARTUPINFOW& s) {
  EXPECT_EQ(s.cb, sizeof(STARTUPINFOW));
  EXPECT_EQ(s.lpReserved, nullptr);
  EXPECT_EQ(s.lpDesktop, nullptr);
  EXPECT_EQ(s.lpTitle, nullptr);
  EXPECT_EQ(s.dwX | s.dwY | s.dwXSize | s.dwYSize, 0u);
  EXPECT_EQ(s.dwXCountChars | s.dwYCountChars | s.dwFillAttribute, 0u);
  EXPECT_EQ(s.dwFlags, 0u);
  EXPECT_EQ(s.wShowWindow, 0u);
  EXPECT_EQ(s.cbReserved2, 0u);
  EXPECT_EQ(s.lpReserved2, nullptr);
  EXPECT_EQ(s.hStdInput, nullptr);
  EXPECT_EQ(s.hStdOutput, nullptr);
  EXPECT_EQ(s.hStdError, nullptr);
}

std::vector<ServiceCall> HandleCalls() {
  return CallsOf({SimService::CloseHandle, SimService::WaitForSingleObject});
}

class LaunchAsUserTest : public SimFixture {};

TEST_F(LaunchAsUserTest, Table) {
  for (const LaunchCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    SimReset();
    std::vector<char> text = ExactText(c.text);
    LaunchRequest request = {};
    ASSERT_EQ(ParseArguments(text.data(), &request), LauncherFailure::None);

    EXPECT_EQ(LaunchAsUser(&request), 0u);

    ASSERT_EQ(SimLogonCalls().size(), 1u);
    const SimLogonCall& call = SimLogonCalls()[0];
    EXPECT_EQ(call.username, Field(c.user));
    EXPECT_EQ(call.domain, Field(c.domain));
    EXPECT_EQ(call.password, Field(c.password));
    EXPECT_EQ(call.logonFlags, c.logonFlags);
    EXPECT_EQ(call.applicationNamePointer, nullptr);
    EXPECT_EQ(call.commandLine, Field(c.command));
    EXPECT_EQ(call.commandLinePointer, request.command);
    EXPECT_EQ(call.creationFlags, 0u);
    EXPECT_EQ(call.currentDirectoryPointer, nullptr);
    ASSERT_TRUE(call.hasStartupInfo);
    ExpectOnlyCbSet(call.startupInfo);
    EXPECT_TRUE(call.hasProcessInformation);

    // The request's own strings, not copies.
    EXPECT_EQ(call.usernamePointer, request.user);
    EXPECT_EQ(call.domainPointer, request.domain);
    EXPECT_EQ(call.passwordPointer, request.password);
    std::vector<const void*> allocations = ObjectsOf(SimService::HeapAlloc);
    if (c.domainAt == DomainAt::UserBufferStart) {
      EXPECT_EQ(call.domainPointer, request.userBuffer);
    } else if (c.domainAt == DomainAt::FirstUserBuffer) {
      ASSERT_FALSE(allocations.empty());
      EXPECT_EQ(call.domainPointer, allocations[0]);  // the first /user: value
      EXPECT_NE(call.domainPointer, request.userBuffer);
    }

    // The environment is the block handed out last, or none.
    std::vector<const void*> blocks = ObjectsOf(SimService::GetEnvironmentStrings);
    EXPECT_EQ(blocks.empty(), !c.environment);
    EXPECT_EQ(call.environment, blocks.empty() ? nullptr : blocks.back());

    // Thread closed first, process last, the wait between them; once each.
    ASSERT_TRUE(call.succeeded);
    HANDLE thread = call.handedOut.hThread;
    HANDLE process = call.handedOut.hProcess;
    std::vector<ServiceCall> expected = {{SimService::CloseHandle, thread}};
    if (c.wait) expected.push_back({SimService::WaitForSingleObject, process});
    expected.push_back({SimService::CloseHandle, process});
    EXPECT_EQ(HandleCalls(), expected);
    for (const SimEvent& wait : EventsOf(SimService::WaitForSingleObject)) {
      EXPECT_EQ(wait.size, static_cast<SIZE_T>(INFINITE));
    }
    EXPECT_TRUE(SimOpenHandles().empty());

    ReleaseRequest(&request);
    ExpectNoFaults();
  }
}

// A failed launch: its error as the status, and nothing done with handles it
// never got, with or without /wait.
TEST_F(LaunchAsUserTest, FailedLaunch) {
  const struct {
    int line;
    const char* text;
    DWORD error;
    DWORD status;
  } cases[] = {
      {__LINE__, "/user:bob /password:bad cmd", ERROR_LOGON_FAILURE, ERROR_LOGON_FAILURE},
      {__LINE__, "/user:bob /password:bad cmd", 0, kFailureStatus},
      {__LINE__, "/wait /user:bob /password:bad cmd", ERROR_LOGON_FAILURE, ERROR_LOGON_FAILURE},
      {__LINE__, "/wait /user:bob /password:bad cmd", 0, kFailureStatus},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    SimReset();
    SimFailCall(SimService::CreateProcessWithLogonW, 1, c.error);

    EXPECT_EQ(RunOn(c.text), c.status);

    ASSERT_EQ(SimLogonCalls().size(), 1u);
    EXPECT_FALSE(SimLogonCalls()[0].succeeded);
    EXPECT_TRUE(SimMessageBoxes().empty());
    EXPECT_TRUE(HandleCalls().empty());
    EXPECT_TRUE(SimLiveBlocks().empty());
    ExpectNoFaults();
  }
}

// Once the program started, its status is 0: a failing wait or close does not
// change that, and the remaining handle calls still happen.
// A launch that fails without setting an error of its own (Wine's stub does
// exactly that) reports -1, not an error some earlier call left behind.
TEST_F(LaunchAsUserTest, FailureWithoutItsOwnErrorIsNotAStaleOne) {
  const DWORD kStale = 183;  // ERROR_ALREADY_EXISTS, from anywhere earlier
  SimLeaveLastError(SimService::MultiByteToWideChar, kStale);
  SimFailCallKeepingLastError(SimService::CreateProcessWithLogonW, 1);

  EXPECT_EQ(RunOn("/user:bob /password:pw cmd"), kFailureStatus);

  ASSERT_EQ(SimLogonCalls().size(), 1u);
  EXPECT_TRUE(SimMessageBoxes().empty());
}

TEST_F(LaunchAsUserTest, FailingWaitOrCloseStillStarted) {
  const struct {
    int line;
    SimService service;
    int nth;
    DWORD error;
  } cases[] = {
      {__LINE__, SimService::WaitForSingleObject, 1, ERROR_INVALID_HANDLE},
      {__LINE__, SimService::WaitForSingleObject, 1, 0},
      {__LINE__, SimService::CloseHandle, 1, ERROR_INVALID_HANDLE},
      {__LINE__, SimService::CloseHandle, 2, ERROR_INVALID_HANDLE},
      {__LINE__, SimService::CloseHandle, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": "
                                    << SimServiceName(c.service) << " #" << c.nth);
    SimReset();
    SimFailCall(c.service, c.nth, c.error);

    EXPECT_EQ(RunOn("/wait /user:bob cmd"), 0u);

    ASSERT_EQ(SimLogonCalls().size(), 1u);
    const PROCESS_INFORMATION& handed = SimLogonCalls()[0].handedOut;
    std::vector<ServiceCall> expected = {
        {SimService::CloseHandle, handed.hThread},
        {SimService::WaitForSingleObject, handed.hProcess},
        {SimService::CloseHandle, handed.hProcess},
    };
    EXPECT_EQ(HandleCalls(), expected);
    EXPECT_TRUE(SimMessageBoxes().empty());
    ExpectNoFaults();
  }
}

}  // namespace
