// The fuzzer's entry: one whole run of the launcher per input, on a simulated
// platform scripted by the input, checked against the reference model.
#include <cstdint>
#include <cstring>
#include <memory>

#include "checks.h"
#include "launcher/launcher.h"

namespace {

void StartProcess(const FuzzCase& fuzzCase) {
  SimReset();
  SimSetCodePage(fuzzCase.codePage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzCase fuzzCase = DecodeFuzzCase(data, size);

  // The model converts through the platform, so it runs first, unscripted.
  StartProcess(fuzzCase);
  ModelRun model = ModelRunLauncher(fuzzCase);

  StartProcess(fuzzCase);
  for (const FuzzFailure& failure : fuzzCase.failures) {
    if (failure.setsLastError) {
      SimFailCall(failure.service, failure.nth, failure.lastError);
    } else {
      SimFailCallKeepingLastError(failure.service, failure.nth);
    }
  }
  for (const FuzzLeftError& left : fuzzCase.leftErrors) {
    SimLeaveLastError(left.service, left.lastError);
  }
  // Exactly the text and its terminator, so that AddressSanitizer catches a
  // read past the end.
  std::size_t length = fuzzCase.text.size();
  std::unique_ptr<char[]> argumentText(new char[length + 1]);
  std::memcpy(argumentText.get(), fuzzCase.text.c_str(), length + 1);

  SetLastError(fuzzCase.startingLastError);
  DWORD status = RunLauncher(argumentText.get());

  CheckRun(CheckContext{&fuzzCase, &model, argumentText.get(), status});
  SimReset();
  return 0;
}
