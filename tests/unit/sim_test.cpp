// The simulated platform itself, where the other tests rely on it: misuse is
// recorded instead of crashing, 932 text converts as Windows converts it, and
// a scripted failure hits exactly the call it names.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

class SimTest : public SimFixture {};

TEST_F(SimTest, HeapLedgerReportsBadFrees) {
  HANDLE heap = GetProcessHeap();
  void* block = HeapAlloc(heap, 0, 16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(SimLiveBlocks().size(), 1u);
  EXPECT_EQ(SimHeapBytesLive(), 16u);

  EXPECT_TRUE(HeapFree(heap, 0, block));
  EXPECT_TRUE(SimFaults().empty());
  EXPECT_TRUE(SimLiveBlocks().empty());

  EXPECT_FALSE(HeapFree(heap, 0, block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SimFaults().size(), 1u);

  int local = 0;
  EXPECT_FALSE(HeapFree(heap, 0, &local));
  EXPECT_EQ(SimFaults().size(), 2u);

  char notEnvironment[] = "A=1\0";
  EXPECT_FALSE(FreeEnvironmentStringsA(notEnvironment));
  EXPECT_EQ(SimFaults().size(), 3u);
  SimReset();
}

TEST_F(SimTest, CloseHandleOfUnknownOrClosedHandleIsAFault) {
  WCHAR command[] = u"cmd";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessWithLogonW(nullptr, nullptr, nullptr, 0, nullptr,
                                      command, 0, nullptr, nullptr, &startup,
                                      &process));
  EXPECT_EQ(SimOpenHandles().size(), 2u);

  EXPECT_TRUE(CloseHandle(process.hThread));
  EXPECT_TRUE(SimFaults().empty());
  EXPECT_FALSE(CloseHandle(process.hThread));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SimFaults().size(), 1u);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x7777)));
  EXPECT_EQ(SimFaults().size(), 2u);

  EXPECT_EQ(SimOpenHandles(), std::vector<HANDLE>{process.hProcess});
  EXPECT_TRUE(CloseHandle(process.hProcess));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE),
            static_cast<DWORD>(WAIT_FAILED));
  EXPECT_EQ(SimFaults().size(), 3u);
  SimReset();
}

const DWORD kConverts = 0;

struct ConvertCase {
  int line;
  UINT codePage;
  const char* text;
  int count;  // bytes, or -1 up to and including the terminator
  DWORD error;  // kConverts, or the error of a failed conversion
  std::u16string units;
};

TEST_F(SimTest, ConversionInTheAnsiCodePage) {
  const ConvertCase cases[] = {
      // Valid pairs, one with the trail byte 0x5C (a backslash when alone).
      {__LINE__, 932, "\x82\xA0", 2, kConverts, u"\u3042"},
      {__LINE__, 932, "\x95\x5C", 2, kConverts, u"\u8868"},
      {__LINE__, 932, "a\\\x83\x5C", 4, kConverts, u"a\\\u30BD"},
      {__LINE__, 932, "\x82\xA0", -1, kConverts, std::u16string(u"\u3042\0", 2)},
      // A lead byte whose pair names no character.
      {__LINE__, 932, "\x85\x40", 2, ERROR_NO_UNICODE_TRANSLATION, u""},
      // A lead byte cut off by the count, or followed by the terminator.
      {__LINE__, 932, "a\x81\x40", 2, ERROR_NO_UNICODE_TRANSLATION, u""},
      {__LINE__, 932, "a\x81\x40", 3, kConverts, u"a\u3000"},
      {__LINE__, 932, "a\x81", -1, ERROR_NO_UNICODE_TRANSLATION, u""},
      // Single bytes that Windows maps without a pair.
      {__LINE__, 932, "\x80", 1, kConverts, u"\u0080"},
      {__LINE__, 932, "\xA0", 1, kConverts, u"\uF8F0"},
      {__LINE__, 932, "\xA1\xDF", 2, kConverts, u"\uFF61\uFF9F"},
      {__LINE__, 932, "\xFD\xFE\xFF", 3, kConverts, u"\uF8F1\uF8F2\uF8F3"},
      // The same bytes in 1252: all single characters.
      {__LINE__, 1252, "\x80\x81\x85\x40", 4, kConverts, u"\u20AC\u0081\u2026@"},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    SimReset();
    SimSetCodePage(c.codePage);
    std::vector<char> text = ExactText(c.text);

    SetLastError(0);
    int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                   c.count, nullptr, 0);
    if (c.error != kConverts) {
      EXPECT_EQ(size, 0);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    ASSERT_EQ(size, static_cast<int>(c.units.size()));
    std::vector<WCHAR> output(static_cast<size_t>(size));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                  c.count, output.data(), size),
              size);
    EXPECT_EQ(std::u16string(output.begin(), output.end()), c.units);
  }
}

TEST_F(SimTest, FailCallHitsExactlyTheNthCall) {
  HANDLE heap = GetProcessHeap();
  SimFailCall(SimService::HeapAlloc, 2, ERROR_NOT_ENOUGH_MEMORY);
  SimFailCall(SimService::HeapFree, 1, 0);

  void* first = HeapAlloc(heap, 0, 4);
  EXPECT_NE(first, nullptr);
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(heap, 0, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  void* third = HeapAlloc(heap, 0, 4);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(SimCallCount(SimService::HeapAlloc), 3);

  // A failure may leave 0 as the last error, as some do on Windows.
  SetLastError(5);
  EXPECT_FALSE(HeapFree(heap, 0, first));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(SimLiveBlocks().size(), 2u);
  EXPECT_TRUE(HeapFree(heap, 0, first));
  EXPECT_TRUE(HeapFree(heap, 0, third));

  std::vector<bool> failed;
  for (const SimEvent& event : EventsOf(SimService::HeapAlloc)) {
    failed.push_back(event.failed);
  }
  EXPECT_EQ(failed, (std::vector<bool>{false, true, false}));
}

}  // namespace
