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

TEST(ParseUnsignedDecimalTest, ReadsAsTheStandardConversionDoes) {
  const std::vector<std::pair<std::string, std::optional<uint64_t>>> cases = {
      {"77", 77},
      {" 42xyz", 42},
      {"\t\n\v\f\r 007", 7},
      {"+5", 5},
      {"-1", kMax},
      {"-0", 0},
      {"-18446744073709551615", 1},
      {"1e3", 1},
      {"0x10", 0},
      {std::string("5\0"
                   "5",
                   3),
       5},
      {"abc", {}},
      {"", {}},
      {"  ", {}},
      {"-", {}},
      {"+-1", {}},
      {"- 5", {}},
      {std::string("\0"
                   "5",
                   2),
       {}},
      {"-18446744073709551616", {}},
      {"99999999999999999999999", {}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseUnsignedDecimal(text), expected) << "\"" << text << "\"";
  }
  // Around the top of the range, against the C library itself.
  const std::string digits = "184467440737095516159";
  for (size_t length = 1; length <= digits.size(); ++length) {
    const std::string prefix = digits.substr(0, length);
    errno = 0;
    const unsigned long long expected = std::strtoull(prefix.c_str(), nullptr, 10);
    EXPECT_EQ(ParseUnsignedDecimal(prefix),
              errno == ERANGE ? std::nullopt : std::optional<uint64_t>(expected))
        << prefix;
  }
}

TEST(ParseHandleArgumentTest, TakesIntegersAndDecimalTextOnly) {
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int32_t{-1})), kMax);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(std::numeric_limits<int32_t>::min())),
            0xFFFFFFFF80000000ull);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int32_t{0})), 0u);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(int64_t{-2})), kMax - 1);
  EXPECT_EQ(ParseHandleArgument(EncodableValue(" 42xyz")), 42u);
  EXPECT_FALSE(ParseHandleArgument(EncodableValue("abc")));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(77.0)));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(true)));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue()));
  EXPECT_FALSE(ParseHandleArgument(EncodableValue(std::vector<uint8_t>{0x37, 0x37})));
}

TEST(FormatHandleTest, WritesWhatPercentLluWrites) {
  for (uint64_t value :
       {uint64_t{0}, uint64_t{9}, uint64_t{10}, uint64_t{4294967296u}, kMax - 1, kMax}) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRIu64, value);
    EXPECT_EQ(FormatHandle(value), expected);
  }
  EXPECT_EQ(FormatHandle(static_cast<const void*>(nullptr)), "0");
  EXPECT_EQ(FormatHandle(reinterpret_cast<const void*>(uintptr_t{77})), "77");
}

TEST(IntegerArgumentsTest, SizesAreInt32OnlyAndIdsWidenFromInt32) {
  const EncodableValueMap map = {
      {EncodableValue("width"), EncodableValue(int64_t{640})},
      {EncodableValue("height"), EncodableValue(480)},
      {EncodableValue("depth"), EncodableValue(480.0)},
      {EncodableValue("textureId"), EncodableValue(int32_t{-7})},
  };
  EXPECT_FALSE(ReadInt32Argument(map, "width"));
  EXPECT_EQ(ReadInt32Argument(map, "height"), 480);
  EXPECT_FALSE(ReadInt32Argument(map, "depth"));
  EXPECT_FALSE(ReadInt32Argument(map, "missing"));
  EXPECT_EQ(ReadTextureIdArgument(map), -7);
  const auto id_of = [](EncodableValue value) {
    return ReadTextureIdArgument({{EncodableValue("textureId"), std::move(value)}});
  };
  EXPECT_EQ(id_of(EncodableValue(int64_t{1} << 40)), int64_t{1} << 40);
  EXPECT_FALSE(id_of(EncodableValue(1.0)));
  EXPECT_FALSE(id_of(EncodableValue("1")));
  EXPECT_FALSE(ReadTextureIdArgument({{EncodableValue(1), EncodableValue(1)}}));
}

}  // namespace
}  // namespace velora
