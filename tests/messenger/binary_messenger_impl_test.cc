#include "messaging/binary_messenger_impl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_embedder_test.h"
#include "tests/messaging/codec_test_support.h"

namespace flutter {
namespace testing {
namespace {

using velora::standin::PlatformQueue;
using velora::standin::RefCount;

constexpr char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.";

// What a reply to an outgoing message delivered.
struct Replies {
  int count = 0;
  Bytes bytes;
  bool null_data = false;
};

BinaryReply Record(std::shared_ptr<Replies> replies) {
  return [replies](const uint8_t* data, size_t size) {
    ++replies->count;
    replies->bytes.assign(data, data + size);
    replies->null_data = data == nullptr;
  };
}

using BinaryMessengerImplTest = FakeEmbedderTest;

TEST_F(BinaryMessengerImplTest, SendWithoutReplyHandsTheBytesToTheEmbedderOnly) {
  BinaryMessengerImpl messenger(messenger_);
  const Bytes bytes = Hex("07 03 61 62 63 00");
  messenger.Send("velora/window", bytes.data(), bytes.size());

  auto sent = velora::standin::SentMessages(messenger_);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].channel, "velora/window");
  EXPECT_EQ(sent[0].bytes, bytes);
  EXPECT_FALSE(sent[0].expects_reply);
  // The Dart side still sees it, later; its answer goes nowhere.
  int seen = 0;
  velora::standin::SetAppResponder(messenger_, [&](const std::string&, const Bytes&) {
    ++seen;
    return std::optional<Bytes>(Hex("00 01"));
  });
  messenger.Send("velora/window", bytes.data(), bytes.size());
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(PlatformQueue::Get().RunPending(), 1u);
  EXPECT_EQ(seen, 1);
}

TEST_F(BinaryMessengerImplTest, ReplyToASendArrivesOnceAndLaterOnThePlatformThread) {
  BinaryMessengerImpl messenger(messenger_);
  velora::standin::SetAppResponder(
      messenger_, [](const std::string& channel, const Bytes& bytes) -> std::optional<Bytes> {
        if (channel == "empty") {
          return std::nullopt;
        }
        Bytes answer = bytes;
        answer.push_back(0xEE);
        return answer;
      });
  auto full = std::make_shared<Replies>();
  auto empty = std::make_shared<Replies>();
  const Bytes bytes = Hex("01 02");
  messenger.Send("velora/gpu_texture", bytes.data(), bytes.size(), Record(full));
  messenger.Send("empty", bytes.data(), bytes.size(), Record(empty));

  EXPECT_EQ(full->count, 0) << "the reply must not come back inside Send";
  EXPECT_EQ(PlatformQueue::Get().RunPending(), 2u);
  EXPECT_EQ(full->count, 1);
  EXPECT_EQ(full->bytes, Hex("01 02 EE"));
  EXPECT_EQ(empty->count, 1);
  EXPECT_TRUE(empty->bytes.empty());
  EXPECT_TRUE(empty->null_data);

  EXPECT_EQ(PlatformQueue::Get().RunPending(), 0u);
  EXPECT_EQ(full->count, 1);
  auto sent = velora::standin::SentMessages(messenger_);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(sent[0].expects_reply);
}

TEST_F(BinaryMessengerImplTest, RefusedSendDropsTheReplyUncalled) {
  BinaryMessengerImpl messenger(messenger_);
  velora::standin::SetRefuseSends(messenger_, true);
  auto replies = std::make_shared<Replies>();
  const Bytes bytes = Hex("00");
  messenger.Send("velora/window", bytes.data(), bytes.size(), Record(replies));

  // The holder, and with it the reply's captures, are gone at once.
  EXPECT_EQ(replies.use_count(), 1);
  EXPECT_EQ(PlatformQueue::Get().RunPending(), 0u);
  EXPECT_EQ(replies->count, 0);
  EXPECT_TRUE(velora::standin::SentMessages(messenger_).empty());
}

TEST_F(BinaryMessengerImplTest, IncomingMessageReachesItsHandlerAndIsAnsweredOnce) {
  BinaryMessengerImpl messenger(messenger_);
  Bytes seen;
  int other_calls = 0;
  messenger.SetChannelHandler("velora/window",
                              [&](const uint8_t* message, size_t size, ReplyCallback reply) {
                                seen.assign(message, message + size);
                                // The closure holds one reference while it lives.
                                EXPECT_EQ(RefCount(messenger_), 2);
                                reply(Hex("00 01").data(), 2);
                              });
  messenger.SetChannelHandler("velora/gpu_texture",
                              [&](const uint8_t*, size_t, ReplyCallback reply) {
                                ++other_calls;
                                reply(nullptr, 0);
                              });
  EXPECT_NE(velora::standin::ChannelUserData(messenger_, "velora/window"),
            velora::standin::ChannelUserData(messenger_, "velora/gpu_texture"));

  auto responses = Deliver("velora/window", Hex("07 01 61 00"));
  EXPECT_EQ(seen, Hex("07 01 61 00"));
  EXPECT_EQ(responses->Count(), 1);
  EXPECT_EQ(responses->Last(), Hex("00 01"));
  EXPECT_EQ(other_calls, 0);
  EXPECT_EQ(RefCount(messenger_), 1) << "the closure's reference goes with it";

  auto empty = Deliver("velora/gpu_texture", Hex("07 00 00"));
  EXPECT_EQ(other_calls, 1);
  EXPECT_EQ(empty->Count(), 1);
  EXPECT_TRUE(empty->Last().empty());
}

TEST_F(BinaryMessengerImplTest, SecondResponseIsReportedAndNotSentEvenFromACopy) {
  BinaryMessengerImpl messenger(messenger_);
  int refs_while_copied = 0;
  messenger.SetChannelHandler("twice", [](const uint8_t*, size_t, ReplyCallback reply) {
    reply(Hex("00 01").data(), 2);
    reply(Hex("00 02").data(), 2);
  });
  messenger.SetChannelHandler("copies", [&](const uint8_t*, size_t, ReplyCallback reply) {
    ReplyCallback copy = reply;
    // Copies share one messenger reference and one response handle.
    refs_while_copied = RefCount(messenger_);
    copy(Hex("00 03").data(), 2);
    reply(Hex("00 04").data(), 2);
  });

  StderrCapture capture;
  auto twice = Deliver("twice", Hex("00"));
  auto copies = Deliver("copies", Hex("00"));
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{kDuplicateResponse, kDuplicateResponse}));

  EXPECT_EQ(twice->Count(), 1);
  EXPECT_EQ(twice->Last(), Hex("00 01"));
  EXPECT_EQ(copies->Count(), 1);
  EXPECT_EQ(copies->Last(), Hex("00 03"));
  EXPECT_EQ(refs_while_copied, 2);
  EXPECT_EQ(RefCount(messenger_), 1);
}

