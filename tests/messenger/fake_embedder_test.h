// Fixture of the messenger tests: a fresh stand-in messenger per test, and at
// the end a check that the host broke no embedder contract, left no posted
// task behind and released every messenger reference it took.
#ifndef TESTS_MESSENGER_FAKE_EMBEDDER_TEST_H_
#define TESTS_MESSENGER_FAKE_EMBEDDER_TEST_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "flutter_windows.h"
#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/platform_queue.h"

namespace flutter {
namespace testing {

// What came back for one message delivered to the host.
struct Responses {
  std::mutex mutex;
  int count = 0;
  std::vector<uint8_t> last;

  int Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return count;
  }
  std::vector<uint8_t> Last() {
    std::lock_guard<std::mutex> lock(mutex);
    return last;
  }
};

class FakeEmbedderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    violations_at_start_ = velora::standin::ContractViolations();
    live_at_start_ = velora::standin::LiveMessengers();
    messenger_ = velora::standin::NewMessenger();
  }

  void TearDown() override {
    if (messenger_ != nullptr) {
      velora::standin::ShutDownMessenger(messenger_);
    }
    velora::standin::PlatformQueue::Get().RunPending();
    EXPECT_EQ(velora::standin::PlatformQueue::Get().PendingCount(), 0u);
    EXPECT_EQ(velora::standin::LiveMessengers(), live_at_start_);
    EXPECT_EQ(NewViolations(), expected_violations_);
  }

  int NewViolations() const { return velora::standin::ContractViolations() - violations_at_start_; }

  // Delivers `bytes` on `channel` as the engine would; the host's responses
  // are collected in the returned record.
  std::shared_ptr<Responses> Deliver(const std::string& channel, std::vector<uint8_t> bytes) {
    auto responses = std::make_shared<Responses>();
    velora::standin::DeliverToHost(messenger_, channel, std::move(bytes),
                                   [responses](std::vector<uint8_t> response) {
                                     std::lock_guard<std::mutex> lock(responses->mutex);
                                     ++responses->count;
                                     responses->last = std::move(response);
                                   });
    return responses;
  }

  // Shuts the messenger down now instead of in TearDown.
  void ShutDown() {
    velora::standin::ShutDownMessenger(messenger_);
    messenger_ = nullptr;
  }

  FlutterDesktopMessengerRef messenger_ = nullptr;
  int expected_violations_ = 0;

 private:
  int violations_at_start_ = 0;
  int live_at_start_ = 0;
};

}  // namespace testing
}  // namespace flutter

#endif  // TESTS_MESSENGER_FAKE_EMBEDDER_TEST_H_
