#include "messaging/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "small_stack_thread.h"

namespace flutter {
namespace {

using testing::AllocationCounter;
using testing::Ascii;
using testing::Bytes;
using testing::Decode;
using testing::Encode;
using testing::Hex;
using testing::Join;
using testing::StderrCapture;

const char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader";

struct Golden {
  const char* name;
  EncodableValue value;
  Bytes bytes;
};

std::vector<Golden> GoldenValues() {
  return {
      {"null", EncodableValue(), Hex("00")},
      {"true", EncodableValue(true), Hex("01")},
      {"false", EncodableValue(false), Hex("02")},
      {"int32 1", EncodableValue(1), Hex("03 01 00 00 00")},
      {"int64 -1", EncodableValue(int64_t{-1}), Hex("04 FF FF FF FF FF FF FF FF")},
      {"double 1.0", EncodableValue(1.0), Hex("06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F")},
      {"abc", EncodableValue("abc"), Hex("07 03 61 62 63")},
      {"empty string", EncodableValue(""), Hex("07 00")},
      {"int32 list [1]", EncodableValue(std::vector<int32_t>{1}), Hex("09 01 00 00 01 00 00 00")},
      {"empty int32 list", EncodableValue(std::vector<int32_t>{}), Hex("09 00 00 00")},
      {"empty double list", EncodableValue(std::vector<double>{}), Hex("0B 00 00 00 00 00 00 00")},
      {"list [null, true]",
       EncodableValue(EncodableValueList{EncodableValue(), EncodableValue(true)}),
       Hex("0C 02 00 01")},
      {"map {type: null}",
       EncodableValue(EncodableValueMap{{EncodableValue("type"), EncodableValue()}}),
       Hex("0D 01 07 04 74 79 70 65 00")},
      // Beyond the given examples: the remaining kinds and their padding.
      {"uint8 list", EncodableValue(std::vector<uint8_t>{0, 0xFF}), Hex("08 02 00 FF")},
      {"int64 list [2]", EncodableValue(std::vector<int64_t>{2}),
       Hex("0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00")},
      {"float list [1.0]", EncodableValue(std::vector<float>{1.0f}),
       Hex("0E 01 00 00 00 00 80 3F")},
      {"double list [-2.0]", EncodableValue(std::vector<double>{-2.0}),
       Hex("0B 01 00 00 00 00 00 00 00 00 00 00 00 00 00 C0")},
      {"int32 list after two bytes",
       EncodableValue(EncodableValueList{EncodableValue(std::vector<int32_t>{-2})}),
       Hex("0C 01 09 01 FE FF FF FF")},
      {"double after five bytes",
       EncodableValue(EncodableValueList{EncodableValue(true), EncodableValue(0.5)}),
       Hex("0C 02 01 06 00 00 00 00 00 00 00 00 00 00 E0 3F")},
  };
}

TEST(StandardCodecSerializerTest, GoldenValuesInBothDirections) {
  StderrCapture stderr_capture;
  for (const Golden& golden : GoldenValues()) {
    EXPECT_EQ(Encode(golden.value), golden.bytes) << golden.name;
    EXPECT_EQ(Decode(golden.bytes), golden.value) << golden.name;
    // The same message at an odd address, where typed lists cannot be copied
    // as one block.
    const Bytes shifted = Join({Hex("00"), golden.bytes});
    ByteBufferStreamReader reader(shifted.data() + 1, golden.bytes.size());
    EXPECT_EQ(StandardCodecSerializer::Shared().ReadValue(&reader), golden.value) << golden.name;
  }
  EXPECT_TRUE(stderr_capture.Lines().empty());
}

TEST(StandardCodecSerializerTest, SizesUseOneThreeOrFiveBytes) {
  const StandardCodecSerializer& serializer = StandardCodecSerializer::Shared();
  struct {
    size_t size;
    const char* hex;
  } cases[] = {{0, "00"},
               {253, "FD"},
               {254, "FE FE 00"},
               {65535, "FE FF FF"},
               {65536, "FF 00 00 01 00"},
               {4294967295u, "FF FF FF FF FF"}};
  for (const auto& c : cases) {
    Bytes written;
    ByteBufferStreamWriter writer(&written);
    serializer.WriteSize(c.size, &writer);
    EXPECT_EQ(written, Hex(c.hex)) << c.size;
    Bytes bytes = Hex(c.hex);
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(serializer.ReadSize(&reader), c.size);
    EXPECT_EQ(reader.position(), bytes.size());
  }
  // A string's size header switches at the same boundaries.
  std::string text(254, 'x');
  EXPECT_EQ(Encode(EncodableValue(text)), Join({Hex("07 FE FE 00"), Ascii(text)}));
  text.assign(65536, 'y');
  Bytes encoded = Encode(EncodableValue(text));
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 6), Hex("07 FF 00 00 01 00"));
  EXPECT_EQ(Decode(encoded), EncodableValue(text));
}

