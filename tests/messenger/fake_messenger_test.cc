// The stand-in's own contracts, through its C functions: the host's tests
// above rely on the stand-in noticing what a real engine would not forgive.
#include "standins/embedder/core/fake_messenger.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_embedder_test.h"
#include "standins/embedder/core/platform_queue.h"
#include "tests/messaging/codec_test_support.h"

namespace flutter {
namespace testing {
namespace {

using velora::standin::PlatformQueue;
using velora::standin::RefCount;

// Keeps the response handles of the messages a test delivers.
struct RawChannel {
  std::vector<const FlutterDesktopMessageResponseHandle*> handles;
  std::vector<std::string> channels;

  static void OnMessage(FlutterDesktopMessengerRef,
                        const FlutterDesktopMessage* message,
                        void* user_data) {
    auto* self = static_cast<RawChannel*>(user_data);
    self->handles.push_back(message->response_handle);
    self->channels.push_back(message->channel);
  }
};

using FakeMessengerTest = FakeEmbedderTest;

TEST_F(FakeMessengerTest, SecondResponseOnAHandleIsAViolationAndNotDelivered) {
  RawChannel raw;
  FlutterDesktopMessengerSetCallback(messenger_, "raw", RawChannel::OnMessage, &raw);
  auto responses = Deliver("raw", Hex("00"));
  ASSERT_EQ(raw.handles.size(), 1u);
  EXPECT_EQ(raw.channels[0], "raw");

  const uint8_t byte = 7;
  FlutterDesktopMessengerSendResponse(messenger_, raw.handles[0], &byte, 1);
  StderrCapture capture;
  FlutterDesktopMessengerSendResponse(messenger_, raw.handles[0], &byte, 1);
  EXPECT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(NewViolations(), 1);
  EXPECT_EQ(responses->Count(), 1);
  EXPECT_EQ(responses->Last(), Hex("07"));
  expected_violations_ = 1;
}

TEST_F(FakeMessengerTest, ResponseAfterShutdownIsAViolation) {
  RawChannel raw;
  FlutterDesktopMessengerSetCallback(messenger_, "raw", RawChannel::OnMessage, &raw);
  auto responses = Deliver("raw", Hex("00"));
  FlutterDesktopMessengerRef kept = FlutterDesktopMessengerAddRef(messenger_);
  ShutDown();

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(kept));
  StderrCapture capture;
  FlutterDesktopMessengerSendResponse(kept, raw.handles[0], nullptr, 0);
  capture.Lines();
  EXPECT_EQ(NewViolations(), 1);
  EXPECT_EQ(responses->Count(), 0);
  // Sends are refused once the engine is gone, and nothing is delivered.
  EXPECT_FALSE(FlutterDesktopMessengerSend(kept, "raw", nullptr, 0));
  FlutterDesktopMessengerRelease(kept);
  expected_violations_ = 1;
}

TEST_F(FakeMessengerTest, LockIsReentrantAndAStrayUnlockIsAViolation) {
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger_), messenger_);
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger_), messenger_);
  FlutterDesktopMessengerUnlock(messenger_);
  FlutterDesktopMessengerUnlock(messenger_);
  EXPECT_EQ(NewViolations(), 0);

  StderrCapture capture;
  FlutterDesktopMessengerUnlock(messenger_);
  capture.Lines();
  EXPECT_EQ(NewViolations(), 1);
  expected_violations_ = 1;
}

TEST_F(FakeMessengerTest, ReferencesKeepTheMessengerAliveUntilTheLastRelease) {
  const int live = velora::standin::LiveMessengers();
  FlutterDesktopMessengerRef handle = messenger_;
  EXPECT_EQ(RefCount(handle), 1);
  EXPECT_EQ(FlutterDesktopMessengerAddRef(handle), handle);
  EXPECT_EQ(RefCount(handle), 2);
  ShutDown();
  EXPECT_EQ(RefCount(handle), 1);
  EXPECT_EQ(velora::standin::LiveMessengers(), live);
  FlutterDesktopMessengerRelease(handle);
  EXPECT_EQ(velora::standin::LiveMessengers(), live - 1);
  EXPECT_EQ(RefCount(handle), 0);

  // A release too many is caught by the registry instead of touching freed
  // memory.
  StderrCapture capture;
  FlutterDesktopMessengerRelease(handle);
  capture.Lines();
  EXPECT_EQ(NewViolations(), 1);
  expected_violations_ = 1;
}

TEST_F(FakeMessengerTest, SendWithReplyCallsBackOnceOrNeverWhenRefused) {
  struct Calls {
    int count = 0;
  } calls;
  auto reply = [](const uint8_t*, size_t, void* user_data) {
    ++static_cast<Calls*>(user_data)->count;
  };
  const uint8_t byte = 1;

  velora::standin::SetRefuseSends(messenger_, true);
  EXPECT_FALSE(FlutterDesktopMessengerSendWithReply(messenger_, "c", &byte, 1, reply, &calls));
  EXPECT_EQ(PlatformQueue::Get().PendingCount(), 0u);
  velora::standin::SetRefuseSends(messenger_, false);

  EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(messenger_, "c", &byte, 1, reply, &calls));
  EXPECT_EQ(calls.count, 0);
  PlatformQueue::Get().RunPending();
  PlatformQueue::Get().RunPending();
  EXPECT_EQ(calls.count, 1);
}

TEST_F(FakeMessengerTest, ResponderSeesEverySendOnThePlatformThreadInOrder) {
  std::vector<std::string> seen;
  velora::standin::SetAppResponder(messenger_, [&](const std::string& channel, const Bytes& bytes) {
    seen.push_back(channel + ":" + std::to_string(bytes.size()));
    return std::optional<Bytes>();
  });
  const uint8_t bytes[2] = {1, 2};
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger_, "a", bytes, 2));
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger_, "b", bytes, 1));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(PlatformQueue::Get().RunPending(), 2u);
  EXPECT_EQ(seen, (std::vector<std::string>{"a:2", "b:1"}));
}

TEST(PlatformQueueTest, TasksPostedWhileRunningWaitForTheNextCall) {
  PlatformQueue& queue = PlatformQueue::Get();
  queue.RunPending();
  int wakes = 0;
  queue.SetWakeHook([&] { ++wakes; });
  std::vector<int> order;
  queue.Post([&] {
    order.push_back(1);
    queue.Post([&] { order.push_back(3); });
  });
  queue.Post([&] { order.push_back(2); });
  EXPECT_EQ(wakes, 2);

  EXPECT_EQ(queue.RunPending(), 2u);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(wakes, 3);
  EXPECT_EQ(queue.PendingCount(), 1u);
  EXPECT_EQ(queue.RunPending(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  queue.SetWakeHook(nullptr);
}

}  // namespace
}  // namespace testing
}  // namespace flutter
