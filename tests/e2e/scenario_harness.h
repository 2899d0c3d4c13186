// Runs the real executable with a scenario for the stand-in's app side and
// collects what it left: the transcript, the run log lines of that process,
// its standard error and its exit code. See README.md beside this file for
// the scenario format.
#ifndef VELORA_TESTS_E2E_SCENARIO_HARNESS_H_
#define VELORA_TESTS_E2E_SCENARIO_HARNESS_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host_process.h"

namespace velora::test {

// A "monitor" step's line: the host's monitor as the host's own process sees
// it (its DPI awareness, not the test's), so that no case assumes a screen.
struct MonitorRecord {
  bool recorded = false;
  long left = 0, top = 0, right = 0, bottom = 0;
  long work_left = 0, work_top = 0, work_right = 0, work_bottom = 0;
  unsigned dpi = 0;  // as the host is given it
  long max_track_width = 0, max_track_height = 0;

  long work_width() const { return work_right - work_left; }
  long work_height() const { return work_bottom - work_top; }
  // "L,T,R,B", as the "window" step writes a rectangle.
  std::string RectText() const;
};

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
  // The first "monitor" step's record.
  MonitorRecord Monitor() const;
};

// A run the test paces: the host starts at construction, the test watches
// its transcript while it runs (and starts other hosts meanwhile), then
// Finish() collects what RunScenario gives.
class ScenarioProcess {
 public:
  ScenarioProcess(const std::string& scenario,
                  const std::vector<std::wstring>& environment = {},
                  const std::wstring& arguments = std::wstring(),
                  const std::wstring& working_directory = std::wstring());
  ~ScenarioProcess();
  ScenarioProcess(const ScenarioProcess&) = delete;
  ScenarioProcess& operator=(const ScenarioProcess&) = delete;

  unsigned long pid() const { return host_ ? host_->pid() : 0; }
  // The two arguments the harness puts first, as the Dart side gets them.
  std::vector<std::string> HarnessArguments() const;
  // Waits until the transcript has a line starting with `prefix`.
  bool WaitForLine(const std::string& prefix, unsigned long timeout_ms = 30000) const;
  // Ends the host at once, as the task manager would.
  void Kill();
  // Waits for the end (exit code -1 after `timeout_ms`) and collects.
  ScenarioRun Finish(unsigned long timeout_ms = 60000);

 private:
  std::wstring scenario_path_;
  std::wstring transcript_path_;
  std::wstring stderr_path_;
  size_t run_log_offset_ = 0;
  size_t gpu_log_offset_ = 0;
  std::unique_ptr<tools::HostProcess> host_;
};

// A gate a scenario waits at ("gate NAME") until the test opens it.
class Gate {
 public:
  // `name` is made unique to this test process.
  explicit Gate(const std::string& name);
  ~Gate();
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  // The scenario step that waits here.
  std::string Step() const { return "gate " + name_; }
  void Open();

 private:
  std::string name_;
  HANDLE event_;
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
