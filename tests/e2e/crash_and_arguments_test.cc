// The crash report of a real fault on the platform thread, and the command
// line reaching the engine byte for byte, through the real executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using test::HexOfText;
using test::RunScenario;
using test::ScenarioRun;

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(CrashReportE2eTest, AFaultLeavesOnlyTheLatestReportAndEndsWithoutADialog) {
  const std::string path = test::TempFilePath("velora_crash.txt").string();
  DeleteFileA(path.c_str());
  for (int run_number = 0; run_number < 2; ++run_number) {
    SCOPED_TRACE(run_number);
    if (run_number == 1) {
      // A longer stale report must not survive the next crash.
      std::FILE* stale = std::fopen(path.c_str(), "wb");
      ASSERT_NE(stale, nullptr);
      for (int i = 0; i < 200; ++i)
        std::fputs("STALE LINE\r\n", stale);
      std::fclose(stale);
    }
    const ScenarioRun run = RunScenario("crash\n");
    EXPECT_EQ(static_cast<unsigned long>(run.exit_code), 0xC0000005ul);
    const std::string report = test::ReadBinaryFile(path);
    EXPECT_EQ(report.find("STALE"), std::string::npos);
    const std::vector<std::string> lines = CrLfLines(report);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "EXCEPTION code=0xc0000005 addr=0000000000001000");
    unsigned frames = 0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "STACK frames=%u", &frames), 1) << lines[1];
    EXPECT_GE(frames, 1u);
    EXPECT_LE(frames, 32u);
    ASSERT_EQ(lines.size(), 2u + frames);
    for (unsigned i = 0; i < frames; ++i) {
      const std::string prefix = "  #" + std::to_string(i) + " ";
      const std::string& line = lines[2 + i];
      ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
      const std::string pointer = line.substr(prefix.size());
      EXPECT_EQ(pointer.size(), 16u) << line;
      EXPECT_EQ(pointer.find_first_not_of("0123456789ABCDEF"), std::string::npos) << line;
    }
    // The fault ended the run: no orderly close in the run log.
    for (const std::string& line : run.run_log) {
      EXPECT_NE(line, "message loop exited");
    }
  }
}

TEST(ArgumentsE2eTest, CommandLineArgumentsReachTheEngineAsUtf8) {
  std::wstring arguments = L"a \"\" b \"C:\\Vid\u00e9os\\Caf\u00e9 \u2014 Film.mkv\" x";
  arguments.push_back(static_cast<wchar_t>(0xD800));  // an unpaired surrogate
  arguments += L"y tail\\\\\"quoted\\\"";
  const ScenarioRun run = RunScenario("engine\nclose\n", {}, arguments);
  const std::vector<std::string> engines = run.LinesStartingWith("engine ");
  ASSERT_EQ(engines.size(), 1u);
  const std::string& engine = engines[0];
  const std::string args = engine.substr(engine.find(" args=") + 6);
  std::vector<std::string> hex;
  size_t start = 0;
  while (true) {
    const size_t comma = args.find(',', start);
    hex.push_back(args.substr(start, comma - start));
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  ASSERT_EQ(hex.size(), 2u + 6u) << engine;  // the harness's own two first
  EXPECT_EQ(hex[2], HexOfText("a"));
  EXPECT_EQ(hex[3], "");
  EXPECT_EQ(hex[4], HexOfText("b"));
  EXPECT_EQ(hex[5], HexOfText("C:\\Vid\xC3\xA9os\\Caf\xC3\xA9 \xE2\x80\x94 Film.mkv"));
  EXPECT_EQ(hex[6], "");  // broken UTF-16 keeps its place, empty
  EXPECT_EQ(hex[7], HexOfText("tail\\quoted\""));
  EXPECT_NE(engine.find(" argc=8 argv_null=0 "), std::string::npos);
}

}  // namespace
}  // namespace velora
