// The benchmark's markdown rows and its checks: parsing stays linear in the
// text, and the heap it needs stays within a small multiple of the text.
#include <algorithm>
#include <cstdio>

#include "parse_bench.h"

namespace {

// The time each added byte costs may vary this much across the sizes of one
// shape.
const double kLinearFactor = 2.0;
// The heap may peak at this many bytes per byte of text: UTF-16 doubles the
// command, and every replaced /user: value stays allocated.
const double kHeapFactor = 4.0;

struct Measure {
  TextShape shape;
  double bytes;
  double nanoseconds;  // per parse: the fastest repetition's mean
  double median;       // per parse: the median repetition's mean
  double heapPeak;
};

bool IsAggregate(const benchmark::BenchmarkReporter::Run& run,
                 const char* name) {
  return run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate &&
         run.aggregate_name == name;
}

const char* Verdict(bool holds) { return holds ? "ok" : "**FAILS**"; }

// What each added byte costs, from each size to the next that is at least
// four times larger (32 KiB and the 32767-byte limit are too close to compare
// this way, so the chain skips one of them). A fixed cost per parse weighs on the time per byte of short texts
// only, and a short text of the first shape is mostly options, so the time per
// byte of the sizes is shown but the check is on these: a cost that grows with
// the text, such as a rescan of the rest at every option, makes them grow.
std::vector<double> GrowthCosts(TextShape shape,
                                const std::vector<Measure>& measures) {
  std::vector<Measure> sizes;
  for (const Measure& measure : measures) {
    if (measure.shape == shape) sizes.push_back(measure);
  }
  std::sort(sizes.begin(), sizes.end(), [](const Measure& a, const Measure& b) {
    return a.bytes < b.bytes;
  });
  std::vector<double> costs;
  std::size_t from = 0;
  for (std::size_t to = 1; to < sizes.size(); ++to) {
    if (sizes[to].bytes < 4 * sizes[from].bytes) continue;
    double cost = (sizes[to].nanoseconds - sizes[from].nanoseconds) /
                  (sizes[to].bytes - sizes[from].bytes);
    std::printf("| ParseArguments, %s: time per added byte, %.0f to %.0f "
                "bytes | %.2f ns/byte | |\n",
                ShapeName(shape), sizes[from].bytes, sizes[to].bytes, cost);
    costs.push_back(cost);
    from = to;
  }
  return costs;
}

}  // namespace

bool ReportParseRuns(
    const std::vector<benchmark::BenchmarkReporter::Run>& runs) {
  std::vector<Measure> measures;
  for (const auto& run : runs) {
    if (run.error_occurred) {
      std::printf("| %s | %s | **FAILS** |\n", run.benchmark_name().c_str(),
                  run.error_message.c_str());
      return false;
    }
    if (!IsAggregate(run, "min")) continue;
    measures.push_back(Measure{
        static_cast<TextShape>(static_cast<int>(run.counters.at("shape"))),
        run.counters.at("text_bytes"), run.GetAdjustedRealTime(), 0,
        run.counters.at("heap_peak")});
  }
  for (const auto& run : runs) {
    if (!IsAggregate(run, "median")) continue;
    for (Measure& measure : measures) {
      if (static_cast<int>(measure.shape) == run.counters.at("shape") &&
          measure.bytes == run.counters.at("text_bytes")) {
        measure.median = run.GetAdjustedRealTime();
      }
    }
  }

  bool holds = !measures.empty();
  for (TextShape shape :
       {TextShape::OptionsAndCommand, TextShape::RepeatedOptions}) {
    double fastest = 0;
    double slowest = 0;
    double heapRatio = 0;
    bool seen = false;
    for (const Measure& measure : measures) {
      if (measure.shape != shape) continue;
      double perByte = measure.nanoseconds / measure.bytes;
      double perText = measure.heapPeak / measure.bytes;
      std::printf("| ParseArguments, %s, %.0f bytes | %.0f ns (median %.0f); "
                  "%.2f ns/byte (%.0f MB/s); heap peak %.0f bytes = %.2f x "
                  "text | |\n",
                  ShapeName(shape), measure.bytes, measure.nanoseconds,
                  measure.median, perByte, 1e3 / perByte, measure.heapPeak,
                  perText);
      fastest = seen ? std::min(fastest, perByte) : perByte;
      slowest = seen ? std::max(slowest, perByte) : perByte;
      heapRatio = std::max(heapRatio, perText);
      seen = true;
    }
    if (!seen) {
      holds = false;
      continue;
    }
    std::printf("| ParseArguments, %s: time per byte, slowest / fastest "
                "size | %.2f | information |\n",
                ShapeName(shape), slowest / fastest);
    std::vector<double> costs = GrowthCosts(shape, measures);
    bool linear = costs.size() >= 2;
    double cheapest = costs.empty() ? 0 : *std::min_element(costs.begin(), costs.end());
    double dearest = costs.empty() ? 0 : *std::max_element(costs.begin(), costs.end());
    linear = linear && cheapest > 0 && dearest <= kLinearFactor * cheapest;
    bool compact = heapRatio <= kHeapFactor;
    std::printf("| ParseArguments, %s: time per added byte, dearest / "
                "cheapest | %.2f (limit %.0f) | %s |\n",
                ShapeName(shape), cheapest > 0 ? dearest / cheapest : 0.0,
                kLinearFactor, Verdict(linear));
    std::printf("| ParseArguments, %s: heap peak per text byte, largest | "
                "%.2f (limit %.0f) | %s |\n",
                ShapeName(shape), heapRatio, kHeapFactor, Verdict(compact));
    holds = holds && linear && compact;
  }
  return holds;
}
