// The option grammar, as tables of argument text -> request or failure.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

enum Flags { kNone = 0, kEnv = 1, kNoProfile = 2, kWait = 4 };

struct Expect {
  LauncherFailure failure;
  // nullptr: the field is absent. UTF-16 so that code page cases can say
  // exactly which characters they expect.
  const char16_t* user;
  const char16_t* domain;
  const char16_t* password;
  const char16_t* command;
  int flags;
};

Expect Fails(LauncherFailure failure) {
  return Expect{failure, nullptr, nullptr, nullptr, nullptr, kNone};
}

struct ParseCase {
  int line;
  UINT codePage;
  const char* args;
  Expect expect;
};

const LauncherFailure kOk = LauncherFailure::None;
const LauncherFailure kArgs = LauncherFailure::InvalidArgs;
const LauncherFailure kUser = LauncherFailure::InvalidUser;
const LauncherFailure kPassword = LauncherFailure::InvalidPassword;
const LauncherFailure kUnterminated = LauncherFailure::UnterminatedPassword;
const LauncherFailure kCommand = LauncherFailure::InvalidCommandText;

const ParseCase kCases[] = {
    // The command: everything after the options, unchanged, possibly empty.
    {__LINE__, 1252, "", {kOk, nullptr, nullptr, nullptr, u"", kNone}},
    {__LINE__, 1252, "    ", {kOk, nullptr, nullptr, nullptr, u"", kNone}},
    {__LINE__, 1252, "notepad.exe", {kOk, nullptr, nullptr, nullptr, u"notepad.exe", kNone}},
    {__LINE__, 1252, "  cmd  /c \"a b\" /wait  ", {kOk, nullptr, nullptr, nullptr, u"cmd  /c \"a b\" /wait  ", kNone}},
    {__LINE__, 1252, "\tcmd", {kOk, nullptr, nullptr, nullptr, u"\tcmd", kNone}},
    {__LINE__, 1252, "/wait  ", {kOk, nullptr, nullptr, nullptr, u"", kWait}},
    {__LINE__, 1252, "/wait    cmd  x  ", {kOk, nullptr, nullptr, nullptr, u"cmd  x  ", kWait}},
    {__LINE__, 1252, "cmd /wait ", {kOk, nullptr, nullptr, nullptr, u"cmd /wait ", kNone}},

    // Switches, in any case and any order, each with its trailing space.
    {__LINE__, 1252, "/noprofile /env /wait cmd", {kOk, nullptr, nullptr, nullptr, u"cmd", kEnv | kNoProfile | kWait}},
    {__LINE__, 1252, "/WAIT /Env /NoProfile cmd", {kOk, nullptr, nullptr, nullptr, u"cmd", kEnv | kNoProfile | kWait}},
    {__LINE__, 1252, "/wait /wait cmd", {kOk, nullptr, nullptr, nullptr, u"cmd", kWait}},
    {__LINE__, 1252, "/wait", Fails(kArgs)},
    {__LINE__, 1252, "/env", Fails(kArgs)},
    {__LINE__, 1252, "/noprofile", Fails(kArgs)},
    {__LINE__, 1252, "/waitcmd", Fails(kArgs)},
    {__LINE__, 1252, "/wait\tcmd", Fails(kArgs)},
    {__LINE__, 1252, "/", Fails(kArgs)},
    {__LINE__, 1252, "/wait /", Fails(kArgs)},
    {__LINE__, 1252, "/help cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user", Fails(kArgs)},
    {__LINE__, 1252, "/wai", Fails(kArgs)},

    // The account: split at the first backslash or at sign.
    {__LINE__, 1252, "/user:corp\\bob /password:x cmd", {kOk, u"bob", u"corp", u"x", u"cmd", kNone}},
    {__LINE__, 1252, "/USER:bob@corp /PASSWORD:x cmd", {kOk, u"bob", u"corp", u"x", u"cmd", kNone}},
    {__LINE__, 1252, "/user:bob cmd", {kOk, u"bob", nullptr, nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:\\bob cmd", {kOk, u"bob", u"", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:corp\\ cmd", {kOk, u"", u"corp", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:@corp cmd", {kOk, u"", u"corp", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:bob@ cmd", {kOk, u"bob", u"", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:a\\b@c cmd", {kOk, u"b@c", u"a", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:a@b\\c cmd", {kOk, u"a", u"b\\c", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:bob", Fails(kArgs)},
    {__LINE__, 1252, "/user:", Fails(kArgs)},
    {__LINE__, 1252, "/user: bob cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user:bob ", {kOk, u"bob", nullptr, nullptr, u"", kNone}},
    // A tab is no separator: the password option joins the user name.
    {__LINE__, 1252, "/user:bob\t/password:x cmd", {kOk, u"bob\t/password:x", nullptr, nullptr, u"cmd", kNone}},

    // Repeated accounts: the user from the last, a domain from the last that
    // named one.
    {__LINE__, 1252, "/user:corp\\old /user:new cmd", {kOk, u"new", u"corp", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:corp\\old /user:other\\new cmd", {kOk, u"new", u"other", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:old@corp /user:new cmd", {kOk, u"new", u"corp", nullptr, u"cmd", kNone}},

    // Quoted account names: quotes group, and are dropped.
    {__LINE__, 1252, "/user:\"PC\\John Smith\" cmd", {kOk, u"John Smith", u"PC", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:PC\\\"John Smith\" cmd", {kOk, u"John Smith", u"PC", nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:\"John Smith\"@corp /password:x cmd", {kOk, u"John Smith", u"corp", u"x", u"cmd", kNone}},
    {__LINE__, 1252, "/user:\"a b\"c\" d\" cmd x", {kOk, u"a bc d", nullptr, nullptr, u"cmd x", kNone}},
    {__LINE__, 1252, "/user:\"\"bob cmd", {kOk, u"bob", nullptr, nullptr, u"cmd", kNone}},
    {__LINE__, 1252, "/user:bob\" cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user:\"John Smith cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user:\"John Smith\"", Fails(kArgs)},
    {__LINE__, 1252, "/user:\"\" cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user:\"\"\"\" cmd", Fails(kArgs)},
    {__LINE__, 1252, "/user:\" \" cmd", {kOk, u" ", nullptr, nullptr, u"cmd", kNone}},

    // The password: to the first space, quotes and all.
    {__LINE__, 1252, "/password:\"a b\" cmd", {kOk, nullptr, nullptr, u"\"a", u"b\" cmd", kNone}},
    {__LINE__, 1252, "/password:x\t/wait cmd", {kOk, nullptr, nullptr, u"x\t/wait", u"cmd", kNone}},
    {__LINE__, 1252, "/password:one /password:two cmd", {kOk, nullptr, nullptr, u"two", u"cmd", kNone}},
    {__LINE__, 1252, "/password:x ", {kOk, nullptr, nullptr, u"x", u"", kNone}},
    {__LINE__, 1252, "/password: cmd", Fails(kPassword)},
    {__LINE__, 1252, "/password:", Fails(kPassword)},
    {__LINE__, 1252, "/password:x", Fails(kUnterminated)},
    {__LINE__, 1252, "/user:bob /password:secret", Fails(kUnterminated)},

    // The first failure in reading order is the one reported.
    {__LINE__, 1252, "/bogus /password: cmd", Fails(kArgs)},
    {__LINE__, 1252, "/password: /bogus cmd", Fails(kPassword)},

    // Western text converts; every byte of 1252 names a character.
    {__LINE__, 1252, "/user:J\xF6rg /password:\x80\x81 caf\xE9", {kOk, u"J\u00F6rg", nullptr, u"\u20AC\u0081", u"caf\u00E9", kNone}},

    // Japanese text: a trail byte 0x5C is part of a character, not a
    // separator; invalid bytes fail the element they are in, and nothing
    // after it is read.
    {__LINE__, 932, "/user:corp\\\x95\x5C /password:\x83\x5C cmd \x82\xA0", {kOk, u"\u8868", u"corp", u"\u30BD", u"cmd \u3042", kNone}},
    {__LINE__, 932, "/user:\x83\x5C@corp cmd", {kOk, u"\u30BD", u"corp", nullptr, u"cmd", kNone}},
    {__LINE__, 932, "/user:\x85\x40 cmd", Fails(kUser)},
    {__LINE__, 932, "/user:bob\x81 cmd", Fails(kUser)},
    {__LINE__, 932, "/user:\x85\x40 /bogus", Fails(kUser)},
    {__LINE__, 932, "/password:\x85\x40 cmd", Fails(kPassword)},
    {__LINE__, 932, "/password:x\x81 /bogus", Fails(kPassword)},
    {__LINE__, 932, "cmd \x85\x40", Fails(kCommand)},
    {__LINE__, 932, "cmd\x81", Fails(kCommand)},
    {__LINE__, 932, "/wait \xFC\xFC", Fails(kCommand)},
};

std::optional<std::u16string> Field(const char16_t* text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(text);
}

class ParseArgumentsTest : public SimFixture {};

TEST_F(ParseArgumentsTest, Table) {
  for (const ParseCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.args);
    SimReset();
    SimSetCodePage(c.codePage);
    std::vector<char> text = ExactText(c.args);
    LaunchRequest request = {};

    LauncherFailure failure = ParseArguments(text.data(), &request);

    EXPECT_EQ(failure, c.expect.failure);
    if (failure == kOk && c.expect.failure == kOk) {
      EXPECT_EQ(WideOrNone(request.user), Field(c.expect.user));
      EXPECT_EQ(WideOrNone(request.domain), Field(c.expect.domain));
      EXPECT_EQ(WideOrNone(request.password), Field(c.expect.password));
      EXPECT_EQ(WideOrNone(request.command), Field(c.expect.command));
      EXPECT_EQ(request.environment != nullptr, (c.expect.flags & kEnv) != 0);
      EXPECT_EQ(request.noProfile, (c.expect.flags & kNoProfile) != 0);
      EXPECT_EQ(request.wait, (c.expect.flags & kWait) != 0);
    }
    ReleaseRequest(&request);
    ExpectNoFaults();
  }
}

// The parser stops at the first malformed element: nothing after it is
// acquired.
TEST_F(ParseArgumentsTest, StopsAcquiringAtTheFirstFailure) {
  SimSetCodePage(932);
  std::vector<char> text = ExactText("/user:\x85\x40 /env /password:x cmd");
  LaunchRequest request = {};

  EXPECT_EQ(ParseArguments(text.data(), &request), kUser);

  EXPECT_EQ(SimCallCount(SimService::GetEnvironmentStrings), 0);
  EXPECT_EQ(SimCallCount(SimService::HeapAlloc), 0);
  EXPECT_EQ(request.userBuffer, nullptr);
  ReleaseRequest(&request);
}

// A repeated /env captures the block again; the request holds the latest.
TEST_F(ParseArgumentsTest, RepeatedEnvCapturesAgain) {
  std::vector<char> text = ExactText("/env /env cmd");
  LaunchRequest request = {};

  ASSERT_EQ(ParseArguments(text.data(), &request), kOk);

  std::vector<const void*> captured;
  for (const SimEvent& event : SimEvents()) {
    if (event.service == SimService::GetEnvironmentStrings) {
      captured.push_back(event.object);
    }
  }
  ASSERT_EQ(captured.size(), 2u);
  EXPECT_NE(captured[0], captured[1]);
  EXPECT_EQ(request.environment, captured[1]);
  ReleaseRequest(&request);
}

// Both parts of a domain\user value lie in the one buffer, which starts with
// the domain; an at-sign value starts with the user.
TEST_F(ParseArgumentsTest, UserBufferIsTheStartOfTheValue) {
  std::vector<char> backslash = ExactText("/user:corp\\bob cmd");
  LaunchRequest request = {};
  ASSERT_EQ(ParseArguments(backslash.data(), &request), kOk);
  EXPECT_EQ(request.userBuffer, request.domain);
  EXPECT_EQ(request.user, request.domain + 5);
  ReleaseRequest(&request);

  std::vector<char> atSign = ExactText("/user:bob@corp cmd");
  ASSERT_EQ(ParseArguments(atSign.data(), &request), kOk);
  EXPECT_EQ(request.userBuffer, request.user);
  EXPECT_EQ(request.domain, request.user + 4);
  ReleaseRequest(&request);
}

// Options are compared through the platform with the user's locale and case
// folding, and never past the end of the text.
TEST_F(ParseArgumentsTest, MatchOption) {
  struct {
    int line;
    const char* text;
    const char* option;
    bool matches;
  } cases[] = {
      {__LINE__, "/wait cmd", "/wait ", true},
      {__LINE__, "/WaIt cmd", "/wait ", true},
      {__LINE__, "/wait", "/wait ", false},
      {__LINE__, "/wai", "/wait ", false},
      {__LINE__, "", "/wait ", false},
      {__LINE__, "/user:x", "/user:", true},
      {__LINE__, "/usEr:", "/user:", true},
      {__LINE__, "/user;", "/user:", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<char> text = ExactText(c.text);
    EXPECT_EQ(MatchOption(text.data(), c.option), c.matches);
  }
}

// Only CSTR_EQUAL counts: a comparison that fails is no match.
TEST_F(ParseArgumentsTest, FailedComparisonMatchesNothing) {
  SimFailCall(SimService::CompareStringA, 1, ERROR_INVALID_PARAMETER);
  std::vector<char> text = ExactText("/wait cmd");
  EXPECT_FALSE(MatchOption(text.data(), "/wait "));
  EXPECT_TRUE(MatchOption(text.data(), "/wait "));
}

}  // namespace
