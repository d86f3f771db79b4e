// Runs the benchmarks, shows Google Benchmark's own report on stderr, and
// prints the markdown rows on stdout. Exits 1 when a check fails.
#include <iostream>

#include "parse_bench.h"

namespace {

// Keeps every run for the markdown report while the console shows them.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    collected.insert(collected.end(), runs.begin(), runs.end());
    ConsoleReporter::ReportRuns(runs);
  }
  std::vector<Run> collected;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  RegisterParseBenchmarks();

  CollectingReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return ReportParseRuns(reporter.collected) ? 0 : 1;
}
