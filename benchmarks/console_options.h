#ifndef BENCHMARKS_CONSOLE_OPTIONS_H_
#define BENCHMARKS_CONSOLE_OPTIONS_H_

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>

namespace velora {

// Options for our console reporters: colour on a terminal only, so that a
// report redirected to a file stays plain text. (A reporter of our own does
// not see --benchmark_color.)
inline benchmark::ConsoleReporter::OutputOptions ConsoleOptions() {
  return isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_Defaults
                                : benchmark::ConsoleReporter::OO_Tabular;
}

}  // namespace velora

#endif  // BENCHMARKS_CONSOLE_OPTIONS_H_
