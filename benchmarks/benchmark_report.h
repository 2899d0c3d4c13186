// What every benchmark binary here reports beside Google Benchmark's own
// console output: heap allocations per operation, counted while the loop
// runs, and a table of its own made from one row per case.
#ifndef BENCHMARKS_BENCHMARK_REPORT_H_
#define BENCHMARKS_BENCHMARK_REPORT_H_

#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/allocation_counter.h"

namespace velora {

// Sets the per-operation counters the tables read: "allocs/op", and the
// bytes processed when a size per operation is given.
class OperationCounters {
 public:
  explicit OperationCounters(benchmark::State& state) : state_(state) {}

  void Finish();
  void Finish(size_t bytes_per_operation);

 private:
  benchmark::State& state_;
  AllocationCounter allocations_;
};

// The usual console output, then a table printed from the rows. With
// repetitions the median stands for a case; otherwise its one run.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  struct Row {
    double ns = 0;
    double bytes_per_second = 0;
    double allocations = 0;
  };
  using Rows = std::map<std::string, Row>;

  // CPU time suits single-threaded cases on a shared machine; real time is
  // what threads waiting on each other cost.
  enum class Clock { kCpu, kReal };

  TableReporter(Clock clock,
                std::function<std::string(const Run&)> row_name,
                std::function<void(const Rows&)> print_table);

  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  Clock clock_;
  std::function<std::string(const Run&)> row_name_;
  std::function<void(const Rows&)> print_table_;
  Rows rows_;
};

// The row of a case, or an empty one when the case did not run.
TableReporter::Row RowOf(const TableReporter::Rows& rows, const std::string& name);

// Parses the command line, runs every benchmark with `reporter`, and gives
// the process's exit code.
int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter);

}  // namespace velora

#endif  // BENCHMARKS_BENCHMARK_REPORT_H_