TEST(StandardCodecSerializerTest, ReadsTheLargeIntegerTagAsAString) {
  EXPECT_EQ(Decode(Join({Hex("05 14"), Ascii("18446744073709551616")})),
            EncodableValue("18446744073709551616"));
}

TEST(StandardCodecSerializerTest, MapsAreWrittenInKeyOrder) {
  EncodableValueMap texture = {
      {EncodableValue("width"), EncodableValue(1)},
      {EncodableValue("height"), EncodableValue(2)},
      {EncodableValue("textureId"), EncodableValue(3)},
      {EncodableValue("sharedHandle"), EncodableValue(4)},
  };
  auto entry = [](const char* key, int value) {
    return Join({Hex("07"), Bytes{static_cast<uint8_t>(std::strlen(key))}, Ascii(key), Hex("03"),
                 Bytes{static_cast<uint8_t>(value), 0, 0, 0}});
  };
  EXPECT_EQ(Encode(EncodableValue(texture)),
            Join({Hex("0D 04"), entry("height", 2), entry("sharedHandle", 4), entry("textureId", 3),
                  entry("width", 1)}));
}

TEST(StandardCodecSerializerTest, MalformedInputIsReportedAndReadAsZerosOrNull) {
  struct {
    const char* name;
    Bytes bytes;
    EncodableValue expected;
    std::vector<std::string> lines;
  } cases[] = {
      {"short int32", Hex("03 01 00"), EncodableValue(0), {kInvalidRead}},
      {"short int64", Hex("04 01 02 03"), EncodableValue(int64_t{0}), {kInvalidRead}},
      {"empty message", Bytes{}, EncodableValue(), {kInvalidRead}},
      {"short double", Hex("06 00 00 00 00 00 00 00 00 00"), EncodableValue(0.0), {kInvalidRead}},
      {"double padding past the end", Hex("06"), EncodableValue(0.0), {kInvalidRead}},
      // Empty typed lists whose padding runs past the end: reading nothing
      // there still fails.
      {"empty int32 list cut in its padding", Hex("09 00"),
       EncodableValue(std::vector<int32_t>{}), {kInvalidRead}},
      {"empty int64 list cut in its padding", Hex("0A 00 00 00"),
       EncodableValue(std::vector<int64_t>{}), {kInvalidRead}},
      {"empty double list cut in its padding", Hex("0B 00 00 00 00 00 00"),
       EncodableValue(std::vector<double>{}), {kInvalidRead}},
      {"empty float list cut in its padding", Hex("0E 00 00"),
       EncodableValue(std::vector<float>{}), {kInvalidRead}},
      {"one-element int32 list cut in its padding", Hex("09 01 00"),
       EncodableValue(std::vector<int32_t>{}), {kInvalidRead}},
      {"empty double list cut in its padding inside a list", Hex("0C 01 0B 00 00"),
       EncodableValue(EncodableValueList{EncodableValue(std::vector<double>{})}), {kInvalidRead}},
      {"unknown tag 15",
       Hex("0F"),
       EncodableValue(),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 15"}},
      {"unknown tag 255",
       Hex("FF 01"),
       EncodableValue(),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 255"}},
      {"short size", Hex("07 FE 05"), EncodableValue(""), {kInvalidRead}},
      {"missing size", Hex("0C"), EncodableValue(EncodableValueList{}), {kInvalidRead}},
      // An unknown tag consumes nothing more: the next element follows it.
      {"unknown tag inside a list",
       Hex("0C 02 10 01"),
       EncodableValue(EncodableValueList{EncodableValue(), EncodableValue(true)}),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 16"}},
      // The first of two equal keys wins.
      {"repeated key",
       Hex("0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00"),
       EncodableValue(EncodableValueMap{{EncodableValue("a"), EncodableValue(1)}}),
       {}},
      // A list whose elements run out stops there.
      {"list running out",
       Hex("0C 03 07 01 61"),
       EncodableValue(EncodableValueList{EncodableValue("a")}),
       {kInvalidRead}},
      {"map running out",
       Hex("0D 02 07 01 61 01 01"),
       EncodableValue(EncodableValueMap{{EncodableValue("a"), EncodableValue(true)}}),
       {kInvalidRead}},
      // Enough bytes for the count, but the last value is missing: null.
      {"map value missing",
       Hex("0D 02 01 02 07 01 61"),
       EncodableValue(EncodableValueMap{{EncodableValue(true), EncodableValue(false)},
                                        {EncodableValue("a"), EncodableValue()}}),
       {kInvalidRead}},
  };
  for (const auto& c : cases) {
    StderrCapture stderr_capture;
    EncodableValue value = Decode(c.bytes);
    EXPECT_EQ(stderr_capture.Lines(), c.lines) << c.name;
    EXPECT_EQ(value, c.expected) << c.name;
  }
}

TEST(StandardCodecSerializerTest, CountsLargerThanTheMessageAllocateNothing) {
  // Each message announces far more than it carries; the smallest possible
  // encoding of that count does not fit in what is left.
  struct {
    const char* name;
    Bytes bytes;
    EncodableValue empty;
  } cases[] = {
      {"string", Hex("07 FF FF FF FF FF 61"), EncodableValue("")},
      {"large integer", Hex("05 FF 00 00 00 40"), EncodableValue("")},
      {"uint8 list", Hex("08 FF FF FF FF FF"), EncodableValue(std::vector<uint8_t>{})},
      {"int32 list", Hex("09 FF FF FF FF 7F 00 00 01 02 03 04"),
       EncodableValue(std::vector<int32_t>{})},
      {"int64 list", Hex("0A FF FF FF FF FF 00 00"), EncodableValue(std::vector<int64_t>{})},
      {"double list", Hex("0B 02 00 00 00 00 00 00 01 02 03 04 05 06 07 08"),
       EncodableValue(std::vector<double>{})},
      {"float list", Hex("0E 02 00 00 01 02 03 04"), EncodableValue(std::vector<float>{})},
      {"list", Hex("0C FF FF FF FF FF 00"), EncodableValue(EncodableValueList{})},
      {"list of exactly one byte too many", Hex("0C 03 00 00"),
       EncodableValue(EncodableValueList{})},
      {"map", Hex("0D FF FF FF FF FF 00"), EncodableValue(EncodableValueMap{})},
      {"map whose entries lack a value", Hex("0D 02 00 00 00"),
       EncodableValue(EncodableValueMap{})},
  };
  // What decoding a message costs in allocations, counted around the decode
  // alone (the result is destroyed outside).
  struct Cost {
    size_t count;
    size_t bytes;
  };
  auto cost_of_decoding = [](const Bytes& bytes, EncodableValue& value) {
    AllocationCounter counter;
    value = Decode(bytes);
    return Cost{counter.count(), counter.bytes()};
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The bound: the same work on the well-formed message of the empty value
    // that results, which is what the library's containers themselves cost
    // (nothing for libstdc++'s, a sentinel node for another's map).
    EncodableValue empty;
    const Cost baseline = cost_of_decoding(Encode(c.empty), empty);
    ASSERT_EQ(empty, c.empty);
    StderrCapture stderr_capture;
    EncodableValue value;
    const Cost cost = cost_of_decoding(c.bytes, value);
    EXPECT_EQ(value, c.empty);
    EXPECT_LE(cost.count, baseline.count);
    EXPECT_LE(cost.bytes, baseline.bytes);
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{kInvalidRead});
  }

  // Counts that exactly fit are still read.
  EXPECT_EQ(Decode(Hex("0E 01 00 00 00 00 80 3F")), EncodableValue(std::vector<float>{1.0f}));
  EXPECT_EQ(Decode(Hex("0D 01 00 00")),
            EncodableValue(EncodableValueMap{{EncodableValue(), EncodableValue()}}));
}

TEST(StandardCodecSerializerTest, HugeAnnouncedListsInsideAMessageStayCheap) {
  // 2,000 nested lists, each announcing as many elements as the message has
  // bytes left. Without per-element checks every level would produce that
  // many nulls and diagnostic lines.
  Bytes message;
  for (int i = 0; i < 2000; ++i) {
    size_t left = (2000 - i) * 3;
    message.push_back(0x0C);
    message.push_back(0xFE);
    message.push_back(static_cast<uint8_t>(left & 0xFF));
    message.push_back(static_cast<uint8_t>(left >> 8));
  }
  StderrCapture stderr_capture;
  size_t allocated = 0;
  {
    AllocationCounter counter;
    EncodableValue value = Decode(message);
    allocated = counter.bytes();
  }
  std::vector<std::string> lines = stderr_capture.Lines();
  // One line for the too-deep value and at most one per level for running out.
  EXPECT_LE(lines.size(), size_t{StandardCodecSerializer::kMaxNestingDepth} + 2);
  EXPECT_LT(allocated, size_t{16} << 20);
}

TEST(StandardCodecSerializerTest, CustomValuesAreWrittenAsNullWithALine) {
  StderrCapture stderr_capture;
  EXPECT_EQ(Encode(EncodableValue(
                EncodableValueList{EncodableValue(CustomValue(3)), EncodableValue(true)})),
            Hex("0C 02 00 01"));
  EXPECT_EQ(
      stderr_capture.Lines(),
      std::vector<std::string>{"Unhandled custom type in StandardCodecSerializer::WriteValue. "
                               "Custom types require codec extensions."});
}

TEST(StandardCodecSerializerTest, SpecialDoublesKeepTheirBits) {
  for (double value :
       {-0.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::denorm_min()}) {
    Bytes bytes = Encode(EncodableValue(std::vector<double>{value}));
    EncodableValue decoded = Decode(bytes);
    const auto& list = std::get<std::vector<double>>(decoded);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::memcmp(&list[0], &value, sizeof(double)), 0);
    EXPECT_EQ(Encode(decoded), bytes);
  }
}

// A serializer for an application type with a tag of its own, to show that
// overrides also see values nested inside lists and maps.
struct Point {
  int32_t x;
  int32_t y;
};

class PointSerializer : public StandardCodecSerializer {
 public:
  static constexpr uint8_t kPointTag = 128;

  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    if (const auto* custom = std::get_if<CustomValue>(&value)) {
      if (const Point* point = custom->TryGet<Point>()) {
        stream->WriteByte(kPointTag);
        stream->WriteBytes(reinterpret_cast<const uint8_t*>(point), sizeof(Point));
        return;
      }
    }
    StandardCodecSerializer::WriteValue(value, stream);
  }

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != kPointTag) {
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    }
    Point point{};
    stream->ReadBytes(reinterpret_cast<uint8_t*>(&point), sizeof(Point));
    return EncodableValue(CustomValue(point));
  }
};

