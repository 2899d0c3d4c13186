// The single-instance rules against registries that record what they are
// asked, and the hand-over's bytes: round trips, the exact wire form, and
// every way a hand-over from another process can be malformed.
#include "host/single_instance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace velora {
namespace {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::optional<SecondLaunch> Decode(const Bytes& bytes) {
  return DecodeSecondLaunch(bytes.data(), bytes.size());
}

TEST(SecondLaunchCodingTest, RoundTripsAndHasTheStandardCodecsBytes) {
  const SecondLaunch small{{"a"}, "C:\\"};
  // {"arguments": ["a"], "workingDirectory": "C:\"}, keys in map order.
  const Bytes golden = FromHex(
      "0d02"
      "0709617267756d656e7473"
      "0c01070161"
      "0710776f726b696e674469726563746f7279"
      "0703433a5c");
  EXPECT_EQ(EncodeSecondLaunch(small), golden);
  EXPECT_EQ(Decode(golden), small);

  const std::vector<SecondLaunch> launches = {
      {{}, ""},
      {{"", "", ""}, "C:\\"},
      {{"C:\\Vid\xC3\xA9os\\Caf\xC3\xA9 \xE2\x80\x94 Film.mkv", "--start=12", ""},
       "C:\\Users\\Zo\xC3\xAB"},
      {Strings(2000, std::string(300, 'x')), std::string(32767, 'd')},
  };
  for (const SecondLaunch& launch : launches) {
    const Bytes bytes = EncodeSecondLaunch(launch);
    EXPECT_EQ(Decode(bytes), launch) << launch.arguments.size();
  }
}

TEST(SecondLaunchCodingTest, RefusesEverythingButWhatItEncodes) {
  const Bytes whole = EncodeSecondLaunch({{"one", "two"}, "C:\\w"});
  // Every cut of the message, and a byte more.
  for (size_t size = 0; size < whole.size(); ++size) {
    EXPECT_FALSE(DecodeSecondLaunch(whole.data(), size).has_value()) << size;
  }
  Bytes longer = whole;
  longer.push_back(0);
  EXPECT_FALSE(Decode(longer).has_value());
  EXPECT_FALSE(DecodeSecondLaunch(nullptr, 10).has_value());

  const std::vector<std::string> refused = {
      "00",                                            // null
      "0c00",                                          // a list
      "0d00",                                          // an empty map
      "0d010709617267756d656e74730c00",                // no directory
      "0d010710776f726b696e674469726563746f72790700",  // no arguments
      // arguments as a string
      "0d020709617267756d656e7473070161"
      "0710776f726b696e674469726563746f72790700",
      // an argument that is an int32
      "0d020709617267756d656e74730c010301000000"
      "0710776f726b696e674469726563746f72790700",
      // the directory as null
      "0d020709617267756d656e74730c00"
      "0710776f726b696e674469726563746f727900",
      // a third key
      "0d030705657874726100"
      "0709617267756d656e74730c00"
      "0710776f726b696e674469726563746f72790700",
      // a list announcing 2^31 elements
      "0d020709617267756d656e74730cffffffff7f"
      "0710776f726b696e674469726563746f72790700",
  };
  for (const std::string& hex : refused) {
    EXPECT_FALSE(Decode(FromHex(hex)).has_value()) << hex;
  }
  // Nesting far beyond the codec's bound is read as null, hence refused.
  Bytes deep;
  for (int i = 0; i < 100000; ++i) {
    deep.push_back(0x0c);
    deep.push_back(0x01);
  }
  deep.push_back(0x00);
  EXPECT_FALSE(Decode(deep).has_value());

  // Larger than any command line: refused unread.
  const Bytes huge = EncodeSecondLaunch({Strings(5000, std::string(300, 'y')), "C:\\"});
  ASSERT_GT(huge.size(), kMaxSecondLaunchBytes);
  EXPECT_FALSE(Decode(huge).has_value());
}

// Records every request, whether the lock was held at the time, and answers
// deliveries from a script.
class ScriptedRegistry : public InstanceRegistry {
 public:
  Strings calls;
  bool lock_available = true;
  HostId other = kNoHost;
  // Deliveries refused before one is accepted; negative: all refused.
  int refusals = 0;
  bool serving = false;

