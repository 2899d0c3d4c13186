#include "tests/e2e/scenario_harness.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"
#include "tools/host_process.h"

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

ScenarioRun RunScenario(const std::string& scenario,
                        const std::vector<std::wstring>& environment,
                        const std::wstring& arguments,
                        unsigned long timeout_ms) {
  const std::wstring scenario_path = UniqueTempPath(L".scn");
  const std::wstring transcript_path = UniqueTempPath(L".txt");
  const std::wstring stderr_path = UniqueTempPath(L".err");
  {
    std::ofstream out(Narrow(scenario_path), std::ios::binary);
    out << scenario;
  }
  std::wstring command =
      L"\"--scenario=" + scenario_path + L"\" \"--transcript=" + transcript_path + L"\"";
  if (!arguments.empty()) {
    command += L" " + arguments;
  }
  // Process ids are reused across runs: only what this run appends counts.
  const size_t run_log_offset = ReadBinaryFile(TempFilePath(kRunLogFileName)).size();
  const size_t gpu_log_offset = ReadBinaryFile(TempFilePath(kGpuPluginLogFileName)).size();
  ScenarioRun run;
  {
    tools::HostProcess host(command, environment, stderr_path);
    if (!host.started()) {
      return run;
    }
    run.pid = host.pid();
    run.exit_code = host.WaitForExit(timeout_ms);
  }
  run.transcript = SplitLines(ReadBinaryFile(Narrow(transcript_path)));
  run.stderr_text = ReadBinaryFile(Narrow(stderr_path));
  run.run_log = LogLinesOf(kRunLogFileName, run.pid, run_log_offset);
  run.gpu_log = LogLinesOf(kGpuPluginLogFileName, run.pid, gpu_log_offset);
  DeleteFileW(scenario_path.c_str());
  DeleteFileW(transcript_path.c_str());
  DeleteFileW(stderr_path.c_str());
  return run;
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