TEST(StandardCodecSerializerTest, DerivedSerializersSeeNestedValues) {
  PointSerializer serializer;
  EncodableValue value(EncodableValueMap{
      {EncodableValue("points"),
       EncodableValue(EncodableValueList{EncodableValue(CustomValue(Point{1, 2})),
                                         EncodableValue(CustomValue(Point{-3, 4}))})},
  });
  Bytes bytes;
  ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  EXPECT_EQ(bytes, Join({Hex("0D 01 07 06"), Ascii("points"), Hex("0C 02"),
                         Hex("80 01 00 00 00 02 00 00 00"), Hex("80 FD FF FF FF 04 00 00 00")}));

  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  EncodableValue decoded = serializer.ReadValue(&reader);
  const auto& points =
      std::get<EncodableValueList>(*FindValue(std::get<EncodableValueMap>(decoded), "points"));
  ASSERT_EQ(points.size(), 2u);
  const Point* second = std::get<CustomValue>(points[1]).TryGet<Point>();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->x, -3);
  EXPECT_EQ(second->y, 4);

  // Custom keys, each its own object, among keys that arrive out of order:
  // every entry stays, and each custom key finds its own.
  const Bytes keyed =
      Join({Hex("0D 06"), Hex("80 01 00 00 00 02 00 00 00 03 01 00 00 00"),
            Hex("07 01 62 03 02 00 00 00"), Hex("80 01 00 00 00 02 00 00 00 03 03 00 00 00"),
            Hex("03 09 00 00 00 03 04 00 00 00"), Hex("07 01 61 03 05 00 00 00"),
            Hex("80 05 00 00 00 06 00 00 00 03 06 00 00 00")});
  ByteBufferStreamReader keyed_reader(keyed.data(), keyed.size());
  const EncodableValue keyed_value = serializer.ReadValue(&keyed_reader);
  const auto& keyed_map = std::get<EncodableValueMap>(keyed_value);
  ASSERT_EQ(keyed_map.size(), 6u);
  std::vector<int32_t> values;
  for (const auto& entry : keyed_map) {
    values.push_back(std::get<int32_t>(entry.second));
    auto found = keyed_map.find(entry.first);
    ASSERT_NE(found, keyed_map.end());
    EXPECT_EQ(&*found, &entry);
  }
  // Kinds order first (int32, string, custom), "a" before "b".
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(std::vector<int32_t>(values.begin(), values.begin() + 3),
            (std::vector<int32_t>{4, 5, 2}));
  std::sort(values.begin() + 3, values.end());
  EXPECT_EQ(std::vector<int32_t>(values.begin() + 3, values.end()),
            (std::vector<int32_t>{1, 3, 6}));
}