  bool Lock() override {
    calls.push_back(lock_available ? "lock" : "lock (refused)");
    locked_ = lock_available;
    return lock_available;
  }
  void Unlock() override {
    calls.push_back("unlock");
    locked_ = false;
  }
  HostId FindServingHost() override {
    calls.push_back("find");
    return other;
  }
  bool Deliver(HostId host, const SecondLaunch& launch) override {
    calls.push_back("deliver " + std::to_string(host) + " " + launch.arguments.at(0) +
                    (locked_ ? " (locked)" : ""));
    if (refusals < 0) {
      return false;
    }
    return refusals-- == 0;
  }
  void StartServing() override {
    calls.push_back(locked_ ? "serve (locked)" : "serve");
    serving = true;
  }
  void StopServing() override { serving = false; }
  bool IsServing() const override { return serving; }

 private:
  bool locked_ = false;
};

const SecondLaunch kLaunch{{"film.mkv"}, "C:\\"};

TEST(SingleInstanceRulesTest, AtStartUpOnlyAServingHostThatAcceptsTakesTheLaunch) {
  ScriptedRegistry none;
  EXPECT_EQ(HandOverToServingHost(none, kLaunch), InstanceRegistry::kNoHost);
  EXPECT_EQ(none.calls, Strings{"find"});

  ScriptedRegistry accepting;
  accepting.other = 42;
  EXPECT_EQ(HandOverToServingHost(accepting, kLaunch), 42u);
  EXPECT_EQ(accepting.calls, (Strings{"find", "deliver 42 film.mkv"}));
  EXPECT_FALSE(accepting.serving);

  // A host that refuses (or is gone) means a host of our own.
  ScriptedRegistry refusing;
  refusing.other = 42;
  refusing.refusals = -1;
  EXPECT_EQ(HandOverToServingHost(refusing, kLaunch), InstanceRegistry::kNoHost);
  EXPECT_EQ(refusing.calls.size(), 2u);
}

TEST(SingleInstanceRulesTest, EnablingServesUnderTheLockOrHandsOverOutsideIt) {
  ScriptedRegistry first;
  EXPECT_EQ(EnableSingleInstance(first, kLaunch), SingleInstanceOutcome::kServing);
  EXPECT_EQ(first.calls, (Strings{"lock", "find", "serve (locked)", "unlock"}));
  // Again: already serving, nothing to ask.
  first.calls.clear();
  EXPECT_EQ(EnableSingleInstance(first, kLaunch), SingleInstanceOutcome::kServing);
  EXPECT_TRUE(first.calls.empty());

  ScriptedRegistry later;
  later.other = 7;
  EXPECT_EQ(EnableSingleInstance(later, kLaunch), SingleInstanceOutcome::kHandedOver);
  EXPECT_EQ(later.calls, (Strings{"lock", "find", "unlock", "deliver 7 film.mkv"}));
  EXPECT_FALSE(later.serving);

  // Refused twice, then taken.
  ScriptedRegistry slow;
  slow.other = 7;
  slow.refusals = 2;
  EXPECT_EQ(EnableSingleInstance(slow, kLaunch), SingleInstanceOutcome::kHandedOver);
  EXPECT_EQ(slow.calls.size(), 12u);

  // Refused every time: this host serves as well rather than close.
  ScriptedRegistry stuck;
  stuck.other = 7;
  stuck.refusals = -1;
  EXPECT_EQ(EnableSingleInstance(stuck, kLaunch), SingleInstanceOutcome::kServing);
  EXPECT_EQ(stuck.calls.back(), "unlock");
  EXPECT_EQ(stuck.calls[stuck.calls.size() - 2], "serve (locked)");
  EXPECT_TRUE(stuck.serving);

  // Without the lock (a stuck holder) it still decides, unlocked.
  ScriptedRegistry unlocked;
  unlocked.lock_available = false;
  EXPECT_EQ(EnableSingleInstance(unlocked, kLaunch), SingleInstanceOutcome::kServing);
  EXPECT_EQ(unlocked.calls, (Strings{"lock (refused)", "find", "serve"}));
}

// Hosts on threads of their own over one shared session: a real lock, and
// deliveries that only a host still serving accepts.
struct Session {
  std::mutex election;
  std::mutex state;
  std::set<InstanceRegistry::HostId> serving;
  std::map<InstanceRegistry::HostId, Strings> received;
};

class SessionView : public InstanceRegistry {
 public:
  SessionView(Session& session, HostId id) : session_(session), id_(id) {}

