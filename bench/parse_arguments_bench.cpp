// ParseArguments on the simulated platform as the argument text grows, from
// 64 bytes to the Windows command-line limit, in two shapes.
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "launcher/launcher.h"
#include "parse_bench.h"
#include "platform/sim/sim_control.h"

namespace {

// The last size is beyond any real command line (32767 characters): the parser
// sets no limit of its own, and a cost that grows faster than the text shows
// far more plainly there.
const std::size_t kSizes[] = {64, 1024, 32 * 1024, 32767, 1024 * 1024};

void MeasureParse(benchmark::State& state, TextShape shape, std::size_t size) {
  std::string text = MakeArgumentText(shape, size);
  std::vector<char> exact(text.c_str(), text.c_str() + text.size() + 1);
  SIZE_T peak = 0;
  for (auto _ : state) {
    // A fresh simulated process and the release stay outside the timing.
    SimReset();
    LaunchRequest request = {};
    auto start = std::chrono::steady_clock::now();
    LauncherFailure failure = ParseArguments(exact.data(), &request);
    auto end = std::chrono::steady_clock::now();
    if (failure != LauncherFailure::None) {
      state.SkipWithError("the argument text was rejected");
      break;
    }
    peak = SimHeapBytesPeak();
    ReleaseRequest(&request);
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  SimReset();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
  state.counters["shape"] = static_cast<double>(shape);
  state.counters["text_bytes"] = static_cast<double>(size);
  state.counters["heap_peak"] = static_cast<double>(peak);
}

}  // namespace

const char* ShapeName(TextShape shape) {
  return shape == TextShape::OptionsAndCommand ? "options + long command"
                                               : "repeated options";
}

std::string MakeArgumentText(TextShape shape, std::size_t size) {
  std::string text;
  if (shape == TextShape::OptionsAndCommand) {
    text = "/user:corp\\bob /password:secret /wait cmd.exe /c ";
    while (text.size() < size) text += "x";
  } else {
    const std::string repeated = "/wait /user:a ";
    const std::string command = "cmd";
    while (text.size() + repeated.size() + command.size() <= size) {
      text += repeated;
    }
    while (text.size() + command.size() < size) text += " ";
    text += command;
  }
  text.resize(size);
  return text;
}

void RegisterParseBenchmarks() {
  for (TextShape shape :
       {TextShape::OptionsAndCommand, TextShape::RepeatedOptions}) {
    for (std::size_t size : kSizes) {
      std::string name = std::string("ParseArguments/") +
                         (shape == TextShape::OptionsAndCommand
                              ? "options_and_command/"
                              : "repeated_options/") +
                         std::to_string(size);
      // The machine is shared: noise only ever adds time, so the fastest
      // repetition is the one compared; the median is shown beside it.
      benchmark::RegisterBenchmark(name.c_str(), MeasureParse, shape, size)
          ->UseManualTime()
          ->Unit(benchmark::kNanosecond)
          ->MinTime(0.2)
          ->Repetitions(10)
          ->ComputeStatistics("min",
                              [](const std::vector<double>& values) {
                                return *std::min_element(values.begin(),
                                                         values.end());
                              })
          ->ReportAggregatesOnly(true);
    }
  }
}
