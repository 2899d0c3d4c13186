#include "host/log_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace velora {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Narrow here, wide on Windows: one rule for both.
template <typename Char>
void ExpectJoinsWithinTheBuffer() {
  using String = std::basic_string<Char>;
  const auto text = [](const std::string& ascii) { return String(ascii.begin(), ascii.end()); };
  Char out[kLogPathCapacity];
  ASSERT_TRUE(BuildLogPath(text("C:\\Temp\\").c_str(), kRunLogFileName, out));
  EXPECT_EQ(String(out), text("C:\\Temp\\velora_runner.log"));

  // Exactly fits: 259 characters plus the terminator.
  const std::string name(17, 'n');
  String dir(259 - name.size(), Char{'d'});
  ASSERT_TRUE(BuildLogPath(dir.c_str(), name.c_str(), out));
  EXPECT_EQ(String(out).size(), 259u);

  // One more character does not fit; nothing is written into the buffer.
  dir.push_back(Char{'d'});
  std::fill(std::begin(out), std::end(out), Char{'x'});
  EXPECT_FALSE(BuildLogPath(dir.c_str(), name.c_str(), out));
  EXPECT_EQ(out[0], Char{});
  EXPECT_EQ(out[1], Char{'x'});

  // A directory that alone fills the buffer, and names longer than it.
  const String full(260, Char{'d'});
  EXPECT_FALSE(BuildLogPath(full.c_str(), "", out));
  EXPECT_FALSE(BuildLogPath(String().c_str(), std::string(300, 'n').c_str(), out));
  EXPECT_FALSE(BuildLogPath(static_cast<const Char*>(nullptr), kRunLogFileName, out));
}

TEST(LogPathTest, JoinsWithinTheBufferOrDropsTheWholePath) {
  ExpectJoinsWithinTheBuffer<char>();
  ExpectJoinsWithinTheBuffer<wchar_t>();

  // Characters beyond ASCII in the directory are kept as they are (wide:
  // one UTF-16 unit each here).
  wchar_t out[kLogPathCapacity];
  ASSERT_TRUE(BuildLogPath(L"C:\\\u30ed\u30b0\\", kGpuPluginLogFileName, out));
  EXPECT_EQ(std::wstring(out), L"C:\\\u30ed\u30b0\\velora_gpu_texture_plugin.log");
}

// Text mode: the platform's own line end reaches the file.
#ifdef _WIN32
#define EOL "\r\n"
#else
#define EOL "\n"
#endif

TEST(LogLineTest, AppendsOneFormattedLinePerCallAcrossOpens) {
  test::TempDir dir;
  const std::filesystem::path path = dir.folder() / "log.txt";
  AppendLogLine(path.c_str(), 4242, 17, "entering message loop");
  AppendLogLine(path.c_str(), 4294967295ul, 0, nullptr);
  AppendLogLine(path.c_str(), 1, 2, "");
  EXPECT_EQ(ReadFile(path), "[pid=4242 tid=17] entering message loop" EOL
                            "[pid=4294967295 tid=0] (null)" EOL "[pid=1 tid=2] " EOL);
}

TEST(LogLineTest, LineFeedsInsideTheMessageBecomeLineEndsToo) {
  EXPECT_EQ(FormatLogLine(7, 8, "two\nlines\r\n"),
            "[pid=7 tid=8] two" EOL "lines\r" EOL EOL);
  const std::string long_message(5000, 'x');
  EXPECT_EQ(FormatLogLine(1, 2, long_message.c_str()), "[pid=1 tid=2] " + long_message + EOL);
}

TEST(LogLineTest, UnopenablePathIsSilent) {
  test::TempDir dir;
  // A directory cannot be opened for appending; the call must just return.
  AppendLogLine(dir.folder().c_str(), 1, 1, "dropped");
  const std::filesystem::path missing = dir.folder() / "missing" / "sub" / "log.txt";
  AppendLogLine(missing.c_str(), 1, 1, "dropped");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_TRUE(std::filesystem::is_directory(dir.folder()));
}

std::vector<std::string> FileNamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(LogRotationTest, RenamesOnlyAboveTheLimitAndReplacesTheOlderGeneration) {
  test::TempDir dir;
  const std::filesystem::path log = dir.folder() / kRunLogFileName;
  const std::filesystem::path old = dir.folder() / kRunLogOldFileName;
  EXPECT_FALSE(RotateLogFile(log.c_str(), old.c_str(), 0));  // no log yet
  EXPECT_TRUE(FileNamesIn(dir.folder()).empty());

  AppendLogLine(log.c_str(), 1, 2, "first generation");
  const std::string first = ReadFile(log);
  EXPECT_FALSE(RotateLogFile(log.c_str(), old.c_str(), first.size()));  // not larger
  EXPECT_EQ(ReadFile(log), first);
  EXPECT_TRUE(RotateLogFile(log.c_str(), old.c_str(), first.size() - 1));
  EXPECT_EQ(FileNamesIn(dir.folder()), std::vector<std::string>{kRunLogOldFileName});
  EXPECT_EQ(ReadFile(old), first);

  // The next line starts a new log; its rotation replaces the older one.
  AppendLogLine(log.c_str(), 1, 2, "second generation");
  const std::string second = ReadFile(log);
  EXPECT_EQ(second, "[pid=1 tid=2] second generation" EOL);
  EXPECT_TRUE(RotateLogFile(log.c_str(), old.c_str(), 0));
  EXPECT_EQ(ReadFile(old), second);
  AppendLogLine(log.c_str(), 1, 2, "third generation");
  EXPECT_EQ(FileNamesIn(dir.folder()),
            (std::vector<std::string>{kRunLogFileName, kRunLogOldFileName}));
}

// Several start-ups at once each rotate and then write their first line: the
// large log moves exactly once, and the old generation is that log, not a
// fresh one with some first lines in it.
TEST(LogRotationTest, StartUpsAtOnceMoveTheLogOnce) {
  constexpr int kStartUps = 4;
  test::TempDir dir;
  const std::filesystem::path log = dir.folder() / kGpuPluginLogFileName;
  const std::filesystem::path old = dir.folder() / kGpuPluginLogOldFileName;
  const std::string filler(4000, 'f');
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    std::filesystem::remove(log);
    for (int n = 0; n < 8; ++n) {
      AppendLogLine(log.c_str(), 9, static_cast<unsigned long>(round), filler.c_str());
    }
    const std::string large = ReadFile(log);
    std::vector<std::thread> start_ups;
    for (int t = 0; t < kStartUps; ++t) {
      start_ups.emplace_back([&log, &old, t] {
        // Larger than a start-up's first lines, smaller than the log.
        (void)RotateLogFile(log.c_str(), old.c_str(), 1000);
        AppendLogLine(log.c_str(), 1, static_cast<unsigned long>(t), "started");
      });
    }
    for (std::thread& start_up : start_ups) {
      start_up.join();
    }
    ASSERT_EQ(ReadFile(old), large);
    // The new log holds the first lines of all start-ups, in any order.
    std::vector<std::string> expected;
    for (int t = 0; t < kStartUps; ++t) {
      expected.push_back(FormatLogLine(1, static_cast<unsigned long>(t), "started"));
    }
    const std::string fresh = ReadFile(log);
    std::vector<std::string> lines;
    for (size_t at = 0; at < fresh.size();) {
      const size_t end = fresh.find(kLogLineEnd, at);
      const size_t next = end == std::string::npos ? fresh.size() : end + std::strlen(kLogLineEnd);
      lines.push_back(fresh.substr(at, next - at));
      at = next;
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
  }
}

}  // namespace
}  // namespace velora
