// The hostile-input table through the real executable: every row in one run,
// each answer, the standard-error lines and the log lines as the table
// states them, and a normal end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"
#include "tests/hostile/hostile_table.h"
#include "tests/support/platform_probe.h"
#include "tests/support/win_test_support.h"
#include "tools/host_process.h"

namespace velora::test {
namespace {

// Lines every run writes to the run log around what the rows add.
const std::vector<std::string> kLifecycleLines = {"entering message loop", "next frame callback",
                                                  "WM_CLOSE received", "WM_DESTROY",
                                                  "message loop exited"};

// Ids for the own textures a platform that shares them makes, far above the
// table's own.
constexpr int64_t kFirstOwnTextureId = 9000001;

struct Expected {
  int line = 0;  // scenario line
  std::string answer;
  const HostileRow* row = nullptr;
};

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
  int lines = 0;
  auto add_step = [&](const std::string& step) {
    scenario += step + "\n";
    return ++lines;
  };
  // Each row's scenario line and the answer it must get there; where the
  // platform shares textures, also the disposal of each shared own texture.
  std::vector<Expected> expected;
  std::vector<std::string> expected_stderr;
  std::vector<std::string> expected_run_log;
  std::vector<std::string> expected_gpu_log;
  const bool own_textures_share = PlatformSharesTextures();
  int64_t own_id = kFirstOwnTextureId;
  for (const HostileRow& row : rows) {
    expected_stderr.insert(expected_stderr.end(), row.stderr_lines.begin(), row.stderr_lines.end());
    expected_run_log.insert(expected_run_log.end(), row.run_log.begin(), row.run_log.end());
    // The table's own-texture rows that name a size name one no GPU makes
    // (zero, or above its limit), so they are refused where textures share
    // too.
    const bool default_size = row.step.find("width") == std::string::npos &&
                              row.step.find("height") == std::string::npos;
    if (own_textures_share && row.answer == kOwnTextureRefused && default_size) {
      // Shared under an id of its own, so the ids of the rows after it
      // count on as the table states them; disposed again at once.
      const int64_t id = own_id++;
      add_step("nexttextureid " + std::to_string(id));
      expected.push_back({add_step(row.step), OwnTextureCreatedAnswer(id), &row});
      const std::vector<std::string> log = OwnTextureCreatedLog(id, 1920, 1080);
      expected_gpu_log.insert(expected_gpu_log.end(), log.begin(), log.end());
      expected.push_back({add_step("call velora/gpu_texture dispose {\"textureId\": " +
                                   std::to_string(id) + "}"),
                          "0001", &row});
      continue;
    }
    expected.push_back({add_step(row.step), row.answer, &row});
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

  for (const Expected& want : expected) {
    const HostileRow& row = *want.row;
    const std::string prefix = "response " + std::to_string(want.line) + " ";
    const std::vector<std::string> responses = run.LinesStartingWith(prefix);
    ASSERT_EQ(responses.size(), 1u) << "table line " << row.table_line << ": " << row.note;
    const std::string answer = responses[0].substr(prefix.size());
    EXPECT_TRUE(HexMatches(want.answer, answer))
        << "table line " << row.table_line << " (" << row.note << ")\n  expected " << want.answer
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

// Where the platform shares own textures (not under Wine, so the run there
// never sees them), the patterns the run expects, checked against the bytes
// and lines of a caller's texture, which has the same shape.
TEST(HostileTableTest, OwnTextureSuccessPatternsMatchWhatTheHostSends) {
  // {"sharedHandle": "3", "textureId": 27} and {"sharedHandle": "3221225474", ...}
  const std::string short_handle =
      "000d02070c73686172656448616e646c6507013307097465787475726549640"
      "41b00000000000000";
  const std::string long_handle =
      "000d02070c73686172656448616e646c65070a33323231323235343734070974657874757265"
      "4964041b00000000000000";
  EXPECT_TRUE(HexMatches(OwnTextureCreatedAnswer(27), short_handle));
  EXPECT_TRUE(HexMatches(OwnTextureCreatedAnswer(27), long_handle));
  EXPECT_FALSE(HexMatches(OwnTextureCreatedAnswer(28), short_handle));
  EXPECT_FALSE(HexMatches(OwnTextureCreatedAnswer(27), short_handle + "00"));
  EXPECT_FALSE(HexMatches(OwnTextureCreatedAnswer(27), short_handle.substr(2)));
  EXPECT_FALSE(HexMatches(OwnTextureCreatedAnswer(27), std::string(kOwnTextureRefused)));
  EXPECT_FALSE(HexMatches("0.", "012"));

  const std::vector<std::string> done = {"HandleCreate begin",
                                         "HandleCreate done textureId=27 handle=3221225474 w=64 h=32"};
  EXPECT_EQ(FirstDifference(OwnTextureCreatedLog(27, 64, 32), done), "");
  EXPECT_NE(FirstDifference(OwnTextureCreatedLog(27, 1920, 1080), done), "");
  EXPECT_NE(FirstDifference(OwnTextureCreatedLog(2, 64, 32), done), "");
}

}  // namespace
}  // namespace velora::test
