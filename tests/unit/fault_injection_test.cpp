// Every call that can fail, failed in turn. A clean run of each text counts
// the calls of every service; then each of them is failed alone (leaving a
// non-zero last error, and leaving 0) and the run must still end in exactly
// one outcome, the one this failure calls for, with nothing misused and
// nothing left live but what repeated options replaced.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <strings.h>

#include "sim_fixture.h"

namespace {

struct FaultCase {
  int line;
  UINT codePage;
  const char* text;
  LauncherFailure clean;             // the outcome without injected failures
  std::vector<const char*> options;  // as the parser meets them
};

const LauncherFailure kStarted = LauncherFailure::None;

const FaultCase kCases[] = {
    {__LINE__, 1252, "/noprofile /env /wait /user:corp\\bob /password:pw notepad.exe x",
     kStarted, {"/noprofile ", "/env ", "/wait ", "/user:", "/password:"}},
    {__LINE__, 1252, "/user:old /user:new@corp /password:one /password:two /env /env cmd",
     kStarted, {"/user:", "/user:", "/password:", "/password:", "/env ", "/env "}},
    {__LINE__, 1252, "/env cmd", kStarted, {"/env "}},
    {__LINE__, 1252, "/wait /user:\"PC\\John Smith\" /password:pw cmd",
     kStarted, {"/wait ", "/user:", "/password:"}},
    {__LINE__, 1252, "", kStarted, {}},
    {__LINE__, 932, "/user:corp\\\x95\x5C /password:\x83\x5C cmd \x82\xA0",
     kStarted, {"/user:", "/password:"}},
    {__LINE__, 1252, "/env /user:bob /password:secret",
     LauncherFailure::UnterminatedPassword, {"/env ", "/user:", "/password:"}},
};

DWORD StatusFor(DWORD lastError) {
  return lastError != 0 ? lastError : kFailureStatus;
}

const char* BoxFor(LauncherFailure failure) {
  switch (failure) {
    case LauncherFailure::InvalidUser: return "Invalid User.";
    case LauncherFailure::InvalidPassword: return "Invalid Passowrd.";
    case LauncherFailure::InvalidCommandText: return "Invalid Comand Line Args.";
    default: return "Invalid Command Line Args.";
  }
}

// What a failed conversion of the value at `at` reports: which value it is
// follows from the option in front of it in the text.
LauncherFailure ConversionFailure(const std::vector<char>& text, const void* at) {
  size_t offset = static_cast<size_t>(static_cast<const char*>(at) - text.data());
  auto after = [&](const char* option) {
    size_t length = std::strlen(option);
    return offset >= length &&
           strncasecmp(text.data() + offset - length, option, length) == 0;
  };
  if (after("/user:")) return LauncherFailure::InvalidUser;
  if (after("/password:")) return LauncherFailure::InvalidPassword;
  return LauncherFailure::InvalidCommandText;
}

struct Outcome {
  const char* box;  // nullptr: the launch was tried
  DWORD status;     // 0 only when the launch succeeded
};

// The same outcome as the clean run; a box after a failure reports the
// failure's last error (InvalidArgs excepted).
Outcome Unchanged(const FaultCase& c, DWORD lastError) {
  if (c.clean == kStarted) return Outcome{nullptr, 0};
  if (c.clean == LauncherFailure::InvalidArgs) {
    return Outcome{BoxFor(c.clean), kFailureStatus};
  }
  return Outcome{BoxFor(c.clean), StatusFor(lastError)};
}

// The comparisons of the clean run (counted from 1) that matched an option:
// at each option position the parser compares the options in a fixed order
// and stops at the match, so the match is the first comparison with the
// expected option after the previous match.
std::set<int> MatchingComparisons(const FaultCase& c,
                                  const std::vector<SimEvent>& clean) {
  std::set<int> matching;
  int call = 0;
  for (const SimEvent& event : clean) {
    if (event.service != SimService::CompareStringA) continue;
    ++call;
    if (matching.size() < c.options.size() &&
        std::strcmp(static_cast<const char*>(event.object),
                    c.options[matching.size()]) == 0) {
      matching.insert(call);
    }
  }
  return matching;
}

// The text a conversion reads: the object of the nth call of service, or
// for an allocation that of the size query just before it.
const void* ConvertedText(const std::vector<SimEvent>& clean,
                          SimService service, int nth) {
  const void* text = nullptr;
  int call = 0;
  for (const SimEvent& event : clean) {
    if (event.service == SimService::MultiByteToWideChar) text = event.object;
    if (event.service == service && ++call == nth) {
      return service == SimService::MultiByteToWideChar ? event.object : text;
    }
  }
  return nullptr;
}

Outcome Expected(const FaultCase& c, const std::vector<char>& text,
                 const std::vector<SimEvent>& clean, SimService service,
                 int nth, DWORD error) {
  switch (service) {
    case SimService::CompareStringA:
      if (MatchingComparisons(c, clean).count(nth) != 0) {
        return Outcome{BoxFor(LauncherFailure::InvalidArgs), kFailureStatus};
      }
      return Unchanged(c, error);
    case SimService::MultiByteToWideChar:
    case SimService::HeapAlloc:
      return Outcome{BoxFor(ConversionFailure(text, ConvertedText(clean, service, nth))),
                     StatusFor(error)};
    case SimService::CreateProcessWithLogonW:
      return Outcome{nullptr, StatusFor(error)};
    case SimService::CloseHandle:
    case SimService::WaitForSingleObject:
      return Outcome{nullptr, 0};
    case SimService::HeapFree:
    case SimService::FreeEnvironmentStringsA:
      // Releases come after the status is settled.
      return Unchanged(c, 0);
    default:  // GetEnvironmentStrings, MessageBoxA
      return Unchanged(c, error);
  }
}

// From this run's events: the heap and environment blocks that may still be
// live, namely those replaced by a later /user:, /password: or /env, and
// those whose release was made to fail. Replaced passwords must be zero.
void ExpectOnlyReplacedLive(const std::vector<char>& text) {
  std::vector<const void*> users, passwords, captures;
  std::set<const void*> heap, environment;
  const void* allocated = nullptr;
  const void* held = nullptr;
  for (const SimEvent& event : SimEvents()) {
    switch (event.service) {
      case SimService::HeapAlloc:
        allocated = event.failed ? nullptr : event.object;
        break;
      case SimService::MultiByteToWideChar:
        // The second call of a conversion fills the block just allocated.
        if (allocated != nullptr && !event.failed) {
          LauncherFailure kind = ConversionFailure(text, event.object);
          if (kind == LauncherFailure::InvalidUser) users.push_back(allocated);
          if (kind == LauncherFailure::InvalidPassword) passwords.push_back(allocated);
        }
        allocated = nullptr;
        break;
      case SimService::GetEnvironmentStrings:
        held = event.failed ? nullptr : event.object;
        if (!event.failed) captures.push_back(event.object);
        break;
      case SimService::HeapFree:
        if (event.failed) heap.insert(event.object);
        break;
      case SimService::FreeEnvironmentStringsA:
        if (event.failed) environment.insert(event.object);
        break;
      default:
        break;
    }
  }
  for (size_t i = 0; i + 1 < users.size(); ++i) heap.insert(users[i]);
  for (size_t i = 0; i + 1 < passwords.size(); ++i) heap.insert(passwords[i]);
  for (const void* capture : captures) {
    if (capture != held) environment.insert(capture);
  }

  std::vector<const void*> liveHeap = LiveBlockPointers();
  std::vector<const void*> liveEnvironment = SimLiveEnvironmentBlocks();
  EXPECT_EQ(std::set<const void*>(liveHeap.begin(), liveHeap.end()), heap);
  EXPECT_EQ(std::set<const void*>(liveEnvironment.begin(), liveEnvironment.end()),
            environment);
  for (const SimBlock& block : SimLiveBlocks()) {
    for (size_t i = 0; i + 1 < passwords.size(); ++i) {
      if (block.block != passwords[i]) continue;
      EXPECT_TRUE(AllZero(static_cast<const unsigned char*>(block.block), block.size));
    }
  }
}

// Runs the text and checks what every run must show: one outcome, the
// expected one, the right environment handed on, and a clean ledger.
void RunAndCheck(const std::vector<char>& text, const Outcome& expected) {
  DWORD status = RunLauncher(text.data());

  EXPECT_EQ(status, expected.status);
  if (expected.box != nullptr) {
    EXPECT_NE(status, 0u);
    ASSERT_EQ(SimMessageBoxes().size(), 1u);
    EXPECT_EQ(SimMessageBoxes()[0].text, expected.box);
    EXPECT_TRUE(SimLogonCalls().empty());
  } else {
    EXPECT_TRUE(SimMessageBoxes().empty());
    ASSERT_EQ(SimLogonCalls().size(), 1u);
    const SimLogonCall& call = SimLogonCalls()[0];
    EXPECT_EQ(call.succeeded, status == 0);
    // The block of the last capture, or none when that capture failed.
    std::vector<SimEvent> captures = EventsOf(SimService::GetEnvironmentStrings);
    EXPECT_EQ(call.environment, captures.empty() ? nullptr : captures.back().object);
    if (!call.succeeded) {
      EXPECT_NE(status, 0u);
      EXPECT_TRUE(EventsOf(SimService::CloseHandle).empty());
      EXPECT_TRUE(EventsOf(SimService::WaitForSingleObject).empty());
    }
  }
  ExpectOnlyReplacedLive(text);
  ExpectNoFaults();
}

class FaultInjectionTest : public SimFixture {};

TEST_F(FaultInjectionTest, EveryCallFailedInTurn) {
  for (const FaultCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    // One buffer for all runs of the text, so that the clean run's pointers
    // into it identify the same bytes in every later run.
    const std::vector<char> text = ExactText(c.text);
    SimReset();
    SimSetCodePage(c.codePage);
    {
      SCOPED_TRACE("clean run");
      RunAndCheck(text, Unchanged(c, 0));
    }
    const std::vector<SimEvent> clean = SimEvents();
    ASSERT_EQ(MatchingComparisons(c, clean).size(), c.options.size());
    int counts[static_cast<int>(SimService::Count)];
    for (int s = 0; s < static_cast<int>(SimService::Count); ++s) {
      counts[s] = SimCallCount(static_cast<SimService>(s));
    }

    for (int s = 0; s < static_cast<int>(SimService::Count); ++s) {
      SimService service = static_cast<SimService>(s);
      for (int nth = 1; nth <= counts[s]; ++nth) {
        for (DWORD error : {DWORD{ERROR_NOT_ENOUGH_MEMORY}, DWORD{0}}) {
          SCOPED_TRACE(testing::Message() << SimServiceName(service) << " #"
                                          << nth << " fails, error " << error);
          SimReset();
          SimSetCodePage(c.codePage);
          SimFailCall(service, nth, error);
          RunAndCheck(text, Expected(c, text, clean, service, nth, error));
        }
      }
    }
  }
}

}  // namespace
