#include "host/log_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace velora {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST(LogPathTest, JoinsWithinTheBufferOrDropsTheWholePath) {
  char out[kLogPathCapacity];
  ASSERT_TRUE(BuildLogPath("C:\\Temp\\", kRunLogFileName, out));
  EXPECT_STREQ(out, "C:\\Temp\\velora_runner.log");

  // Exactly fits: 259 characters plus the terminator.
  const std::string name(17, 'n');
  std::string dir(259 - name.size(), 'd');
  ASSERT_TRUE(BuildLogPath(dir.c_str(), name.c_str(), out));
  EXPECT_EQ(std::string(out).size(), 259u);

  // One more character does not fit; nothing is written into the buffer.
  dir.push_back('d');
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(BuildLogPath(dir.c_str(), name.c_str(), out));
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(out[1], 'x');

  // A directory that alone fills the buffer, and names longer than it.
  const std::string full(260, 'd');
  EXPECT_FALSE(BuildLogPath(full.c_str(), "", out));
  EXPECT_FALSE(BuildLogPath("", std::string(300, 'n').c_str(), out));
  EXPECT_FALSE(BuildLogPath(nullptr, kRunLogFileName, out));
}

// Text mode: the platform's own line end reaches the file.
#ifdef _WIN32
#define EOL "\r\n"
#else
#define EOL "\n"
#endif

TEST(LogLineTest, AppendsOneFormattedLinePerCallAcrossOpens) {
  test::TempDir dir;
  const std::string path = dir.path() + "/log.txt";
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
  AppendLogLine(dir.path().c_str(), 1, 1, "dropped");
  const std::string missing = dir.path() + "/missing/sub/log.txt";
  AppendLogLine(missing.c_str(), 1, 1, "dropped");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

}  // namespace
}  // namespace velora
