// The session's hosts over real Win32: the session object, a serving host's
// window, hand-overs by WM_COPYDATA between threads (each standing for a
// host process, with a message loop of its own), malformed hand-overs, and
// many hosts enabling single-instance mode at once.
#include "host/session_instances.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/win_test_support.h"

namespace velora {
namespace {

bool SessionObjectExists() {
  const HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, kSessionObjectName);
  if (found == nullptr) {
    return false;
  }
  CloseHandle(found);
  return true;
}

// A player of this session that serves would take the tests' launches.
bool NoOtherHostServes() {
  return SessionInstances().FindServingHost() == InstanceRegistry::kNoHost;
}

// Pumps this thread's messages until `done` or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeout_ms = 10000) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() > deadline) {
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    test::PumpMessages();
  }
  return true;
}

TEST(SessionInstancesTest, TheSessionObjectLastsWhileAnyHostHoldsIt) {
  // Another host of this session (a player the user runs) would hold it too.
  const bool held_elsewhere = SessionObjectExists();
  {
    SessionInstances first;
    EXPECT_TRUE(SessionObjectExists());
    {
      SessionInstances second;
      EXPECT_TRUE(second.Lock());
      second.Unlock();
    }
    EXPECT_TRUE(SessionObjectExists());
  }
  if (!held_elsewhere) {
    EXPECT_FALSE(SessionObjectExists());
  }
}

TEST(SessionInstancesTest, AServingHostWithAHandlerTakesWellFormedHandOversOnly) {
  ASSERT_TRUE(NoOtherHostServes()) << "a player of this session serves; close it first";
  std::vector<SecondLaunch> received;
  std::atomic<bool> serving{false};
  std::atomic<bool> stop{false};
  std::thread host([&] {
    SessionInstances instances;
    instances.SetLaunchHandler([&](const SecondLaunch& launch) { received.push_back(launch); });
    instances.StartServing();
    serving = true;
    PumpUntil([&] { return stop.load(); }, 60000);
    instances.StopServing();
  });
  while (!serving) {
    std::this_thread::yield();
  }
  SessionInstances launch;
  const InstanceRegistry::HostId server = launch.FindServingHost();
  ASSERT_NE(server, InstanceRegistry::kNoHost);
  EXPECT_EQ(SessionInstances::ProcessOf(server), GetCurrentProcessId());
  const SecondLaunch film{{"C:\\Vid\xC3\xA9os\\Film.mkv", "", "--start=12"},
                          "C:\\Users\\Zo\xC3\xAB"};
  EXPECT_EQ(HandOverToServingHost(launch, film), server);

  // What another program of the session might send instead.
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(server));
  auto send = [window](ULONG_PTR tag, const std::vector<uint8_t>& bytes) {
    COPYDATASTRUCT data = {};
    data.dwData = tag;
    data.cbData = static_cast<DWORD>(bytes.size());
    data.lpData = bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data());
    DWORD_PTR answer = 12345;
    const LRESULT sent = SendMessageTimeoutW(
        window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 5000, &answer);
    return sent != 0 ? static_cast<long long>(answer) : -1;
  };
  const std::vector<uint8_t> good = EncodeSecondLaunch({{"x"}, "C:\\"});
  EXPECT_EQ(send(kSecondLaunchTag + 1, good), 0);  // another protocol
  EXPECT_EQ(send(kSecondLaunchTag, {}), 0);
  EXPECT_EQ(send(kSecondLaunchTag, std::vector<uint8_t>(good.begin(), good.end() - 1)), 0);
  EXPECT_EQ(send(kSecondLaunchTag, {0x0d, 0xff, 0xff, 0xff, 0xff, 0x7f}), 0);
  EXPECT_EQ(SendMessageW(window, WM_COPYDATA, 0, 0), 0);  // no data at all
  EXPECT_EQ(send(kSecondLaunchTag, good), static_cast<long long>(kSecondLaunchAccepted));

  stop = true;
  host.join();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], film);
  EXPECT_EQ(received[1], (SecondLaunch{{"x"}, "C:\\"}));
  // Once it stopped serving, nobody takes a launch.
  EXPECT_EQ(launch.FindServingHost(), InstanceRegistry::kNoHost);
  EXPECT_EQ(HandOverToServingHost(launch, film), InstanceRegistry::kNoHost);

  // A host is never the serving host it looks for, and one without a
  // handler refuses (same thread: the message is handled at once).
  SessionInstances unready;
  unready.StartServing();
  EXPECT_EQ(unready.FindServingHost(), InstanceRegistry::kNoHost);
  const InstanceRegistry::HostId bare = launch.FindServingHost();
  ASSERT_NE(bare, InstanceRegistry::kNoHost);
  EXPECT_FALSE(launch.Deliver(bare, film));
  unready.StopServing();
  EXPECT_FALSE(unready.IsServing());
  EXPECT_EQ(launch.FindServingHost(), InstanceRegistry::kNoHost);
}

TEST(SessionInstancesTest, HostsEnablingAtOnceEndWithOneServingAndEveryLaunchDelivered) {
  ASSERT_TRUE(NoOtherHostServes()) << "a player of this session serves; close it first";
  constexpr int kHosts = 6;
  constexpr int kRounds = 20;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    std::atomic<int> ready{0};
    std::atomic<int> decided{0};
    std::atomic<int> handed{0};
    std::mutex received_lock;
    std::vector<std::string> received;
    std::vector<SingleInstanceOutcome> outcomes(kHosts);
    std::vector<std::thread> hosts;
    for (int i = 0; i < kHosts; ++i) {
      hosts.emplace_back([&, i] {
        SessionInstances instances;
        instances.SetLaunchHandler([&](const SecondLaunch& launch) {
          std::lock_guard<std::mutex> hold(received_lock);
          received.push_back(launch.arguments.at(0));
        });
        ++ready;
        while (ready.load() < kHosts) {
          std::this_thread::yield();
        }
        outcomes[i] = EnableSingleInstance(instances, {{"host " + std::to_string(i)}, "C:\\"});
        if (outcomes[i] == SingleInstanceOutcome::kHandedOver) {
          ++handed;
        }
        ++decided;
        // A serving host keeps its loop running until every other host has
        // decided, as the host's message loop would.
        if (instances.IsServing()) {
          PumpUntil([&] { return decided.load() == kHosts; }, 30000);
          instances.StopServing();
        }
      });
    }
    for (std::thread& host : hosts) {
      host.join();
    }
    int serving = 0;
    for (SingleInstanceOutcome outcome : outcomes) {
      serving += outcome == SingleInstanceOutcome::kServing;
    }
    EXPECT_EQ(serving, 1);
    EXPECT_EQ(handed.load(), kHosts - 1);
    EXPECT_EQ(received.size(), size_t{kHosts - 1});
    for (int i = 0; i < kHosts; ++i) {
      const std::string name = "host " + std::to_string(i);
      const bool delivered = std::find(received.begin(), received.end(), name) != received.end();
      EXPECT_EQ(delivered, outcomes[i] == SingleInstanceOutcome::kHandedOver) << name;
    }
  }
}

}  // namespace
}  // namespace velora
