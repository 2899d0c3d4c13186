#include "messaging/standard_method_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec_test_support.h"

namespace flutter {
namespace {

using testing::Ascii;
using testing::Bytes;
using testing::Hex;
using testing::Join;
using testing::StderrCapture;

const char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader";
const char kNotAString[] = "Invalid method call; method name is not a string.";

// Remembers every answer it is given, in order.
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  struct Answer {
    std::string kind;  // "success", "error" or "not implemented"
    std::optional<EncodableValue> value;
    std::string code;
    std::string message;
  };

  std::vector<Answer> answers;

 protected:
  void OnSuccess(const EncodableValue* result) override {
    answers.push_back(
        {"success", result ? std::optional<EncodableValue>(*result) : std::nullopt, "", ""});
  }
  void OnError(const std::string& code,
               const std::string& message,
               const EncodableValue* details) override {
    answers.push_back(
        {"error", details ? std::optional<EncodableValue>(*details) : std::nullopt, code, message});
  }
  void OnNotImplemented() override { answers.push_back({"not implemented", std::nullopt, "", ""}); }
};

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::ForSerializer();
}

Bytes EncodeCall(const std::string& method, std::unique_ptr<EncodableValue> arguments) {
  return *Codec().EncodeCall(MethodCall<EncodableValue>(method, std::move(arguments)));
}

TEST(StandardMethodCodecTest, ForSerializerKeepsOneCodecPerSerializer) {
  const StandardMethodCodec& shared = StandardMethodCodec::ForSerializer();
  EXPECT_EQ(&shared, &StandardMethodCodec::ForSerializer(nullptr));
  EXPECT_EQ(&shared, &StandardMethodCodec::ForSerializer(&StandardCodecSerializer::Shared()));
  EXPECT_EQ(&StandardCodecSerializer::Shared(), &StandardCodecSerializer::Shared());

  static StandardCodecSerializer other;  // Must outlive its codec, which is kept.
  const StandardMethodCodec& own = StandardMethodCodec::ForSerializer(&other);
  EXPECT_NE(&own, &shared);
  EXPECT_EQ(&own, &StandardMethodCodec::ForSerializer(&other));
}

TEST(StandardMethodCodecTest, CallsInBothDirections) {
  Bytes toggle = Join({Hex("07 10"), Ascii("toggleFullscreen"), Hex("00")});
  EXPECT_EQ(EncodeCall("toggleFullscreen", nullptr), toggle);

  Bytes query = Join({Hex("07 0C"), Ascii("isFullscreen"), Hex("00")});
  std::unique_ptr<MethodCall<EncodableValue>> call = Codec().DecodeCall(query.data(), query.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "isFullscreen");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_TRUE(call->Arguments()->IsNull());

  // A call with a map of arguments survives the round trip, and the map goes
  // out in key order whatever order it was built in.
  EncodableValueMap arguments = {
      {EncodableValue("w"), EncodableValue(640)},
      {EncodableValue("h"), EncodableValue(480)},
  };
  Bytes bounds = EncodeCall("setVideoHostBounds", std::make_unique<EncodableValue>(arguments));
  EXPECT_EQ(bounds, Join({Hex("07 12"), Ascii("setVideoHostBounds"), Hex("0D 02 07 01"), Ascii("h"),
                          Hex("03 E0 01 00 00 07 01"), Ascii("w"), Hex("03 80 02 00 00")}));
  call = Codec().DecodeCall(bounds.data(), bounds.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "setVideoHostBounds");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_EQ(*call->Arguments(), EncodableValue(arguments));
}

TEST(StandardMethodCodecTest, BadCallsAreRejectedOrPadded) {
  {
    StderrCapture stderr_capture;
    Bytes int_name = Hex("03 01 00 00 00");
    EXPECT_EQ(Codec().DecodeCall(int_name.data(), int_name.size()), nullptr);
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{kNotAString});
  }
  {
    StderrCapture stderr_capture;
    EXPECT_EQ(Codec().DecodeCall(nullptr, 0), nullptr);
    EXPECT_EQ(stderr_capture.Lines(), (std::vector<std::string>{kInvalidRead, kNotAString}));
  }
  {
    // The arguments are missing altogether: null arguments, one line.
    StderrCapture stderr_capture;
    Bytes name_only = Join({Hex("07 0C"), Ascii("isFullscreen")});
    auto call = Codec().DecodeCall(name_only.data(), name_only.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->MethodName(), "isFullscreen");
    ASSERT_NE(call->Arguments(), nullptr);
    EXPECT_TRUE(call->Arguments()->IsNull());
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>{kInvalidRead});
  }
  {
    // Bytes after the arguments are ignored.
    StderrCapture stderr_capture;
    Bytes trailing = Join({Hex("07 01"), Ascii("m"), Hex("01 FF FF")});
    auto call = Codec().DecodeCall(trailing.data(), trailing.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(*call->Arguments(), EncodableValue(true));
    EXPECT_TRUE(stderr_capture.Lines().empty());
  }
}

