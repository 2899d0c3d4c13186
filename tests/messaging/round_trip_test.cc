// Randomly generated values of every encodable kind must survive encoding,
// decoding and encoding again byte for byte.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "messaging/standard_codec_serializer.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::Decode;
using testing::Encode;
using testing::StderrCapture;

// std::mt19937's output is fixed by the standard, unlike the standard
// distributions, so a seed means the same values on every platform.
class Generator {
 public:
  explicit Generator(uint32_t seed) : engine_(seed) {}

  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  uint64_t Bits64() { return (uint64_t{engine_()} << 32) | engine_(); }

  // Lengths mostly small, sometimes across the 3- and 5-byte size encodings.
  size_t Length() {
    switch (Below(40)) {
      case 0:
        return 254 + Below(100);
      case 1:
        return 65535 + Below(3);
      case 2:
        return 65536 + Below(3000);
      default:
        return Below(12);
    }
  }

  // Finite, so that decoded values compare equal with ==.
  double FiniteDouble() {
    double value;
    do {
      uint64_t bits = Bits64();
      std::memcpy(&value, &bits, sizeof(value));
    } while (!(value == value) || value - value != 0);
    return value;
  }

  template <typename T>
  std::vector<T> IntegerList() {
    std::vector<T> list(Length());
    for (T& element : list) {
      element = static_cast<T>(Bits64());
    }
    return list;
  }

  EncodableValue Scalar() {
    switch (Below(6)) {
      case 0:
        return EncodableValue();
      case 1:
        return EncodableValue(OneIn(2));
      case 2:
        return EncodableValue(static_cast<int32_t>(engine_()));
      case 3:
        return EncodableValue(static_cast<int64_t>(Bits64()));
      case 4:
        return EncodableValue(FiniteDouble());
      default: {
        std::string text(Below(6), ' ');
        for (char& c : text) {
          c = static_cast<char>(Below(256));
        }
        return EncodableValue(text);
      }
    }
  }

  // Any of the thirteen kinds that the standard codec can carry.
  EncodableValue Value(int depth) {
    uint32_t kind = Below(depth > 0 ? 14 : 10);
    switch (kind) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
        return Scalar();
      case 5: {
        std::string text(Length(), ' ');
        for (char& c : text) {
          c = static_cast<char>(Below(256));
        }
        return EncodableValue(text);
      }
      case 6:
        return EncodableValue(IntegerList<uint8_t>());
      case 7:
        return EncodableValue(IntegerList<int32_t>());
      case 8:
        return EncodableValue(IntegerList<int64_t>());
      case 9: {
        if (OneIn(2)) {
          std::vector<double> list(Length());
          for (double& element : list) {
            element = FiniteDouble();
          }
          return EncodableValue(list);
        }
        std::vector<float> list(Length());
        for (float& element : list) {
          element = static_cast<float>(static_cast<int32_t>(engine_())) / 1024.0f;
        }
        return EncodableValue(list);
      }
      case 10:
      case 11: {
        EncodableValueList list;
        size_t count = OneIn(30) ? 254 + Below(10) : Below(6);
        for (size_t i = 0; i < count; ++i) {
          list.push_back(Value(depth - 1));
        }
        return EncodableValue(list);
      }
      default: {
        EncodableValueMap map;
        size_t count = Below(6);
        for (size_t i = 0; i < count; ++i) {
          map.emplace(OneIn(4) ? Value(depth - 1) : Scalar(), Value(depth - 1));
        }
        return EncodableValue(map);
      }
    }
  }

 private:
  std::mt19937 engine_;
};

void ExpectRoundTrip(const EncodableValue& value, const std::string& label) {
  Bytes bytes = Encode(value);
  EncodableValue decoded = Decode(bytes);
  EXPECT_EQ(decoded, value) << label;
  EXPECT_EQ(Encode(decoded), bytes) << label;
}

TEST(RoundTripTest, RandomNestedValues) {
  StderrCapture stderr_capture;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    Generator generator(seed);
    ExpectRoundTrip(generator.Value(4), "seed " + std::to_string(seed));
    if (::testing::Test::HasFailure()) {
      break;  // One seed's report is enough to reproduce it.
    }
  }
  EXPECT_TRUE(stderr_capture.Lines().empty());
}

TEST(RoundTripTest, TypedListsAtEveryAlignmentOffset) {
  StderrCapture stderr_capture;
  std::vector<EncodableValue> typed = {
      EncodableValue(std::vector<int32_t>{1, -2, 3}),
      EncodableValue(std::vector<int64_t>{-1, 1LL << 40}),
      EncodableValue(std::vector<double>{0.5, -1e300}),
      EncodableValue(std::vector<float>{1.5f, -2.25f}),
      EncodableValue(std::vector<int32_t>{}),
      EncodableValue(std::vector<double>{}),
      EncodableValue(1.25),
  };
  for (const EncodableValue& list : typed) {
    // A string of 0 to 7 bytes shifts what follows through every offset
    // modulo 8, at the top of a list and as a map value.
    for (size_t shift = 0; shift < 8; ++shift) {
      EncodableValue prefix{std::string(shift, 'p')};
      ExpectRoundTrip(EncodableValue(EncodableValueList{prefix, list, prefix, list}),
                      "list shift " + std::to_string(shift));
      ExpectRoundTrip(EncodableValue(EncodableValueMap{{prefix, list}, {list, prefix}}),
                      "map shift " + std::to_string(shift));
      // And inside a method-call-like frame: a leading byte shifts it once more.
      ExpectRoundTrip(EncodableValue(EncodableValueList{EncodableValue(true), prefix,
                                                        EncodableValueMap{{prefix, list}}}),
                      "nested shift " + std::to_string(shift));
    }
  }
  // The encoding really does pad: every typed body starts aligned.
  Bytes bytes = Encode(EncodableValue(EncodableValueList{
      EncodableValue(std::string(3, 'x')), EncodableValue(std::vector<double>{2.0})}));
  size_t body = bytes.size() - 8;
  EXPECT_EQ(body % 8, 0u);
  EXPECT_TRUE(stderr_capture.Lines().empty());
}

TEST(RoundTripTest, CustomValuesBecomeNull) {
  StderrCapture stderr_capture;
  EncodableValue value(EncodableValueList{EncodableValue(CustomValue(1)), EncodableValue(2)});
  Bytes bytes = Encode(value);
  EncodableValue decoded = Decode(bytes);
  EXPECT_EQ(decoded, EncodableValue(EncodableValueList{EncodableValue(), EncodableValue(2)}));
  EXPECT_EQ(Encode(decoded), bytes);
  EXPECT_EQ(stderr_capture.Lines().size(), 1u);
}

}  // namespace
}  // namespace flutter