// n one-element lists inside one another around a null.
Bytes NestedLists(size_t levels) {
  Bytes bytes;
  for (size_t i = 0; i < levels; ++i) {
    bytes.push_back(0x0C);
    bytes.push_back(0x01);
  }
  bytes.push_back(0x00);
  return bytes;
}

size_t DepthOf(const EncodableValue& value) {
  size_t depth = 1;
  const EncodableValue* current = &value;
  while (const auto* list = std::get_if<EncodableValueList>(current)) {
    if (list->empty()) {
      break;
    }
    current = &list->front();
    ++depth;
  }
  return depth;
}

TEST(StandardCodecSerializerTest, DeepNestingIsBoundedOnASmallStack) {
  constexpr size_t kLimit = StandardCodecSerializer::kMaxNestingDepth;
  const std::string too_deep = "Value nested deeper than " + std::to_string(kLimit) +
                               " levels in StandardCodecSerializer::ReadValue";

  // At the limit everything is read; beyond it the too-deep value is null and
  // the bytes after it are still read in place.
  {
    StderrCapture stderr_capture;
    EXPECT_EQ(DepthOf(Decode(NestedLists(kLimit - 1))), kLimit);
    EXPECT_TRUE(stderr_capture.Lines().empty());
  }
  {
    StderrCapture stderr_capture;
    Bytes message = Join({Hex("0C 02"), NestedLists(kLimit), Hex("07 01 7A")});
    EncodableValue value = Decode(message);
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{too_deep});
    const auto& outer = std::get<EncodableValueList>(value);
    ASSERT_EQ(outer.size(), 2u);
    EXPECT_EQ(DepthOf(outer[0]), kLimit);
    EXPECT_EQ(outer[1], EncodableValue("z"));
  }

  // A million levels on a thread with a 256 KiB stack: one line, no overflow.
  Bytes hostile = NestedLists(1000000);
  std::vector<std::string> lines;
  size_t depth = 0;
  bool finished = testing::RunOnSmallStack(256 * 1024, [&] {
    StderrCapture stderr_capture;
    EncodableValue value = Decode(hostile);
    depth = DepthOf(value);
    lines = stderr_capture.Lines();
  });
  ASSERT_TRUE(finished);
  EXPECT_EQ(depth, kLimit + 1);  // 64 lists around the null that replaced the rest.
  EXPECT_EQ(lines, std::vector<std::string>{too_deep});

  // Maps nest the same way: {null: {null: ...}}.
  Bytes maps;
  for (size_t i = 0; i < 300000; ++i) {
    maps.insert(maps.end(), {0x0D, 0x01, 0x00});
  }
  maps.push_back(0x00);
  finished = testing::RunOnSmallStack(256 * 1024, [&] {
    StderrCapture stderr_capture;
    EncodableValue value = Decode(maps);
    lines = stderr_capture.Lines();
  });
  ASSERT_TRUE(finished);
  // The innermost map read keeps its entry: both the null key and the map value
  // lie one level too deep, and each is reported.
  EXPECT_EQ(lines, std::vector<std::string>(2, too_deep));
}

