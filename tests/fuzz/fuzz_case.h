// One fuzz input, decoded: the argument text, and how the simulated platform
// behaves while the launcher runs on it.
//
// Layout of the input bytes:
//   byte 0      bit 0: code page 932 (else 1252); bits 1-2: number of failed
//               calls (0-3); bits 3-4: number of left-behind errors (0-3);
//               bits 5-7: the last error at start (an index into kFuzzErrors)
//   per failed call, 3 bytes: service (mod 10), call number (1 + mod 32),
//               error: bits 0-2 an index into kFuzzErrors, bit 3 set: the
//               call fails leaving the last error as it was
//   per left-behind error, 2 bytes: service (mod 10), error (index, mod 8)
//   the rest    the argument text, cut at its first zero byte
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/sim/sim_control.h"

// The last-error values a platform call can leave; 0 is among them on
// purpose: a failure reported with error 0 must still not exit 0.
extern const DWORD kFuzzErrors[8];

struct FuzzFailure {
  SimService service;
  int nth;
  bool setsLastError;
  DWORD lastError;  // when it sets one
};

struct FuzzLeftError {
  SimService service;
  DWORD lastError;
};

struct FuzzCase {
  UINT codePage;
  DWORD startingLastError;  // what the start-up left behind
  std::vector<FuzzFailure> failures;
  std::vector<FuzzLeftError> leftErrors;
  std::string text;  // holds no zero byte
};

FuzzCase DecodeFuzzCase(const unsigned char* data, std::size_t size);

// For breach reports: everything needed to replay the case by hand.
std::string DescribeFuzzCase(const FuzzCase& fuzzCase);