TEST(StandardMethodCodecTest, EnvelopesInBothDirections) {
  EncodableValue yes(true);
  EXPECT_EQ(*Codec().EncodeSuccessReply(&yes), Hex("00 01"));
  EXPECT_EQ(*Codec().EncodeSuccessReply(nullptr), Hex("00 00"));
  EncodableValue no(false);
  EXPECT_EQ(*Codec().EncodeSuccessReply(&no), Hex("00 02"));

  Bytes error = Join({Hex("01 07 10"), Ascii("invalid_argument"), Hex("07 11"),
                      Ascii("width is required"), Hex("00")});
  EXPECT_EQ(*Codec().EncodeErrorReply("invalid_argument", "width is required", nullptr), error);
  EncodableValue details(EncodableValueList{EncodableValue(1)});
  EXPECT_EQ(*Codec().EncodeErrorReply("bad_args", "", &details),
            Join({Hex("01 07 08"), Ascii("bad_args"), Hex("00 0C 01 03 01 00 00 00")}));

  RecordingResult result;
  EXPECT_TRUE(Codec().DecodeReply(error.data(), error.size(), &result));
  Bytes success = Hex("00 01");
  EXPECT_TRUE(Codec().DecodeReply(success.data(), success.size(), &result));
  Bytes empty_success = Hex("00 00");
  EXPECT_TRUE(Codec().DecodeReply(empty_success.data(), empty_success.size(), &result));
  Bytes detailed = *Codec().EncodeErrorReply("bad_args", "", &details);
  EXPECT_TRUE(Codec().DecodeReply(detailed.data(), detailed.size(), &result));

  ASSERT_EQ(result.answers.size(), 4u);
  EXPECT_EQ(result.answers[0].kind, "error");
  EXPECT_EQ(result.answers[0].code, "invalid_argument");
  EXPECT_EQ(result.answers[0].message, "width is required");
  EXPECT_FALSE(result.answers[0].value.has_value());
  EXPECT_EQ(result.answers[1].kind, "success");
  EXPECT_EQ(result.answers[1].value, EncodableValue(true));
  EXPECT_EQ(result.answers[2].kind, "success");
  EXPECT_FALSE(result.answers[2].value.has_value());  // Null means no value.
  EXPECT_EQ(result.answers[3].kind, "error");
  EXPECT_EQ(result.answers[3].message, "");
  EXPECT_EQ(result.answers[3].value, details);
}

TEST(StandardMethodCodecTest, RepliesThatAreNoEnvelopeDeliverNothing) {
  struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"unknown flag", Hex("02")},
      {"flag 255", Hex("FF 00")},
      {"code is not a string", Hex("01 03 01 00 00 00 00 00")},
      {"code is null", Hex("01 00 00 00")},
      {"message is a bool", Join({Hex("01 07 01"), Ascii("e"), Hex("01 00")})},
      {"message is a list", Join({Hex("01 07 01"), Ascii("e"), Hex("0C 00 00")})},
  };
  for (const auto& c : cases) {
    StderrCapture stderr_capture;
    RecordingResult result;
    EXPECT_FALSE(Codec().DecodeReply(c.bytes.data(), c.bytes.size(), &result)) << c.name;
    EXPECT_TRUE(result.answers.empty()) << c.name;
    EXPECT_TRUE(stderr_capture.Lines().empty()) << c.name;
  }
}

TEST(StandardMethodCodecTest, ShortRepliesReadAsNull) {
  {
    StderrCapture stderr_capture;
    RecordingResult result;
    EXPECT_TRUE(Codec().DecodeReply(nullptr, 0, &result));
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>(2, kInvalidRead));
    ASSERT_EQ(result.answers.size(), 1u);
    EXPECT_EQ(result.answers[0].kind, "success");
    EXPECT_FALSE(result.answers[0].value.has_value());
  }
  {
    // An error envelope cut after its code: null message and details.
    StderrCapture stderr_capture;
    RecordingResult result;
    Bytes cut = Join({Hex("01 07 04"), Ascii("oops")});
    EXPECT_TRUE(Codec().DecodeReply(cut.data(), cut.size(), &result));
    EXPECT_EQ(stderr_capture.Lines(), std::vector<std::string>(2, kInvalidRead));
    ASSERT_EQ(result.answers.size(), 1u);
    EXPECT_EQ(result.answers[0].kind, "error");
    EXPECT_EQ(result.answers[0].code, "oops");
    EXPECT_EQ(result.answers[0].message, "");
    EXPECT_FALSE(result.answers[0].value.has_value());
  }
}

}  // namespace
}  // namespace flutter
