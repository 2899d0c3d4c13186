// Command-line splitting and UTF-8 conversion with the real platform calls.
#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velora {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineWinTest, SplitsAsThePlatformDoesAfterTheProgramName) {
  EXPECT_EQ(ArgumentsFromCommandLine(L"velora.exe"), Args{});
  EXPECT_EQ(ArgumentsFromCommandLine(L"velora.exe a \"\" b"), (Args{"a", "", "b"}));
  EXPECT_EQ(ArgumentsFromCommandLine(L"\"C:\\Program Files\\velora.exe\" \"a b\" c"),
            (Args{"a b", "c"}));
  // Backslashes are literal unless they precede a quote.
  EXPECT_EQ(ArgumentsFromCommandLine(L"x.exe C:\\dir\\ a\\\\\\\"b \"c\\\\\" d\\\\"),
            (Args{"C:\\dir\\", "a\\\"b", "c\\", "d\\\\"}));
  EXPECT_EQ(ArgumentsFromCommandLine(L"x.exe \"unterminated arg"), (Args{"unterminated arg"}));
}

TEST(CommandLineWinTest, ConvertsToExactUtf8AndRejectsBrokenUtf16) {
  EXPECT_EQ(WideToUtf8(nullptr), "");
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf8(L"C:\\M\u00fcsik\\Caf\u00e9 \u2014 \U0001F3AC.mkv"),
            "C:\\M\xC3\xBCsik\\Caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8E\xAC.mkv");
  const wchar_t lone_high[] = {L'a', 0xD83C, L'b', 0};
  EXPECT_EQ(WideToUtf8(lone_high), "");
  const wchar_t lone_low[] = {0xDF2C, 0};
  EXPECT_EQ(WideToUtf8(lone_low), "");
  // A broken argument keeps its place as an empty string.
  std::wstring line = L"x.exe one ";
  line.push_back(static_cast<wchar_t>(0xDC00));
  line += L" three";
  EXPECT_EQ(ArgumentsFromCommandLine(line.c_str()), (Args{"one", "", "three"}));
}

}  // namespace
}  // namespace velora
