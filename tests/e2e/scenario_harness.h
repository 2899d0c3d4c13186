// Runs the real executable with a scenario for the stand-in's app side and
// collects what it left: the transcript, the run log lines of that process,
// its standard error and its exit code. See README.md beside this file for
// the scenario format.
#ifndef VELORA_TESTS_E2E_SCENARIO_HARNESS_H_
#define VELORA_TESTS_E2E_SCENARIO_HARNESS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace velora::test {

struct ScenarioRun {
  long exit_code = -1;
  unsigned long pid = 0;
  std::vector<std::string> transcript;
  std::vector<std::string> run_log;
  std::vector<std::string> gpu_log;
  std::string stderr_text;

  // The hex response recorded for the step on scenario line `line`, or
  // "<none>" when no response came.
  std::string Response(int line) const;
  // Transcript lines starting with `prefix`, in order.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
  // Index of the first transcript line equal to `line`, or -1.
  int IndexOf(const std::string& line) const;
};

// `scenario` is the file's text; `environment` adds "NAME=value" entries for
// the stand-ins; `arguments` are passed on the command line after the
// scenario and transcript arguments. A run that takes longer than
// `timeout_ms` counts as failed (exit code -1).
ScenarioRun RunScenario(const std::string& scenario,
                        const std::vector<std::wstring>& environment = {},
                        const std::wstring& arguments = std::wstring(),
                        unsigned long timeout_ms = 60000);

// Hex of a text, as the transcript writes strings.
std::string HexOfText(const std::string& text);

}  // namespace velora::test

#endif  // VELORA_TESTS_E2E_SCENARIO_HARNESS_H_
