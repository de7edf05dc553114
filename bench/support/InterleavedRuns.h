// Benchmark programs whose runs are interleaved: the repetitions of all
// their benchmarks run in random order, so that a spell of traffic from the
// neighbours on a shared machine falls on ours and on the reference alike.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

// benchmark::Initialize with interleaving as the default; a flag on the
// command line, which comes after it, still decides.
inline void InitializeInterleaved(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
}
