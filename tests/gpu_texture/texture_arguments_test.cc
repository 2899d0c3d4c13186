// Reading "sharedHandle", "width", "height" and "textureId", and the decimal
// text of handles.
#include "gpu_texture/texture_arguments.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace velora {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

TEST(ParseUnsignedDecimalTest, ReadsAsTheStandardConversion) {
  struct Case {
    std::string text;
    std::optional<uint64_t> expected;
  };
  const std::vector<Case> cases = {
      {"77", 77},
      {"0", 0},
      {"007", 7},
      {" 42xyz", 42},
      {"\t\n\v\f\r 9", 9},
      {"+5", 5},
      {"-1", kMax},
      {"-0", 0},
      {"-18446744073709551615", 1},
      {"18446744073709551615", kMax},
      {"1e3", 1},
      {"0x10", 0},
      {"12 34", 12},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"+-1", std::nullopt},
      {"- 5", std::nullopt},
      {"18446744073709551616", std::nullopt},
      {"-18446744073709551616", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {std::string("\0"
                   "5",
                   2),
       std::nullopt},
      {std::string("5\0"
                   "5",
                   3),
       5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseUnsignedDecimal(c.text), c.expected) << "text: \"" << c.text << "\"";
  }
}

TEST(ParseUnsignedDecimalTest, AgreesWithStrtoullOnEveryPrefixOfAWideValue) {
  // Digits read up to the first non-digit: each prefix of this text is a
  // value strtoull gives, until it overflows.
  const std::string text = "184467440737095516159";
  for (size_t length = 1; length <= text.size(); ++length) {
    const std::string prefix = text.substr(0, length);
    errno = 0;
    const unsigned long long expected = std::strtoull(prefix.c_str(), nullptr, 10);
    const bool overflow = errno == ERANGE;
    const std::optional<uint64_t> parsed = ParseUnsignedDecimal(prefix);
    if (overflow) {
      EXPECT_FALSE(parsed.has_value()) << prefix;
    } else {
      EXPECT_EQ(parsed, std::optional<uint64_t>(expected)) << prefix;
    }
  }
}

TEST(ParseHandleArgumentTest, TakesIntegersAndDecimalTextOnly) {
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int32_t{-1})), kMax);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int32_t{0})), 0u);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int32_t{77})), 77u);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(std::numeric_limits<int32_t>::min())),
            0xFFFFFFFF80000000ull);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int64_t{-2})), kMax - 1);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int64_t{0x123456789})), 0x123456789ull);
  EXPECT_EQ(ParseHandleArgument(EncodableValue("77")), 77u);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(" 42xyz")), 42u);
  EXPECT_FALSE(ParseHandleArgument(EncodableValue("abc")));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(77.0)));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(true)));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue()));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(std::vector<uint8_t>{0x37, 0x37})));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(flutter::EncodableValueList{EncodableValue(1)})));
}

TEST(FormatHandleTest, WritesWhatPercentLluWrites) {
  const std::vector<uint64_t> values = {0,           1,           9,           10,       77,
                                        4294967295u, 4294967296u, 0x40000042u, kMax - 1, kMax};
  for (uint64_t value : values) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRIu64, value);
    EXPECT_EQ(FormatHandle(value), expected);
  }
  EXPECT_EQ(FormatHandle(kMax), "18446744073709551615");
  EXPECT_EQ(FormatHandle(static_cast<const void*>(nullptr)), "0");
  EXPECT_EQ(FormatHandle(reinterpret_cast<const void*>(uintptr_t{77})), "77");
}

TEST(IntegerArgumentsTest, SizesAreInt32OnlyAndIdsWidenFromInt32) {
  const EncodableValueMap map = {
      {EncodableValue("width"), EncodableValue(int64_t{640})},
      {EncodableValue("height"), EncodableValue(480)},
      {EncodableValue("depth"), EncodableValue(480.0)},
      {EncodableValue("name"), EncodableValue("640")},
      {EncodableValue("textureId"), EncodableValue(int32_t{-7})},
  };
  EXPECT_FALSE(ReadInt32Argument(map, "width"));  // 64-bit does not count
  EXPECT_EQ(ReadInt32Argument(map, "height"), 480);
  EXPECT_FALSE(ReadInt32Argument(map, "depth"));
  EXPECT_FALSE(ReadInt32Argument(map, "name"));
  EXPECT_FALSE(ReadInt32Argument(map, "missing"));
  EXPECT_EQ(ReadTextureIdArgument(map), -7);

  EXPECT_EQ(
      ReadTextureIdArgument({{EncodableValue("textureId"), EncodableValue(int64_t{1} << 40)}}),
      int64_t{1} << 40);
  EXPECT_FALSE(ReadTextureIdArgument({{EncodableValue("textureId"), EncodableValue(1.0)}}));
  EXPECT_FALSE(ReadTextureIdArgument({{EncodableValue("textureId"), EncodableValue("1")}}));
  EXPECT_FALSE(ReadTextureIdArgument({{EncodableValue(1), EncodableValue(1)}}));
  EXPECT_FALSE(ReadTextureIdArgument({}));
}

}  // namespace
}  // namespace velora
