// Narrow text: length, case-insensitive comparison and conversion to UTF-16
// in the simulated ANSI code page, 1252 or 932.
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sim/sim_state.h"

namespace {

const int kNoUnit = -1;

// 1252 differs from Latin-1 only in 0x80-0x9F. Windows maps the five bytes
// that name no character there to the C1 controls, so no byte is invalid.
const char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsLead932(BYTE byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrail932(BYTE byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// The double-byte characters of 932, indexed by lead << 8 | trail, taken
// once from the C library's converter; 0 where a pair names no character.
std::vector<char16_t> BuildPairs932() {
  std::vector<char16_t> pairs(0x10000);
  iconv_t converter = iconv_open("UTF-16LE", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "simulated Win32: the C library has no CP932\n");
    std::abort();
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead932(static_cast<BYTE>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrail932(static_cast<BYTE>(trail))) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      unsigned char out[8];
      char* inCursor = in;
      char* outCursor = reinterpret_cast<char*>(out);
      size_t inLeft = sizeof(in);
      size_t outLeft = sizeof(out);
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
      size_t converted = iconv(converter, &inCursor, &inLeft, &outCursor, &outLeft);
      if (converted == static_cast<size_t>(-1) || sizeof(out) - outLeft != 2) {
        continue;
      }
      pairs[static_cast<size_t>(lead << 8 | trail)] =
          static_cast<char16_t>(out[0] | out[1] << 8);
    }
  }
  iconv_close(converter);
  return pairs;
}

char16_t Pair932(BYTE lead, BYTE trail) {
  static const std::vector<char16_t> pairs = BuildPairs932();
  return pairs[static_cast<size_t>(lead << 8 | trail)];
}

// Decodes one character at text[0..left); returns its unit, or kNoUnit when
// the bytes are not valid, and sets *used to the bytes it takes.
int DecodeCharacter(const BYTE* text, int left, int* used) {
  BYTE byte = text[0];
  *used = 1;
  if (Sim().codePage == 1252) {
    return byte >= 0x80 && byte <= 0x9F ? k1252High[byte - 0x80] : byte;
  }
  if (byte < 0x80) return byte;
  if (byte >= 0xA1 && byte <= 0xDF) return 0xFF61 + (byte - 0xA1);
  // Windows gives these single bytes private-use characters.
  if (byte == 0x80) return 0x0080;
  if (byte == 0xA0) return 0xF8F0;
  if (byte >= 0xFD) return 0xF8F1 + (byte - 0xFD);
  if (left < 2) return kNoUnit;
  *used = 2;
  char16_t unit = Pair932(byte, text[1]);
  return unit != 0 ? unit : kNoUnit;
}

BYTE FoldCase(BYTE byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<BYTE>(byte + 0x20);
  if (Sim().codePage == 1252) {
    if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) {
      return static_cast<BYTE>(byte + 0x20);
    }
    if (byte == 0x8A || byte == 0x8C || byte == 0x8E) {
      return static_cast<BYTE>(byte + 0x10);
    }
    if (byte == 0x9F) return 0xFF;
  }
  return byte;
}

int Measure(LPCSTR text, int count) {
  return count >= 0 ? count : static_cast<int>(std::strlen(text));
}

}  // namespace

int WINAPI lstrlenA(LPCSTR text) {
  return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

BOOL WINAPI IsDBCSLeadByte(BYTE byte) {
  return Sim().codePage == 932 && IsLead932(byte);
}

// Compares character by character; only single-byte characters fold case,
// so a trail byte is never taken for a letter.
int WINAPI CompareStringA(LCID locale, DWORD flags, LPCSTR first,
                          int firstCount, LPCSTR second, int secondCount) {
  if (SimBeginCall(SimService::CompareStringA)) {
    SimLog(SimService::CompareStringA, true, first);
    return 0;
  }
  if (locale != LOCALE_USER_DEFAULT ||
      (flags & ~static_cast<DWORD>(NORM_IGNORECASE)) != 0 ||
      first == nullptr || second == nullptr || firstCount < -1 ||
      secondCount < -1) {
    SimFault("CompareStringA: a parameter the launcher never passes");
    SimLog(SimService::CompareStringA, true, first);
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  SimLog(SimService::CompareStringA, false, first);
  const BYTE* a = reinterpret_cast<const BYTE*>(first);
  const BYTE* b = reinterpret_cast<const BYTE*>(second);
  int aLeft = Measure(first, firstCount);
  int bLeft = Measure(second, secondCount);
  bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
  int result = CSTR_EQUAL;
  while (aLeft > 0 && bLeft > 0) {
    int aWidth = IsDBCSLeadByte(*a) && aLeft > 1 ? 2 : 1;
    int bWidth = IsDBCSLeadByte(*b) && bLeft > 1 ? 2 : 1;
    int aKey = aWidth == 2 ? (a[0] << 8 | a[1]) : ignoreCase ? FoldCase(*a) : *a;
    int bKey = bWidth == 2 ? (b[0] << 8 | b[1]) : ignoreCase ? FoldCase(*b) : *b;
    if (aKey != bKey) {
      result = aKey < bKey ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
      break;
    }
    a += aWidth;
    b += bWidth;
    aLeft -= aWidth;
    bLeft -= bWidth;
  }
  if (result == CSTR_EQUAL && aLeft != bLeft) {
    result = aLeft < bLeft ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  SimEndCall(SimService::CompareStringA);
  return result;
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text,
                               int count, LPWSTR output, int capacity) {
  if (SimBeginCall(SimService::MultiByteToWideChar)) {
    SimLog(SimService::MultiByteToWideChar, true, text);
    return 0;
  }
  // Only what the launcher uses is simulated: the ANSI code page, with
  // invalid bytes reported rather than replaced.
  bool acp = codePage == CP_ACP || codePage == Sim().codePage;
  if (!acp || flags != MB_ERR_INVALID_CHARS || text == nullptr || count == 0 ||
      count < -1 || capacity < 0 || (capacity > 0 && output == nullptr)) {
    SimFault("MultiByteToWideChar: a parameter the launcher never passes");
    SimLog(SimService::MultiByteToWideChar, true, text);
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // With -1 the terminating zero is converted and counted too. As on
  // Windows, a buffer that turns out too small holds what fitted.
  int left = count == -1 ? static_cast<int>(std::strlen(text)) + 1 : count;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
  int units = 0;
  while (left > 0) {
    int used = 0;
    int unit = DecodeCharacter(bytes, left, &used);
    if (unit == kNoUnit) {
      SimLog(SimService::MultiByteToWideChar, true, text);
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    if (capacity != 0) {
      if (units == capacity) {
        SimLog(SimService::MultiByteToWideChar, true, text);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      output[units] = static_cast<char16_t>(unit);
    }
    ++units;
    bytes += used;
    left -= used;
  }
  SimLog(SimService::MultiByteToWideChar, false, text);
  SimEndCall(SimService::MultiByteToWideChar);
  return units;
}
