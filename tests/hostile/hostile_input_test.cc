// The hostile-input table through the real executable: every row in one run,
// each answer, the standard-error lines and the log lines as the table
// states them, and a normal end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"
#include "tests/hostile/hostile_table.h"
#include "tests/support/win_test_support.h"
#include "tools/host_process.h"

namespace velora::test {
namespace {

// Lines every run writes to the run log around what the rows add.
const std::vector<std::string> kLifecycleLines = {"entering message loop", "next frame callback",
                                                  "WM_CLOSE received", "WM_DESTROY",
                                                  "message loop exited"};

std::vector<std::string> SplitCrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no line end>");
      break;
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    } else {
      line += "<no CR>";
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<HostileRow> LoadTable() {
  const std::wstring dir = tools::BinaryDir();
  const std::string path = std::string(dir.begin(), dir.end()) + "\\hostile_inputs.txt";
  const std::string text = ReadBinaryFile(path);
  std::string error;
  std::optional<std::vector<HostileRow>> rows = ParseHostileTable(text, &error);
  EXPECT_TRUE(rows.has_value()) << path << ": " << error;
  return rows ? *rows : std::vector<HostileRow>();
}

TEST(HostileInputTest, EveryRowGetsTheAnswerAndLinesTheTableStates) {
  const std::vector<HostileRow> rows = LoadTable();
  ASSERT_GT(rows.size(), 200u);
  std::string scenario;
  std::vector<std::string> expected_stderr;
  std::vector<std::string> expected_run_log;
  std::vector<std::string> expected_gpu_log;
  for (const HostileRow& row : rows) {
    scenario += row.step + "\n";  // scenario line i + 1 is row i
    expected_stderr.insert(expected_stderr.end(), row.stderr_lines.begin(), row.stderr_lines.end());
    expected_run_log.insert(expected_run_log.end(), row.run_log.begin(), row.run_log.end());
    expected_gpu_log.insert(expected_gpu_log.end(), row.gpu_log.begin(), row.gpu_log.end());
  }
  scenario += "window\nclose\n";
  const ScenarioRun run = RunScenario(scenario);
  ASSERT_EQ(run.exit_code, 0) << run.stderr_text.substr(0, 2000);
  ASSERT_EQ(run.LinesStartingWith("scenario-error").size(), 0u);
  // String titles are applied, other kinds leave the title alone: the
  // table's last string title, "Velora", stands at the end.
  const std::string window = run.LinesStartingWith("window ").at(0);
  EXPECT_EQ(window.substr(window.find("title=") + 6), HexOfText("Velora"));

  for (size_t i = 0; i < rows.size(); ++i) {
    const HostileRow& row = rows[i];
    const std::string prefix = "response " + std::to_string(i + 1) + " ";
    const std::vector<std::string> responses = run.LinesStartingWith(prefix);
    ASSERT_EQ(responses.size(), 1u) << "table line " << row.table_line << ": " << row.note;
    const std::string answer = responses[0].substr(prefix.size());
    EXPECT_TRUE(HexMatches(row.answer, answer))
        << "table line " << row.table_line << " (" << row.note << ")\n  expected " << row.answer
        << "\n  got      " << answer;
  }

  EXPECT_EQ(FirstDifference(expected_stderr, SplitCrLfLines(run.stderr_text)), "");

  std::vector<std::string> run_log;
  for (const std::string& line : run.run_log) {
    bool lifecycle = false;
    for (const std::string& known : kLifecycleLines) lifecycle = lifecycle || line == known;
    if (!lifecycle) run_log.push_back(line);
  }
  EXPECT_EQ(FirstDifference(expected_run_log, run_log), "");
  for (const std::string& known : kLifecycleLines) {
    EXPECT_EQ(std::count(run.run_log.begin(), run.run_log.end(), known), 1) << known;
  }
  EXPECT_EQ(FirstDifference(expected_gpu_log, run.gpu_log), "");
}

}  // namespace
}  // namespace velora::test
