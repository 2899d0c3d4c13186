#include "messaging/method_channel.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_embedder_test.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/standard_method_codec.h"
#include "tests/messaging/codec_test_support.h"

namespace flutter {
namespace testing {
namespace {

using velora::standin::PlatformQueue;
using velora::standin::RefCount;

constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.";
constexpr char kLeakWarning[] = "Warning: Failed to respond to a message. This is a memory leak.";

// What a MethodResult received, for results of calls the host makes.
struct ResultLog {
  std::vector<std::string> answers;  // "success", "error", "not_implemented"
  std::optional<EncodableValue> value;
  std::string code;
  std::string message;
  bool destroyed = false;
};

class RecordingResult : public MethodResult<EncodableValue> {
 public:
  explicit RecordingResult(std::shared_ptr<ResultLog> log) : log_(std::move(log)) {}
  ~RecordingResult() override { log_->destroyed = true; }

 protected:
  void OnSuccess(const EncodableValue* result) override {
    log_->answers.push_back("success");
    if (result != nullptr) {
      log_->value = *result;
    }
  }
  void OnError(const std::string& code,
               const std::string& message,
               const EncodableValue* details) override {
    log_->answers.push_back("error");
    log_->code = code;
    log_->message = message;
    if (details != nullptr) {
      log_->value = *details;
    }
  }
  void OnNotImplemented() override { log_->answers.push_back("not_implemented"); }

 private:
  std::shared_ptr<ResultLog> log_;
};

class MethodCallChannelTest : public FakeEmbedderTest {
 protected:
  void SetUp() override {
    FakeEmbedderTest::SetUp();
    messenger_impl_ = std::make_unique<BinaryMessengerImpl>(messenger_);
    channel_ = std::make_unique<MethodCallChannel>(messenger_impl_.get(), "velora/window",
                                                   &StandardMethodCodec::ForSerializer());
  }

  // Installs a handler that answers every call with `answer`.
  void AnswerWith(std::function<void(MethodResult<EncodableValue>&)> answer) {
    channel_->InstallCallHandler(
        [answer](const MethodCall<EncodableValue>&,
                 std::unique_ptr<MethodResult<EncodableValue>> result) { answer(*result); });
  }

  Bytes CallBytes(const std::string& method) {
    MethodCall<EncodableValue> call(method, nullptr);
    return *StandardMethodCodec::ForSerializer().EncodeCall(call);
  }

