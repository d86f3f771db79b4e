// Shared by the benchmark's files: the measured shapes of argument text, and
// the report made from the measurements.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

enum class TextShape {
  OptionsAndCommand,  // a few options, then one long command
  RepeatedOptions,    // "/wait " and "/user:a " over and over, then "cmd"
};

const char* ShapeName(TextShape shape);

// Argument text of exactly size bytes in the given shape.
std::string MakeArgumentText(TextShape shape, std::size_t size);

void RegisterParseBenchmarks();

// Prints the markdown rows for the runs and checks them: the time each added
// byte costs within a factor of 2 across the sizes of each shape, heap peak
// within a small multiple of the text. Returns whether every check holds.
bool ReportParseRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs);
