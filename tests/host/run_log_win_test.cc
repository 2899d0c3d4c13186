// The run log against the real temporary-directory query (under Wine):
// unusable temporary paths drop the line without writing anywhere.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

class TempVariables {
 public:
  explicit TempVariables(const std::string& value) {
    Save("TMP", tmp_);
    Save("TEMP", temp_);
    SetEnvironmentVariableA("TMP", value.c_str());
    SetEnvironmentVariableA("TEMP", value.c_str());
  }
  ~TempVariables() {
    SetEnvironmentVariableA("TMP", tmp_.c_str());
    SetEnvironmentVariableA("TEMP", temp_.c_str());
  }

 private:
  static void Save(const char* name, std::string& out) {
    char buffer[1024] = {};
    GetEnvironmentVariableA(name, buffer, sizeof buffer);
    out = buffer;
  }
  std::string tmp_;
  std::string temp_;
};

TEST(RunLogWinTest, WritesCrLfLinesWithThisProcessAndThread) {
  WriteRunLog("first line");
  WriteRunLog(nullptr);
  WriteGpuPluginLog("gpu line");
  const auto run = test::LogLinesOf(kRunLogFileName, GetCurrentProcessId());
  ASSERT_GE(run.size(), 2u);
  EXPECT_EQ(run[run.size() - 2], "first line");
  EXPECT_EQ(run.back(), "(null)");
  const auto gpu = test::LogLinesOf(kGpuPluginLogFileName, GetCurrentProcessId());
  ASSERT_FALSE(gpu.empty());
  EXPECT_EQ(gpu.back(), "gpu line");

  const std::string content = test::ReadBinaryFile(test::TempFilePath(kRunLogFileName));
  const std::string expected = "[pid=" + std::to_string(GetCurrentProcessId()) +
                               " tid=" + std::to_string(GetCurrentThreadId()) + "] (null)\r\n";
  ASSERT_GE(content.size(), expected.size());
  EXPECT_EQ(content.substr(content.size() - expected.size()), expected);
}

TEST(RunLogWinTest, TemporaryPathsThatDoNotFitDropTheLine) {
  const std::string real_log = test::TempFilePath(kRunLogFileName);
  const std::string before = test::ReadBinaryFile(real_log);

  // A directory that fits on its own but not with the file name, and one
  // longer than the whole buffer.
  for (size_t length : {250u, 259u, 400u}) {
    SCOPED_TRACE(length);
    std::string dir = "C:\\";
    dir.append(length - dir.size() - 1, 'x');
    dir.push_back('\\');
    TempVariables temp(dir);
    WriteRunLog("must not appear");
    WriteGpuPluginLog("must not appear");
  }
  EXPECT_EQ(test::ReadBinaryFile(real_log), before);
  // Nothing landed in the current directory under a cut name either.
  EXPECT_EQ(GetFileAttributesA("velora_runner.log"), INVALID_FILE_ATTRIBUTES);
}

TEST(RunLogWinTest, MissingTemporaryDirectoryDropsTheLine) {
  TempVariables temp("C:\\no\\such\\directory\\");
  WriteRunLog("must not appear");
  EXPECT_EQ(GetFileAttributesA("C:\\no\\such\\directory\\velora_runner.log"),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace velora