  std::unique_ptr<BinaryMessengerImpl> messenger_impl_;
  std::unique_ptr<MethodCallChannel> channel_;
};

TEST_F(MethodCallChannelTest, IsFullscreenCallAndAnswerByteForByte) {
  std::string method;
  bool null_arguments = false;
  channel_->InstallCallHandler([&](const MethodCall<EncodableValue>& call,
                                   std::unique_ptr<MethodResult<EncodableValue>> result) {
    method = call.MethodName();
    null_arguments = call.Arguments() == nullptr || call.Arguments()->IsNull();
    result->Success(EncodableValue(false));
  });

  StderrCapture capture;
  auto responses = Deliver("velora/window", Join({Hex("07 0C"), Ascii("isFullscreen"), Hex("00")}));
  EXPECT_TRUE(capture.Lines().empty());
  EXPECT_EQ(method, "isFullscreen");
  EXPECT_TRUE(null_arguments);
  EXPECT_EQ(responses->Count(), 1);
  EXPECT_EQ(responses->Last(), Hex("00 02"));
}

TEST_F(MethodCallChannelTest, EachKindOfAnswerGoesBackAsItsEnvelope) {
  struct Case {
    const char* name;
    std::function<void(MethodResult<EncodableValue>&)> answer;
    Bytes expected;
  };
  std::vector<Case> cases = {
      {"success true", [](auto& r) { r.Success(EncodableValue(true)); }, Hex("00 01")},
      {"success without value", [](auto& r) { r.Success(); }, Hex("00 00")},
      {"error", [](auto& r) { r.Error("invalid_argument", "width is required"); },
       Join({Hex("01 07 10"), Ascii("invalid_argument"), Hex("07 11"), Ascii("width is required"),
             Hex("00")})},
      {"error with empty message and details",
       [](auto& r) { r.Error("not_found", "", EncodableValue(int32_t{7})); },
       Join({Hex("01 07 09"), Ascii("not_found"), Hex("00 03 07 00 00 00")})},
      {"not implemented", [](auto& r) { r.NotImplemented(); }, Bytes()},
  };
  // Envelopes larger than typical replies, written piece by piece across
  // the size where the reply's own buffer gives way to the heap: many small
  // values, doubles padded to their alignment, one large typed list.
  EncodableValueList texts;
  EncodableValueList doubles;
  for (int i = 0; i < 100; ++i) {
    texts.push_back(EncodableValue("text " + std::to_string(i)));
    doubles.push_back(EncodableValue(i * 0.5));
  }
  const EncodableValue large_details(EncodableValueMap{
      {EncodableValue("doubles"), EncodableValue(doubles)},
      {EncodableValue("samples"), EncodableValue(std::vector<float>(5000, 0.25f))},
      {EncodableValue("texts"), EncodableValue(texts)}});
  for (const EncodableValue& value :
       {EncodableValue(texts), EncodableValue(doubles), large_details}) {
    const Bytes success = *StandardMethodCodec::ForSerializer().EncodeSuccessReply(&value);
    const Bytes error = *StandardMethodCodec::ForSerializer().EncodeErrorReply("code", "", &value);
    cases.push_back({"large success", [value](auto& r) { r.Success(value); }, success});
    cases.push_back({"large error", [value](auto& r) { r.Error("code", "", value); }, error});
  }
  for (const Case& c : cases) {
    AnswerWith(c.answer);
    auto responses = Deliver("velora/window", CallBytes("anything"));
    EXPECT_EQ(responses->Count(), 1) << c.name;
    EXPECT_EQ(responses->Last(), c.expected) << c.name;
  }
}

TEST_F(MethodCallChannelTest, SecondAnswerIsReportedAndTheFirstStands) {
  AnswerWith([](MethodResult<EncodableValue>& result) {
    result.Success(EncodableValue(true));
    result.Success(EncodableValue(false));
    result.Error("code", "message");
    result.NotImplemented();
  });
  StderrCapture capture;
  auto responses = Deliver("velora/window", CallBytes("toggleFullscreen"));
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{kDuplicateResult, kDuplicateResult, kDuplicateResult}));
  EXPECT_EQ(responses->Count(), 1);
  EXPECT_EQ(responses->Last(), Hex("00 01"));
}

TEST_F(MethodCallChannelTest, UnansweredResultWarnsAndSendsNothing) {
  AnswerWith([](MethodResult<EncodableValue>&) {});
  StderrCapture capture;
  auto responses = Deliver("velora/window", CallBytes("isFullscreen"));
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{kLeakWarning}));
  EXPECT_EQ(responses->Count(), 0);
  EXPECT_EQ(RefCount(messenger_), 1) << "the dropped reply released its reference";
}

TEST_F(MethodCallChannelTest, MessageThatIsNotACallIsAnsweredEmptyWithoutTheHandler) {
  int handler_calls = 0;
  channel_->InstallCallHandler(
      [&](const MethodCall<EncodableValue>&, std::unique_ptr<MethodResult<EncodableValue>>) {
        ++handler_calls;
      });
  StderrCapture capture;
  auto responses = Deliver("velora/window", Hex("03 01 00 00 00"));
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Invalid method call; method name is not a string.",
                "Unable to construct method call from message on channel velora/window"}));
  EXPECT_EQ(handler_calls, 0);
  EXPECT_EQ(responses->Count(), 1);
  EXPECT_TRUE(responses->Last().empty());
}

TEST_F(MethodCallChannelTest, ResultKeptPastShutdownAnswersSilentlyAndReleasesTheMessenger) {
  const int live_before = velora::standin::LiveMessengers();
  FlutterDesktopMessengerRef handle = messenger_;
  std::unique_ptr<MethodResult<EncodableValue>> kept;
  channel_->InstallCallHandler(
      [&](const MethodCall<EncodableValue>&, std::unique_ptr<MethodResult<EncodableValue>> result) {
        kept = std::move(result);
      });
  auto responses = Deliver("velora/window", CallBytes("createVideoHost"));
  ShutDown();
  EXPECT_EQ(RefCount(handle), 1);

  StderrCapture capture;
  kept->Success(EncodableValue(int64_t{42}));
  EXPECT_TRUE(capture.Lines().empty());
  EXPECT_EQ(responses->Count(), 0);
  kept.reset();
  EXPECT_EQ(velora::standin::LiveMessengers(), live_before - 1);
}

