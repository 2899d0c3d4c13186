#include "tests/e2e/scenario_harness.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"

namespace velora::test {

namespace {

std::wstring UniqueTempPath(const wchar_t* suffix) {
  static int counter = 0;
  wchar_t dir[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + L"velora_e2e_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(counter++) + suffix;
}

std::string Narrow(const std::wstring& wide) {
  return std::string(wide.begin(), wide.end());  // temp paths here are ASCII
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::string ScenarioRun::Response(int line) const {
  // An empty response is recorded with nothing after the space.
  const std::string prefix = "response " + std::to_string(line) + " ";
  for (const std::string& entry : transcript) {
    if (entry.compare(0, prefix.size(), prefix) == 0) {
      return entry.substr(prefix.size());
    }
  }
  return "<none>";
}

std::vector<std::string> ScenarioRun::LinesStartingWith(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& entry : transcript) {
    if (entry.compare(0, prefix.size(), prefix) == 0) {
      lines.push_back(entry);
    }
  }
  return lines;
}

int ScenarioRun::IndexOf(const std::string& line) const {
  for (size_t i = 0; i < transcript.size(); ++i) {
    if (transcript[i] == line) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

ScenarioProcess::ScenarioProcess(const std::string& scenario,
                                 const std::vector<std::wstring>& environment,
                                 const std::wstring& arguments,
                                 const std::wstring& working_directory)
    : scenario_path_(UniqueTempPath(L".scn")),
      transcript_path_(UniqueTempPath(L".txt")),
      stderr_path_(UniqueTempPath(L".err")) {
  {
    std::ofstream out(Narrow(scenario_path_), std::ios::binary);
    out << scenario;
  }
  std::wstring command =
      L"\"--scenario=" + scenario_path_ + L"\" \"--transcript=" + transcript_path_ + L"\"";
  if (!arguments.empty()) {
    command += L" " + arguments;
  }
  // Process ids are reused across runs: only what this run appends counts.
  run_log_offset_ = ReadBinaryFile(TempFilePath(kRunLogFileName)).size();
  gpu_log_offset_ = ReadBinaryFile(TempFilePath(kGpuPluginLogFileName)).size();
  host_ =
      std::make_unique<tools::HostProcess>(command, environment, stderr_path_, working_directory);
}

ScenarioProcess::~ScenarioProcess() {
  host_.reset();
  DeleteFileW(scenario_path_.c_str());
  DeleteFileW(transcript_path_.c_str());
  DeleteFileW(stderr_path_.c_str());
}

std::vector<std::string> ScenarioProcess::HarnessArguments() const {
  return {"--scenario=" + Narrow(scenario_path_), "--transcript=" + Narrow(transcript_path_)};
}

bool ScenarioProcess::WaitForLine(const std::string& prefix, unsigned long timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  do {
    for (const std::string& line : SplitLines(ReadBinaryFile(Narrow(transcript_path_)))) {
      if (line.compare(0, prefix.size(), prefix) == 0) {
        return true;
      }
    }
    Sleep(20);
  } while (GetTickCount64() < deadline);
  return false;
}

void ScenarioProcess::Kill() {
  if (host_) {
    host_->Terminate(1);
  }
}

ScenarioRun ScenarioProcess::Finish(unsigned long timeout_ms) {
  ScenarioRun run;
  if (!host_ || !host_->started()) {
    return run;
  }
  run.pid = host_->pid();
  run.exit_code = host_->WaitForExit(timeout_ms);
  host_.reset();
  run.transcript = SplitLines(ReadBinaryFile(Narrow(transcript_path_)));
  run.stderr_text = ReadBinaryFile(Narrow(stderr_path_));
  run.run_log = LogLinesOf(kRunLogFileName, run.pid, run_log_offset_);
  run.gpu_log = LogLinesOf(kGpuPluginLogFileName, run.pid, gpu_log_offset_);
  return run;
}

Gate::Gate(const std::string& name)
    : name_(name + "_" + std::to_string(GetCurrentProcessId())),
      event_(CreateEventA(nullptr, TRUE, FALSE, ("Local\\velora_gate_" + name_).c_str())) {}

Gate::~Gate() {
  if (event_ != nullptr) {
    CloseHandle(event_);
  }
}

void Gate::Open() {
  SetEvent(event_);
}

ScenarioRun RunScenario(const std::string& scenario,
                        const std::vector<std::wstring>& environment,
                        const std::wstring& arguments,
                        unsigned long timeout_ms) {
  return ScenarioProcess(scenario, environment, arguments).Finish(timeout_ms);
}

std::string MonitorRecord::RectText() const {
  return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(right) + "," +
         std::to_string(bottom);
}

MonitorRecord ScenarioRun::Monitor() const {
  MonitorRecord record;
  const std::vector<std::string> lines = LinesStartingWith("monitor ");
  record.recorded =
      !lines.empty() &&
      std::sscanf(lines[0].c_str(),
                  "monitor rect=%ld,%ld,%ld,%ld work=%ld,%ld,%ld,%ld dpi=%u maxtrack=%ldx%ld",
                  &record.left, &record.top, &record.right, &record.bottom, &record.work_left,
                  &record.work_top, &record.work_right, &record.work_bottom, &record.dpi,
                  &record.max_track_width, &record.max_track_height) == 11;
  return record;
}

std::string HexOfText(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0xF]);
  }
  return hex;
}

}  // namespace velora::test
