#include "benchmark_report.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace velora {

namespace {

// Colour on a terminal only, so that a report redirected to a file stays
// plain text. (A reporter of our own does not see --benchmark_color.)
benchmark::ConsoleReporter::OutputOptions ConsoleOptions() {
  return isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_Defaults
                                : benchmark::ConsoleReporter::OO_Tabular;
}

double CounterValue(const benchmark::BenchmarkReporter::Run& run, const char* name) {
  auto counter = run.counters.find(name);
  return counter != run.counters.end() ? counter->second.value : 0;
}

}  // namespace

void OperationCounters::Finish() {
  state_.counters["allocs/op"] = benchmark::Counter(static_cast<double>(allocations_.count()),
                                                    benchmark::Counter::kAvgIterations);
}

void OperationCounters::Finish(size_t bytes_per_operation) {
  state_.SetBytesProcessed(static_cast<int64_t>(state_.iterations() * bytes_per_operation));
  Finish();
}

TableReporter::TableReporter(Clock clock,
                             std::function<std::string(const Run&)> row_name,
                             std::function<void(const Rows&)> print_table)
    : ConsoleReporter(ConsoleOptions()),
      clock_(clock),
      row_name_(std::move(row_name)),
      print_table_(std::move(print_table)) {}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) {
      continue;
    }
    Row row;
    row.ns = clock_ == Clock::kCpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    row.bytes_per_second = CounterValue(run, "bytes_per_second");
    row.allocations = CounterValue(run, "allocs/op");
    rows_[row_name_(run)] = row;
  }
}

void TableReporter::Finalize() {
  ConsoleReporter::Finalize();
  print_table_(rows_);
  std::fflush(stdout);
}

TableReporter::Row RowOf(const TableReporter::Rows& rows, const std::string& name) {
  auto row = rows.find(name);
  return row != rows.end() ? row->second : TableReporter::Row();
}

int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace velora