TEST_F(MethodCallChannelTest, HandlerOutlivesTheChannelObjectUntilRemoved) {
  AnswerWith([](MethodResult<EncodableValue>& result) { result.Success(); });
  MethodCallChannel second(messenger_impl_.get(), "velora/window",
                           &StandardMethodCodec::ForSerializer());
  channel_.reset();
  EXPECT_EQ(Deliver("velora/window", CallBytes("a"))->Last(), Hex("00 00"));

  second.InstallCallHandler(nullptr);
  EXPECT_EQ(velora::standin::ChannelUserData(messenger_, "velora/window"), nullptr);
}

TEST_F(MethodCallChannelTest, CallWithoutResultIsSentWithoutAReply) {
  channel_->SendMethodCall("windowEvent",
                           std::make_unique<EncodableValue>(EncodableValueMap{
                               {EncodableValue("type"), EncodableValue("exitSizeMove")}}));
  auto sent = velora::standin::SentMessages(messenger_);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].channel, "velora/window");
  EXPECT_FALSE(sent[0].expects_reply);
  EXPECT_EQ(sent[0].bytes, Join({Hex("07 0B"), Ascii("windowEvent"), Hex("0D 01 07 04"),
                                 Ascii("type"), Hex("07 0C"), Ascii("exitSizeMove")}));
  EXPECT_EQ(PlatformQueue::Get().PendingCount(), 0u);
}

TEST_F(MethodCallChannelTest, RepliesToCallsAreDecodedIntoTheResult) {
  std::map<std::string, std::optional<Bytes>> answers = {
      {"success", Hex("00 01")},
      {"error", Join({Hex("01 07 03"), Ascii("bad"), Hex("07 02"), Ascii("no"), Hex("00")})},
      {"empty", std::nullopt},
      {"garbage", Hex("02")},
  };
  velora::standin::SetAppResponder(
      messenger_, [&](const std::string&, const Bytes& bytes) -> std::optional<Bytes> {
        // The method name starts after the tag and the one-byte size.
        return answers.at(std::string(bytes.begin() + 2, bytes.end() - 1));
      });
  std::map<std::string, std::shared_ptr<ResultLog>> logs;
  for (const auto& answer : answers) {
    logs[answer.first] = std::make_shared<ResultLog>();
    channel_->SendMethodCall(answer.first, nullptr,
                             std::make_unique<RecordingResult>(logs[answer.first]));
  }
  StderrCapture capture;
  PlatformQueue::Get().RunPending();
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{"Unable to decode reply to method invocation on channel "
                                      "velora/window"}));

  EXPECT_EQ(logs["success"]->answers, (std::vector<std::string>{"success"}));
  EXPECT_EQ(logs["success"]->value, EncodableValue(true));
  EXPECT_EQ(logs["error"]->answers, (std::vector<std::string>{"error"}));
  EXPECT_EQ(logs["error"]->code, "bad");
  EXPECT_EQ(logs["error"]->message, "no");
  EXPECT_EQ(logs["empty"]->answers, (std::vector<std::string>{"not_implemented"}));
  EXPECT_EQ(logs["garbage"]->answers, (std::vector<std::string>{"not_implemented"}));
  for (const auto& log : logs) {
    EXPECT_TRUE(log.second->destroyed) << log.first << " released after its reply";
  }

  // A refused call releases its result at once, unanswered.
  velora::standin::SetRefuseSends(messenger_, true);
  auto refused = std::make_shared<ResultLog>();
  channel_->SendMethodCall("success", nullptr, std::make_unique<RecordingResult>(refused));
  EXPECT_TRUE(refused->destroyed);
  EXPECT_TRUE(refused->answers.empty());
  EXPECT_EQ(PlatformQueue::Get().PendingCount(), 0u);
}

}  // namespace
}  // namespace testing
}  // namespace flutter
