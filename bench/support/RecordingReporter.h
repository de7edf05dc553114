// The console reporter every benchmark program uses: it prints the usual
// table, tabular and without colour codes (so that the "ratio" lines printed
// after it start their lines whatever the terminal), and hands each run to
// Record, where the program keeps the times it compares.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  RecordingReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) Record(run);
    ConsoleReporter::ReportRuns(runs);
  }

  // "function/args", or the function alone without arguments.
  static std::string NameWithArgs(const Run& run) {
    return run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
  }

 protected:
  virtual void Record(const Run& run) = 0;
};
