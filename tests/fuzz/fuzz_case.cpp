#include "fuzz_case.h"

#include <cstdio>

const DWORD kFuzzErrors[8] = {
    0, 5, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER,
    ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION,
    ERROR_LOGON_FAILURE, 0xFFFFFFFF,
};

namespace {

const int kServiceCount = static_cast<int>(SimService::Count);

SimService ServiceFrom(unsigned char byte) {
  return static_cast<SimService>(byte % kServiceCount);
}

DWORD ErrorFrom(unsigned char byte) { return kFuzzErrors[byte % 8]; }

}  // namespace

FuzzCase DecodeFuzzCase(const unsigned char* data, std::size_t size) {
  FuzzCase fuzzCase{};
  fuzzCase.codePage = 1252;
  if (size == 0) return fuzzCase;

  std::size_t at = 1;
  unsigned char settings = data[0];
  if ((settings & 1) != 0) fuzzCase.codePage = 932;
  int failures = (settings >> 1) & 3;
  int leftErrors = (settings >> 3) & 3;
  fuzzCase.startingLastError =
      ErrorFrom(static_cast<unsigned char>(settings >> 5));
  for (int i = 0; i < failures && size - at >= 3; ++i, at += 3) {
    fuzzCase.failures.push_back(
        FuzzFailure{ServiceFrom(data[at]), 1 + data[at + 1] % 32,
                    (data[at + 2] & 8) == 0, ErrorFrom(data[at + 2])});
  }
  for (int i = 0; i < leftErrors && size - at >= 2; ++i, at += 2) {
    fuzzCase.leftErrors.push_back(
        FuzzLeftError{ServiceFrom(data[at]), ErrorFrom(data[at + 1])});
  }
  std::size_t end = at;
  while (end < size && data[end] != 0) ++end;
  fuzzCase.text.assign(reinterpret_cast<const char*>(data + at), end - at);
  return fuzzCase;
}

std::string DescribeFuzzCase(const FuzzCase& fuzzCase) {
  std::string out = "code page " + std::to_string(fuzzCase.codePage) +
                    ", last error " +
                    std::to_string(fuzzCase.startingLastError) + " at start\n";
  for (const FuzzFailure& failure : fuzzCase.failures) {
    out += "call " + std::to_string(failure.nth) + " of " +
           SimServiceName(failure.service) +
           (failure.setsLastError
                ? " fails with error " + std::to_string(failure.lastError)
                : std::string(" fails, keeping the last error")) +
           "\n";
  }
  for (const FuzzLeftError& left : fuzzCase.leftErrors) {
    out += std::string(SimServiceName(left.service)) +
           " leaves error " + std::to_string(left.lastError) +
           " when it succeeds\n";
  }
  out += "argument text \"";
  for (char byte : fuzzCase.text) {
    unsigned char value = static_cast<unsigned char>(byte);
    if (value >= 0x20 && value < 0x7F && value != '\\' && value != '"') {
      out += byte;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", value);
      out += escaped;
    }
  }
  return out + "\"\n";
}
