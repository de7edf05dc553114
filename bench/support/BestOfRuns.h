// How every timed comparison is measured: each figure is the best of a
// number of runs in processor time, as other work on a shared machine only
// ever adds time; and the runs of all the benchmarks of a program are
// interleaved in random order, so that a spell of memory traffic from the
// neighbours falls on ours and on the reference alike (five runs of each
// benchmark in a row once gave one copy 1.45 and the next 0.77).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/support/RecordingReporter.h"

// Makes b report the best of `runs` runs, in milliseconds.
inline benchmark::internal::Benchmark* bestOf(benchmark::internal::Benchmark* b, int runs) {
  return b->Repetitions(runs)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->Unit(benchmark::kMillisecond);
}

// benchmark::Initialize with the runs interleaved; a flag on the command
// line, which comes after, still decides.
inline void initializeInterleaved(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
}

// Keeps the best processor time of every benchmark, in milliseconds, by
// "function/args".
class BestTimes : public RecordingReporter {
 public:
  std::map<std::string, double> times;

  // Prints "ratio NAME VALUE", ours over the reference, when both ran.
  void printRatio(const std::string& name, const std::string& ours, const std::string& reference) const {
    const auto a = times.find(ours), b = times.find(reference);
    if (a == times.end() || b == times.end() || b->second <= 0) return;
    std::printf("ratio %s %.3f\n", name.c_str(), a->second / b->second);
  }

 protected:
  void Record(const Run& run) override {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
      times[NameWithArgs(run)] = run.GetAdjustedCPUTime();
  }
};