  bool Lock() override {
    session_.election.lock();
    return true;
  }
  void Unlock() override { session_.election.unlock(); }
  HostId FindServingHost() override {
    std::lock_guard<std::mutex> hold(session_.state);
    for (HostId host : session_.serving) {
      if (host != id_) {
        return host;
      }
    }
    return kNoHost;
  }
  bool Deliver(HostId host, const SecondLaunch& launch) override {
    std::lock_guard<std::mutex> hold(session_.state);
    if (session_.serving.count(host) == 0) {
      return false;
    }
    session_.received[host].push_back(launch.arguments.at(0));
    return true;
  }
  void StartServing() override {
    std::lock_guard<std::mutex> hold(session_.state);
    session_.serving.insert(id_);
  }
  void StopServing() override {
    std::lock_guard<std::mutex> hold(session_.state);
    session_.serving.erase(id_);
  }
  bool IsServing() const override {
    std::lock_guard<std::mutex> hold(session_.state);
    return session_.serving.count(id_) != 0;
  }

 private:
  Session& session_;
  HostId id_;
};

TEST(SingleInstanceRulesTest, HostsEnablingAtOnceEndWithOneServingAndEveryOtherLaunchDelivered) {
  constexpr int kHosts = 8;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    Session session;
    // In odd rounds a host that starts serving quits again at once, as one
    // whose window closes would: the others must find another way.
    const bool quitting_server = round % 2 == 1;
    std::atomic<int> ready{0};
    std::vector<SingleInstanceOutcome> outcomes(kHosts);
    std::vector<std::thread> hosts;
    for (int i = 0; i < kHosts; ++i) {
      hosts.emplace_back([&, i] {
        SessionView view(session, static_cast<InstanceRegistry::HostId>(i + 1));
        ++ready;
        while (ready.load() < kHosts) {
          std::this_thread::yield();
        }
        outcomes[i] = EnableSingleInstance(view, {{"host " + std::to_string(i)}, "C:\\"});
        if (outcomes[i] == SingleInstanceOutcome::kServing && quitting_server) {
          std::lock_guard<std::mutex> hold(session.state);
          if (session.serving.size() == 1 && i % 2 == 0) {
            session.serving.erase(static_cast<InstanceRegistry::HostId>(i + 1));
          }
        }
      });
    }
    for (std::thread& host : hosts) {
      host.join();
    }
    // Never none: each launch either serves or reached exactly one host.
    std::map<std::string, int> deliveries;
    for (const auto& [host, launches] : session.received) {
      for (const std::string& launch : launches) {
        ++deliveries[launch];
      }
    }
    int serving = 0;
    for (int i = 0; i < kHosts; ++i) {
      const std::string name = "host " + std::to_string(i);
      if (outcomes[i] == SingleInstanceOutcome::kServing) {
        ++serving;
        EXPECT_EQ(deliveries.count(name), 0u) << name;
      } else {
        EXPECT_EQ(deliveries[name], 1) << name;
      }
    }
    if (!quitting_server) {
      // One window, every other launch handed to it.
      EXPECT_EQ(serving, 1);
      ASSERT_EQ(session.serving.size(), 1u);
      EXPECT_EQ(session.received[*session.serving.begin()].size(), size_t{kHosts - 1});
    } else {
      EXPECT_GE(serving, 1);
    }
  }
}

}  // namespace
}  // namespace velora