// Adds a custom value whose body is one nested value, read back through
// ReadValue, to the point of PointSerializer.
class BoxSerializer : public PointSerializer {
 public:
  static constexpr uint8_t kBoxTag = 129;

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != kBoxTag) {
      return PointSerializer::ReadValueOfType(type, stream);
    }
    return EncodableValue(CustomValue(ReadValue(stream)));
  }
};

// {"deep": <`levels` one-element lists around `inner`>, "z": 7}
Bytes DeepThenSibling(size_t levels, const Bytes& inner) {
  Bytes deep = NestedLists(levels);
  deep.pop_back();  // the null at the centre
  return Join({Hex("0D 02 07 04"), Ascii("deep"), deep, inner, Hex("07 01 7A 03 07 00 00 00")});
}

EncodableValue ReadWith(const StandardCodecSerializer& serializer, const Bytes& bytes) {
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return serializer.ReadValue(&reader);
}

TEST(StandardCodecSerializerTest, TooDeepValuesAreSkippedWithTheDerivedSerializersTags) {
  constexpr size_t kLimit = StandardCodecSerializer::kMaxNestingDepth;
  const std::string too_deep = "Value nested deeper than " + std::to_string(kLimit) +
                               " levels in StandardCodecSerializer::ReadValue";
  const BoxSerializer serializer;
  struct {
    const char* name;
    Bytes inner;
  } cases[] = {
      // A body of bytes that would read as tags: 01 is true, 00 null.
      {"point", Hex("80 01 00 00 00 01 00 00 00")},
      // Custom values whose bodies hold further values, lists and custom ones.
      {"box of a list", Join({Hex("81 0C 03 03 01 00 00 00 07 02 61 62"),
                              Hex("80 01 01 01 01 01 01 01 01")})},
      {"boxes in boxes", Hex("81 81 81 0D 01 80 01 01 01 01 01 01 01 01 81 01")},
      {"list of boxes", Hex("0C 02 81 07 01 61 81 08 02 01 01")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture stderr_capture;
    EncodableValue value = ReadWith(serializer, DeepThenSibling(kLimit + 3, c.inner));
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{too_deep});
    const auto& map = std::get<EncodableValueMap>(value);
    ASSERT_EQ(map.size(), 2u);
    ASSERT_NE(FindValue(map, "z"), nullptr);
    EXPECT_EQ(*FindValue(map, "z"), EncodableValue(7));
    ASSERT_NE(FindValue(map, "deep"), nullptr);
    EXPECT_EQ(DepthOf(*FindValue(map, "deep")), kLimit);
  }

  // The same value within the limit is read whole.
  {
    StderrCapture stderr_capture;
    const auto map = std::get<EncodableValueMap>(
        ReadWith(serializer, DeepThenSibling(3, Hex("80 01 00 00 00 01 00 00 00"))));
    EXPECT_TRUE(stderr_capture.Lines().empty());
    ASSERT_NE(FindValue(map, "z"), nullptr);
    EXPECT_EQ(*FindValue(map, "z"), EncodableValue(7));
  }

  // A million boxes inside one another on a 256 KiB stack: bounded, and what
  // cannot be followed ends the message with an invalid read.
  Bytes boxes(1000000, BoxSerializer::kBoxTag);
  boxes.push_back(0x00);
  std::vector<std::string> lines;
  bool finished = testing::RunOnSmallStack(256 * 1024, [&] {
    StderrCapture stderr_capture;
    (void)ReadWith(serializer, boxes);
    lines = stderr_capture.Lines();
  });
  ASSERT_TRUE(finished);
  EXPECT_EQ(lines, (std::vector<std::string>{too_deep, kInvalidRead}));
}

