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

TEST_F(FakeMessengerTest, EveryBreachOfContractIsCountedNotActedOn) {
  RawChannel raw;
  FlutterDesktopMessengerSetCallback(messenger_, "raw", RawChannel::OnMessage, &raw);
  auto first = Deliver("raw", Hex("00"));
  auto second = Deliver("raw", Hex("00"));
  ASSERT_EQ(raw.handles.size(), 2u);
  EXPECT_EQ(raw.channels[0], "raw");
  const uint8_t byte = 7;
  FlutterDesktopMessengerSendResponse(messenger_, raw.handles[0], &byte, 1);
  // The lock is re-entrant on one thread.
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger_), messenger_);
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger_), messenger_);
  FlutterDesktopMessengerUnlock(messenger_);
  FlutterDesktopMessengerUnlock(messenger_);
  EXPECT_EQ(NewViolations(), 0);

  StderrCapture capture;
  FlutterDesktopMessengerSendResponse(messenger_, raw.handles[0], &byte, 1);  // used handle
  FlutterDesktopMessengerUnlock(messenger_);                                  // not locked
  FlutterDesktopMessengerRef kept = FlutterDesktopMessengerAddRef(messenger_);
  ShutDown();
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(kept));
  EXPECT_FALSE(FlutterDesktopMessengerSend(kept, "raw", nullptr, 0));
  FlutterDesktopMessengerSendResponse(kept, raw.handles[1], nullptr, 0);  // engine gone
  FlutterDesktopMessengerRelease(kept);
  EXPECT_EQ(RefCount(kept), 0);
  // Caught by the registry instead of touching freed memory.
  FlutterDesktopMessengerRelease(kept);
  EXPECT_EQ(capture.Lines().size(), 4u);
  EXPECT_EQ(NewViolations(), 4);
  EXPECT_EQ(first->Count(), 1);
  EXPECT_EQ(first->Last(), Hex("07"));
  EXPECT_EQ(second->Count(), 0);
  expected_violations_ = 4;
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
