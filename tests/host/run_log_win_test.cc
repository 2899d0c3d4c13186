// The run log against the real temporary-directory query (under Wine):
// unusable temporary paths drop the line without writing anywhere.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/log_file.h"
#include "tests/support/temp_dir.h"
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

// The writer program beside this test, started with the environment of this
// process (and so its temporary directory).
HANDLE StartWriter(const std::string& tag, int threads, int lines) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program(self);
  program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"log_append_writer.exe";
  std::wstring command = L"\"" + program + L"\" " + std::wstring(tag.begin(), tag.end()) + L" " +
                         std::to_wstring(threads) + L" " + std::to_wstring(lines);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Threads of this process and two other processes append to one run log at
// once: every line arrives whole, exactly once, with its CR LF.
TEST(RunLogWinTest, ConcurrentWritersInSeveralProcessesLoseNoLine) {
  constexpr int kThreads = 4;
  constexpr int kLines = 3000;
  test::TempDir dir;
  TempVariables temp(dir.path() + "\\");

  std::vector<HANDLE> writers;
  for (const char* tag : {"b", "c"}) {
    HANDLE writer = StartWriter(tag, kThreads, kLines);
    ASSERT_NE(writer, nullptr) << tag;
    writers.push_back(writer);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int n = 0; n < kLines; ++n) {
        const std::string message =
            "writer a thread " + std::to_string(t) + " line " + std::to_string(n);
        WriteRunLog(message.c_str());
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (HANDLE writer : writers) {
    EXPECT_EQ(WaitForSingleObject(writer, 120000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(writer, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(writer);
  }

  const std::string content = test::ReadBinaryFile(dir.path() + "\\" + kRunLogFileName);
  std::map<std::string, int> seen;
  int malformed = 0;
  size_t start = 0;
  while (start < content.size()) {
    const size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      ++malformed;  // a last line without its line end
      break;
    }
    const std::string line = content.substr(start, end - start);
    start = end + 2;
    // "[pid=P tid=T] writer W thread N line M"
    std::istringstream fields(line);
    std::string pid, tid, word, writer, thread_word, line_word;
    int thread = -1, number = -1;
    fields >> pid >> tid >> word >> writer >> thread_word >> thread >> line_word >> number;
    if (pid.rfind("[pid=", 0) != 0 || tid.rfind("tid=", 0) != 0 || tid.back() != ']' ||
        word != "writer" || thread_word != "thread" || line_word != "line" || thread < 0 ||
        number < 0 || !fields.eof() || line.find('\n') != std::string::npos) {
      ++malformed;
      continue;
    }
    ++seen[writer + " " + std::to_string(thread) + " " + std::to_string(number)];
  }
  EXPECT_EQ(malformed, 0);
  int missing = 0;
  int repeated = 0;
  for (const char* writer : {"a", "b", "c"}) {
    for (int t = 0; t < kThreads; ++t) {
      for (int n = 0; n < kLines; ++n) {
        auto found = seen.find(std::string(writer) + " " + std::to_string(t) + " " +
                               std::to_string(n));
        if (found == seen.end()) {
          ++missing;
        } else if (found->second != 1) {
          ++repeated;
        }
      }
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(repeated, 0);
  EXPECT_EQ(seen.size(), static_cast<size_t>(3 * kThreads * kLines));
}

// Another writer holds the lock byte and never lets go (a process stopped in
// a debugger between its lock and unlock): each log still gets its line,
// after a bounded wait, and the caller is not held up for long.
TEST(RunLogWinTest, ALockThatIsNeverReleasedDelaysALineOnlyBriefly) {
  test::TempDir dir;
  TempVariables temp(dir.path() + "\\");
  std::vector<HANDLE> holders;
  OVERLAPPED range = {};
  range.Offset = 0xFFFFFFFFu;
  range.OffsetHigh = 0x7FFFFFFFu;
  for (const char* name : {kRunLogFileName, kGpuPluginLogFileName}) {
    const std::string path = dir.path() + "\\" + name;
    HANDLE holder =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE) << name;
    ASSERT_TRUE(LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range)) << name;
    holders.push_back(holder);
  }
  HANDLE written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread writer([written] {
    WriteRunLog("past a held lock");
    WriteGpuPluginLog("past a held lock too");
    SetEvent(written);
  });
  const DWORD waited = WaitForSingleObject(written, 10000);
  for (HANDLE holder : holders) {
    (void)UnlockFileEx(holder, 0, 1, 0, &range);  // lets a writer that waits for ever finish
    CloseHandle(holder);
  }
  writer.join();
  CloseHandle(written);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the two lines waited more than 10 s for the lock";
  EXPECT_EQ(test::LogLinesOf(kRunLogFileName, GetCurrentProcessId()),
            std::vector<std::string>{"past a held lock"});
  EXPECT_EQ(test::LogLinesOf(kGpuPluginLogFileName, GetCurrentProcessId()),
            std::vector<std::string>{"past a held lock too"});
}

}  // namespace
}  // namespace velora
