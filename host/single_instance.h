// One window, when the Dart side asks for it: the rules by which a launch
// hands its arguments to the host that serves as the session's single
// instance, or becomes that host. The platform (the session object, the
// serving host's window, the hand-over message) sits behind
// InstanceRegistry, so the rules are tested without it.
#ifndef VELORA_HOST_SINGLE_INSTANCE_H_
#define VELORA_HOST_SINGLE_INSTANCE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velora {

// Every host holds this named mutex of the user session open while it runs,
// whatever its single-instance setting, so that an installer can tell
// whether a host runs (OpenMutexW); the single-instance rules take it as
// their lock. docs/channels.md documents it for installers.
constexpr wchar_t kSessionObjectName[] = L"Local\\Ondexa.Velora.Host";
// The class of a serving host's message-only window, which later launches
// find and hand their arguments to (WM_COPYDATA).
constexpr wchar_t kServingWindowClass[] = L"VeloraSingleInstanceWindow";
// COPYDATASTRUCT::dwData of a hand-over, and what a serving host answers
// when it has taken one.
constexpr uint32_t kSecondLaunchTag = 0x56454C31;       // "VEL1"
constexpr uint32_t kSecondLaunchAccepted = 0x56454C41;  // "VELA"

// What a launch hands over: its arguments as the Dart entry point would have
// received them, and its current directory, both UTF-8.
struct SecondLaunch {
  std::vector<std::string> arguments;
  std::string working_directory;

  bool operator==(const SecondLaunch& other) const {
    return arguments == other.arguments && working_directory == other.working_directory;
  }
};

// A command line holds at most 32767 UTF-16 units and so does a path: their
// UTF-8 fits many times over. Larger hand-overs are refused unread.
constexpr size_t kMaxSecondLaunchBytes = size_t{1024} * 1024;

// The standard message codec's bytes of
// {"arguments": [...], "workingDirectory": "..."}.
std::vector<uint8_t> EncodeSecondLaunch(const SecondLaunch& launch);
// Nothing unless the bytes are exactly what EncodeSecondLaunch makes of some
// launch: wrong kinds, missing or extra keys, truncated or trailing bytes
// and sizes above kMaxSecondLaunchBytes are all refused.
std::optional<SecondLaunch> DecodeSecondLaunch(const uint8_t* bytes, size_t size);

// The hosts running in this user session, as far as the single-instance
// rules need them. A host serves (is findable) only while its Dart side has
// single-instance mode on.
class InstanceRegistry {
 public:
  using HostId = uint64_t;
  static constexpr HostId kNoHost = 0;

  virtual ~InstanceRegistry() = default;

  // Keeps other hosts from starting to serve until Unlock(). False when the
  // lock could not be had in time; the caller then goes on without it, so a
  // stuck host can cost a second window but never stops a launch.
  virtual bool Lock() = 0;
  virtual void Unlock() = 0;
  // A host that serves, other than this one, or kNoHost.
  virtual HostId FindServingHost() = 0;
  // True once `host` has accepted the launch (it then shows it to its Dart
  // side); false when it is gone, hangs or refuses.
  virtual bool Deliver(HostId host, const SecondLaunch& launch) = 0;
  // Makes this host findable, or no longer findable.
  virtual void StartServing() = 0;
  virtual void StopServing() = 0;
  virtual bool IsServing() const = 0;
};

// A launch at start-up: the serving host that accepted it (this process then
// ends without a window), or kNoHost: with no serving host, or one that does
// not accept, the launch runs its own host.
InstanceRegistry::HostId HandOverToServingHost(InstanceRegistry& registry,
                                               const SecondLaunch& launch);

enum class SingleInstanceOutcome {
  kServing,     // this host is the session's single instance
  kHandedOver,  // another one already was and took this launch's arguments
};

// "setSingleInstance" {"enabled": true}. Under the lock, this host starts
// serving unless another already does; then this launch is handed to that
// one. A serving host that keeps refusing is given up on after a few
// tries and this host serves as well: two windows, never none.
SingleInstanceOutcome EnableSingleInstance(InstanceRegistry& registry, const SecondLaunch& launch);

}  // namespace velora

#endif  // VELORA_HOST_SINGLE_INSTANCE_H_