// Uses the list or map the base class reads for tags 12 and 13, as a derived
// serializer that post-processes them does (std::get throws on another kind).
class TallyingSerializer : public BoxSerializer {
 public:
  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    EncodableValue value = BoxSerializer::ReadValueOfType(type, stream);
    if (type == 12) {
      elements_ += std::get<EncodableValueList>(value).size();
    } else if (type == 13) {
      elements_ += std::get<EncodableValueMap>(value).size();
    }
    return value;
  }

 private:
  mutable size_t elements_ = 0;
};

TEST(StandardCodecSerializerTest, SkippedListsAndMapsReachDerivedSerializersAsTheirKind) {
  constexpr size_t kLimit = StandardCodecSerializer::kMaxNestingDepth;
  const std::string too_deep = "Value nested deeper than " + std::to_string(kLimit) +
                               " levels in StandardCodecSerializer::ReadValue";
  const TallyingSerializer serializer;
  const BoxSerializer plain;
  Bytes deep_maps;
  for (size_t i = 0; i < kLimit + 3; ++i) {
    deep_maps.insert(deep_maps.end(), {0x0D, 0x01, 0x00});
  }
  deep_maps.push_back(0x00);
  struct {
    const char* name;
    Bytes message;
    size_t too_deep_lines;
  } cases[] = {
      {"nested lists", NestedLists(kLimit + 1), 1},
      // The innermost map's key and value both lie too deep.
      {"nested maps", deep_maps, 2},
      {"lists and maps in a box", DeepThenSibling(kLimit + 3, Hex("81 0D 01 0C 00 0C 01 0D 00")),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture stderr_capture;
    const Bytes expected = Encode(ReadWith(plain, c.message));
    EncodableValue value;
    EXPECT_NO_THROW(value = ReadWith(serializer, c.message));
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>(2 * c.too_deep_lines, too_deep));
    EXPECT_EQ(Encode(value), expected);
  }
}

