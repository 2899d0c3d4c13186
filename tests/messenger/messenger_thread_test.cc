// Replies from other threads while the platform thread keeps sending and
// dispatching; meant to run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_embedder_test.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "tests/messaging/codec_test_support.h"

namespace flutter {
namespace testing {
namespace {

using velora::standin::PlatformQueue;

// Jobs handed from the platform thread to a worker, which runs them in order.
class Worker {
 public:
  Worker() : thread_([this] { Run(); }) {}
  ~Worker() {
    Post(nullptr);
    thread_.join();
  }

  // An empty job ends the worker.
  void Post(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    ready_.notify_one();
  }

 private:
  void Run() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return !jobs_.empty(); });
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      if (!job) {
        return;
      }
      job();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  std::thread thread_;
};

using MessengerThreadTest = FakeEmbedderTest;

TEST_F(MessengerThreadTest, WorkerRepliesWhilePlatformThreadSendsAndDispatches) {
  constexpr int kMessages = 500;
  BinaryMessengerImpl messenger(messenger_);
  velora::standin::SetAppResponder(messenger_, [](const std::string&, const Bytes& bytes) {
    return std::optional<Bytes>(bytes);
  });
  std::vector<std::shared_ptr<Responses>> responses;
  std::atomic<int> replies_to_sends{0};
  {
    Worker worker;
    messenger.SetChannelHandler(
        "velora/window", [&worker](const uint8_t* message, size_t size, ReplyCallback reply) {
          Bytes echo(message, message + size);
          worker.Post([reply = std::move(reply), echo] { reply(echo.data(), echo.size()); });
        });
    for (int i = 0; i < kMessages; ++i) {
      const Bytes bytes = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
      responses.push_back(Deliver("velora/window", bytes));
      messenger.Send("velora/gpu_texture", bytes.data(), bytes.size(),
                     [&replies_to_sends](const uint8_t*, size_t size) {
                       if (size == 2) {
                         ++replies_to_sends;
                       }
                     });
      PlatformQueue::Get().RunPending();
    }
  }  // joins the worker: every reply has been sent
  for (int i = 0; i < kMessages; ++i) {
    ASSERT_EQ(responses[i]->Count(), 1) << i;
    EXPECT_EQ(responses[i]->Last(), (Bytes{static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)}));
  }
  EXPECT_EQ(replies_to_sends.load(), kMessages);
  EXPECT_EQ(velora::standin::RefCount(messenger_), 1);
}

TEST_F(MessengerThreadTest, LateRepliesRacingWithShutdownAreSentOrDroppedNeverBroken) {
  constexpr int kMessages = 200;
  const int live_before = velora::standin::LiveMessengers();
  std::vector<std::shared_ptr<Responses>> responses;
  {
    Worker worker;
    BinaryMessengerImpl messenger(messenger_);
    messenger.SetChannelHandler("late", [&worker](const uint8_t*, size_t, ReplyCallback reply) {
      worker.Post([reply = std::move(reply)] { reply(Hex("00 01").data(), 2); });
    });
    for (int i = 0; i < kMessages; ++i) {
      responses.push_back(Deliver("late", Hex("00")));
    }
    ShutDown();
  }
  // Each message got its response before the shutdown or none at all.
  for (const auto& response : responses) {
    EXPECT_LE(response->Count(), 1);
  }
  EXPECT_EQ(velora::standin::LiveMessengers(), live_before - 1);
}

TEST_F(MessengerThreadTest, CopiesAnsweredFromTwoThreadsAtOnceSendOneResponse) {
  constexpr int kMessages = 100;
  BinaryMessengerImpl messenger(messenger_);
  std::vector<ReplyCallback> kept;
  messenger.SetChannelHandler("race", [&kept](const uint8_t*, size_t, ReplyCallback reply) {
    kept.push_back(std::move(reply));
  });
  std::vector<std::shared_ptr<Responses>> responses;
  for (int i = 0; i < kMessages; ++i) {
    responses.push_back(Deliver("race", Hex("00")));
  }

  StderrCapture capture;
  {
    std::vector<ReplyCallback> copies = kept;
    std::thread first([&] {
      for (auto& reply : kept) {
        reply(Hex("00 01").data(), 2);
      }
    });
    std::thread second([&] {
      for (auto& reply : copies) {
        reply(Hex("00 02").data(), 2);
      }
    });
    first.join();
    second.join();
  }
  EXPECT_EQ(capture.Lines().size(), static_cast<size_t>(kMessages));
  for (const auto& response : responses) {
    EXPECT_EQ(response->Count(), 1);
  }
  kept.clear();
  EXPECT_EQ(velora::standin::RefCount(messenger_), 1);
}

TEST_F(MessengerThreadTest, MethodResultAnsweredOnAnotherThread) {
  BinaryMessengerImpl messenger(messenger_);
  MethodCallChannel channel(&messenger, "velora/gpu_texture",
                            &StandardMethodCodec::ForSerializer());
  std::shared_ptr<Responses> response;
  {
    Worker worker;
    channel.InstallCallHandler([&worker](const MethodCall<EncodableValue>&,
                                         std::unique_ptr<MethodResult<EncodableValue>> result) {
      std::shared_ptr<MethodResult<EncodableValue>> shared = std::move(result);
      worker.Post([shared] { shared->Success(EncodableValue(int32_t{5})); });
    });
    response = Deliver("velora/gpu_texture", Join({Hex("07 01"), Ascii("m"), Hex("00")}));
  }
  EXPECT_EQ(response->Count(), 1);
  EXPECT_EQ(response->Last(), Hex("00 03 05 00 00 00"));
}

}  // namespace
}  // namespace testing
}  // namespace flutter
