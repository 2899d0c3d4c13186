#include "host/crash_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velora {
namespace {

struct Collected {
  std::vector<std::string> lines;
};

void Collect(void* context, const char* line, std::size_t length) {
  static_cast<Collected*>(context)->lines.emplace_back(line, length);
}

TEST(CrashReportTest, HeaderStackCountAndFramesEndInCrLf) {
  void* frames[3] = {reinterpret_cast<void*>(uintptr_t{0x140004a2b}), nullptr,
                     reinterpret_cast<void*>(~uintptr_t{0})};
  Collected out;
  WriteCrashReportLines(0xC0000005u, reinterpret_cast<const void*>(uintptr_t{0x1000}), frames, 3,
                        Collect, &out);
  EXPECT_EQ(out.lines,
            (std::vector<std::string>{"EXCEPTION code=0xc0000005 addr=0000000000001000\r\n",
                                      "STACK frames=3\r\n", "  #0 0000000140004A2B\r\n",
                                      "  #1 0000000000000000\r\n", "  #2 FFFFFFFFFFFFFFFF\r\n"}));
}

TEST(CrashReportTest, NoExceptionRecordAndDeepStacks) {
  Collected empty;
  WriteCrashReportLines(0, nullptr, nullptr, 0, Collect, &empty);
  EXPECT_EQ(empty.lines,
            (std::vector<std::string>{"EXCEPTION code=0x00000000 addr=0000000000000000\r\n",
                                      "STACK frames=0\r\n"}));

  std::vector<void*> deep(40);
  for (size_t i = 0; i < deep.size(); ++i) {
    deep[i] = reinterpret_cast<void*>(uintptr_t{0x1000} + i);
  }
  Collected capped;
  WriteCrashReportLines(0x80000003u, deep[0], deep.data(), deep.size(), Collect, &capped);
  ASSERT_EQ(capped.lines.size(), 2u + 32u);
  EXPECT_EQ(capped.lines[1], "STACK frames=32\r\n");
  EXPECT_EQ(capped.lines.back(), "  #31 000000000000101F\r\n");
}

TEST(CrashReportTest, PathJoinsOnlyWhatFits) {
  wchar_t path[260];
  ASSERT_TRUE(BuildCrashFilePath(L"C:\\Temp\\", kCrashReportFileName, path));
  EXPECT_EQ(std::wstring(path), L"C:\\Temp\\velora_crash.txt");
  ASSERT_TRUE(BuildCrashFilePath(L"", kCrashReportFileName, path));
  EXPECT_EQ(std::wstring(path), L"velora_crash.txt");
  ASSERT_TRUE(BuildCrashFilePath(nullptr, kCrashReportFileName, path));
  ASSERT_TRUE(BuildCrashFilePath(L"C:\\Temp\\", kCrashDumpFileName, path));
  EXPECT_EQ(std::wstring(path), L"C:\\Temp\\velora_crash.dmp");

  // 243 + 16 + terminator = 260 fits; one more does not, and the buffer
  // beyond the first character is left alone.
  std::wstring dir(243, L'd');
  ASSERT_TRUE(BuildCrashFilePath(dir.c_str(), kCrashReportFileName, path));
  EXPECT_EQ(std::wstring(path).size(), 259u);
  dir.push_back(L'd');
  path[1] = L'x';
  EXPECT_FALSE(BuildCrashFilePath(dir.c_str(), kCrashReportFileName, path));
  EXPECT_EQ(path[0], L'\0');
  EXPECT_EQ(path[1], L'x');
  EXPECT_FALSE(BuildCrashFilePath(std::wstring(5000, L'd').c_str(), kCrashDumpFileName, path));
}

}  // namespace
}  // namespace velora
