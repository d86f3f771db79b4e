// What a run releases, in which order, and what it leaves: the user buffer,
// the password (zeroed), the command, then the environment block, each only
// when the request holds it; values replaced by a repeated option stay.
#include <gtest/gtest.h>

#include <set>

#include "sim_fixture.h"

namespace {

// The index-th block handed out in the run by HeapAlloc (a converted value,
// in text order) or by GetEnvironmentStrings.
struct Held {
  SimService service;
  int index;
};

Held H(int index) { return Held{SimService::HeapFree, index}; }
Held E(int index) { return Held{SimService::FreeEnvironmentStringsA, index}; }

struct ReleaseCase {
  int line;
  UINT codePage;
  const char* text;
  std::vector<Held> released;  // in this order
  std::vector<Held> live;      // replaced by a repetition: kept
};

const ReleaseCase kCases[] = {
    // Launched: the order is fixed, whatever the order of the options.
    {__LINE__, 1252, "cmd", {H(0)}, {}},
    {__LINE__, 1252, "/env cmd", {H(0), E(0)}, {}},
    {__LINE__, 1252, "/user:bob@corp /password:pw cmd", {H(0), H(1), H(2)}, {}},
    {__LINE__, 1252, "/noprofile /wait /password:pw cmd", {H(0), H(1)}, {}},
    {__LINE__, 1252, "/env /password:pw /user:corp\\bob cmd", {H(1), H(0), H(2), E(0)}, {}},

    // Rejected: whatever was acquired before the failure.
    {__LINE__, 1252, "/user:bob", {}, {}},
    {__LINE__, 1252, "/env /bogus cmd", {E(0)}, {}},
    {__LINE__, 1252, "/env /user:bob /password:pw", {H(0), E(0)}, {}},
    {__LINE__, 1252, "/user:bob /password:pw /bogus cmd", {H(0), H(1)}, {}},
    {__LINE__, 932, "/env /user:bob /password:\x85\x40 cmd", {H(0), E(0)}, {}},
    {__LINE__, 932, "/user:bob /password:pw cmd \x85\x40", {H(0), H(1)}, {}},

    // Repeated: only what the request holds at the end is released.
    {__LINE__, 1252, "/user:corp\\a /user:b /password:p1 /password:p2 /env /env cmd",
     {H(1), H(3), H(4), E(1)}, {H(0), H(2), E(0)}},
    {__LINE__, 1252, "/password:one /password:two /bogus", {H(1)}, {H(0)}},
    {__LINE__, 932, "/user:a /user:\x85\x40 cmd", {H(0)}, {}},
};

const void* Resolve(const Held& held, const std::vector<const void*>& heap,
                    const std::vector<const void*>& environment) {
  const std::vector<const void*>& from =
      held.service == SimService::HeapFree ? heap : environment;
  size_t index = static_cast<size_t>(held.index);
  return index < from.size() ? from[index] : nullptr;
}

std::vector<ServiceCall> Releases() {
  for (const SimEvent& event : SimEvents()) {
    EXPECT_FALSE(event.failed && (event.service == SimService::HeapFree ||
                                  event.service == SimService::FreeEnvironmentStringsA))
        << SimServiceName(event.service);
  }
  return CallsOf({SimService::HeapFree, SimService::FreeEnvironmentStringsA});
}

class ReleaseTest : public SimFixture {};

TEST_F(ReleaseTest, OrderAndWhatStays) {
  for (const ReleaseCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    SimReset();
    SimSetCodePage(c.codePage);

    RunOn(c.text);

    std::vector<const void*> heap = ObjectsOf(SimService::HeapAlloc);
    std::vector<const void*> environment =
        ObjectsOf(SimService::GetEnvironmentStrings);
    std::vector<ServiceCall> expected;
    for (const Held& held : c.released) {
      expected.push_back(ServiceCall{held.service, Resolve(held, heap, environment)});
    }
    EXPECT_EQ(Releases(), expected);

    std::set<const void*> liveHeap, liveEnvironment;
    for (const Held& held : c.live) {
      const void* object = Resolve(held, heap, environment);
      (held.service == SimService::HeapFree ? liveHeap : liveEnvironment)
          .insert(object);
    }
    std::vector<const void*> blocks = LiveBlockPointers();
    std::vector<const void*> environmentBlocks = SimLiveEnvironmentBlocks();
    EXPECT_EQ(std::set<const void*>(blocks.begin(), blocks.end()), liveHeap);
    EXPECT_EQ(std::set<const void*>(environmentBlocks.begin(),
                                    environmentBlocks.end()),
              liveEnvironment);
    ExpectNoFaults();
  }
}

// domain\user: user points into the middle of the buffer; the release goes
// through the buffer's start, where the domain is.
TEST_F(ReleaseTest, UserBufferReleasedThroughItsStart) {
  EXPECT_EQ(RunOn("/user:corp\\bob cmd"), 0u);

  ASSERT_EQ(SimLogonCalls().size(), 1u);
  const SimLogonCall& call = SimLogonCalls()[0];
  EXPECT_EQ(call.usernamePointer, call.domainPointer + 5);
  std::vector<SimEvent> frees = EventsOf(SimService::HeapFree);
  ASSERT_EQ(frees.size(), 2u);
  EXPECT_EQ(frees[0].object, call.domainPointer);
  EXPECT_EQ(frees[1].object, call.commandLinePointer);
}

// The password's bytes are zero when the heap takes the block back, on the
// launch path and on a rejected one.
TEST_F(ReleaseTest, PasswordZeroedBeforeRelease) {
  const struct {
    const char* text;
    size_t passwordAllocation;
  } cases[] = {
      {"/user:bob /password:secret cmd", 1},
      {"/password:secret /user:bob /bogus", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SimReset();
    RunOn(c.text);

    std::vector<const void*> heap = ObjectsOf(SimService::HeapAlloc);
    ASSERT_GT(heap.size(), c.passwordAllocation);
    const void* password = heap[c.passwordAllocation];
    bool found = false;
    for (const SimEvent& event : EventsOf(SimService::HeapFree)) {
      if (event.object != password) continue;
      found = true;
      EXPECT_EQ(event.contents.size(), sizeof(u"secret"));
      EXPECT_TRUE(AllZero(event.contents.data(), event.contents.size()));
    }
    EXPECT_TRUE(found);
    ExpectNoFaults();
  }
}

// A password replaced by a repeated /password: is zeroed by the parse
// itself, and stays allocated (zeroed) after the run.
TEST_F(ReleaseTest, ReplacedPasswordZeroedAtOnceAndKept) {
  std::vector<char> text = ExactText("/password:first /password:second cmd");
  LaunchRequest request = {};
  ASSERT_EQ(ParseArguments(text.data(), &request), LauncherFailure::None);
  EXPECT_EQ(WideOrNone(request.password), Wide("second"));

  std::vector<SimEvent> allocations = EventsOf(SimService::HeapAlloc);
  ASSERT_EQ(allocations.size(), 3u);
  const SimEvent& first = allocations[0];
  EXPECT_EQ(first.size, sizeof(u"first"));
  EXPECT_TRUE(AllZero(static_cast<const unsigned char*>(first.object), first.size));

  EXPECT_EQ(LaunchAsUser(&request), 0u);
  ReleaseRequest(&request);

  std::vector<SimBlock> live = SimLiveBlocks();
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0].block, first.object);
  EXPECT_TRUE(AllZero(static_cast<const unsigned char*>(live[0].block), live[0].size));
}

}  // namespace