// Fails to read its own tag with an exception, as a derived serializer may.
class ThrowingSerializer : public BoxSerializer {
 public:
  static constexpr uint8_t kBrokenTag = 130;

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type == kBrokenTag) {
      throw std::runtime_error("broken value");
    }
    return BoxSerializer::ReadValueOfType(type, stream);
  }
};

TEST(StandardCodecSerializerTest, AnExceptionDuringASkipLeavesLaterDecodesIntact) {
  constexpr size_t kLimit = StandardCodecSerializer::kMaxNestingDepth;
  const std::string too_deep = "Value nested deeper than " + std::to_string(kLimit) +
                               " levels in StandardCodecSerializer::ReadValue";
  const ThrowingSerializer serializer;
  // More throws than skips may nest, from inside a box too.
  for (const Bytes& inner : {Hex("82"), Hex("81 0C 02 03 01 00 00 00 82")}) {
    for (int i = 0; i < 20; ++i) {
      StderrCapture stderr_capture;
      EXPECT_THROW(ReadWith(serializer, DeepThenSibling(kLimit + 3, inner)), std::runtime_error);
    }
  }
  // The next too-deep value on this thread is skipped and reported as usual.
  StderrCapture stderr_capture;
  EncodableValue value = ReadWith(serializer, DeepThenSibling(kLimit + 3, Hex("81 0C 00")));
  EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{too_deep});
  const auto& map = std::get<EncodableValueMap>(value);
  ASSERT_NE(FindValue(map, "z"), nullptr);
  EXPECT_EQ(*FindValue(map, "z"), EncodableValue(7));
}

TEST(ByteBufferStreamTest, ReaderFailsWithoutMovingOrCopying) {
  Bytes bytes = Hex("01 02 03");
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  StderrCapture stderr_capture;
  EXPECT_EQ(reader.ReadByte(), 0x01);
  uint8_t destination[4] = {9, 9, 9, 9};
  reader.ReadBytes(destination, 3);
  EXPECT_EQ(reader.position(), 1u);
  EXPECT_EQ(destination[0], 9);
  reader.ReadBytes(destination, 2);
  EXPECT_EQ(destination[0], 2);
  EXPECT_EQ(destination[1], 3);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(reader.position(), 3u);
  reader.SkipToAlignment(8);  // Past the end: no check here, the next read fails.
  EXPECT_EQ(reader.position(), 8u);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_EQ(reader.ReadInPlace(1), nullptr);
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>(3, kInvalidRead));
}

TEST(ByteBufferStreamTest, WriterPadsWithZerosFromTheVectorStart) {
  Bytes bytes = Hex("AA");
  ByteBufferStreamWriter writer(&bytes);
  writer.PadToAlignment(4);
  writer.WriteBytes(Hex("BB CC").data(), 2);
  writer.PadToAlignment(2);  // Already aligned: nothing added.
  writer.PadToAlignment(8);
  writer.WriteByte(0xDD);
  EXPECT_EQ(bytes, Hex("AA 00 00 00 BB CC 00 00 DD"));
}

}  // namespace
}  // namespace flutter