TEST_F(BinaryMessengerImplTest, KeptReplyAnswersLaterAndADroppedOneSendsNothing) {
  BinaryMessengerImpl messenger(messenger_);
  ReplyCallback stored;
  messenger.SetChannelHandler(
      "later", [&](const uint8_t*, size_t, ReplyCallback reply) { stored = std::move(reply); });
  messenger.SetChannelHandler("dropped", [](const uint8_t*, size_t, ReplyCallback) {});
  StderrCapture capture;
  auto later = Deliver("later", Hex("00"));
  auto dropped = Deliver("dropped", Hex("00"));
  EXPECT_EQ(velora::standin::PendingResponses(messenger_), 2u);
  EXPECT_EQ(RefCount(messenger_), 2) << "only the kept callback holds a reference";

  stored(Hex("00 00").data(), 2);
  EXPECT_EQ(later->Count(), 1);
  EXPECT_EQ(later->Last(), Hex("00 00"));
  EXPECT_EQ(dropped->Count(), 0);
  EXPECT_EQ(velora::standin::PendingResponses(messenger_), 1u);
  stored = nullptr;
  EXPECT_EQ(RefCount(messenger_), 1);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(BinaryMessengerImplTest, ReplyAfterShutdownSendsAndPrintsNothingAndReleasesLater) {
  const int live_before = velora::standin::LiveMessengers();
  FlutterDesktopMessengerRef handle = messenger_;
  ReplyCallback stored;
  {
    BinaryMessengerImpl messenger(handle);
    messenger.SetChannelHandler(
        "later", [&](const uint8_t*, size_t, ReplyCallback reply) { stored = std::move(reply); });
    auto responses = Deliver("later", Hex("00"));
    ShutDown();
    // The engine is gone; the kept callback keeps the messenger alive.
    EXPECT_EQ(velora::standin::LiveMessengers(), live_before);
    EXPECT_EQ(RefCount(handle), 1);

    StderrCapture capture;
    stored(Hex("00 01").data(), 2);
    stored(Hex("00 01").data(), 2);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(responses->Count(), 0);
  }
  stored = nullptr;
  EXPECT_EQ(velora::standin::LiveMessengers(), live_before - 1);
  EXPECT_EQ(RefCount(handle), 0);
}

TEST_F(BinaryMessengerImplTest, ReplacingKeepsTheEntryAddressAndRemovingUnregisters) {
  BinaryMessengerImpl messenger(messenger_);
  auto first_token = std::make_shared<int>(0);
  auto second_token = std::make_shared<int>(0);
  int first_calls = 0;
  int second_calls = 0;
  messenger.SetChannelHandler("velora/window",
                              [&, first_token](const uint8_t*, size_t, ReplyCallback reply) {
                                ++first_calls;
                                reply(nullptr, 0);
                              });
  void* address = velora::standin::ChannelUserData(messenger_, "velora/window");
  ASSERT_NE(address, nullptr);
  messenger.SetChannelHandler("velora/window",
                              [&, second_token](const uint8_t*, size_t, ReplyCallback reply) {
                                ++second_calls;
                                reply(nullptr, 0);
                              });
  EXPECT_EQ(velora::standin::ChannelUserData(messenger_, "velora/window"), address);
  EXPECT_EQ(first_token.use_count(), 1) << "the replaced handler is destroyed";
  Deliver("velora/window", Hex("00"));
  EXPECT_EQ(first_calls, 0);
  EXPECT_EQ(second_calls, 1);

  messenger.SetChannelHandler("velora/window", nullptr);
  EXPECT_EQ(velora::standin::ChannelUserData(messenger_, "velora/window"), nullptr);
  EXPECT_EQ(second_token.use_count(), 1) << "the table entry is erased";
  // The engine answers messages nobody listens to itself, with nothing.
  auto unheard = Deliver("velora/window", Hex("00"));
  EXPECT_EQ(second_calls, 1);
  EXPECT_EQ(unheard->Count(), 1);
  EXPECT_TRUE(unheard->Last().empty());
}

}  // namespace
}  // namespace testing
}  // namespace flutter
