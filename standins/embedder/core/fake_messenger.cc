#include "standins/embedder/core/fake_messenger.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/platform_queue.h"

// A response handle is a heap object of its own, as the engine's are, so that
// a host that keeps one too long shows up under the sanitizers.
struct FlutterDesktopMessageResponseHandle {
  uint64_t serial = 0;
};

struct FlutterDesktopMessenger {
  struct Channel {
    FlutterDesktopMessageCallback callback = nullptr;
    void* user_data = nullptr;
  };
  struct Pending {
    std::unique_ptr<FlutterDesktopMessageResponseHandle> handle;
    velora::standin::ResponseCallback on_response;
  };

  std::atomic<int> ref_count{1};

  // The lock of FlutterDesktopMessengerLock: re-entrant per thread, and with
  // its owner known, so that a stray unlock is reported rather than undefined.
  std::mutex lock_mutex;
  std::condition_variable lock_released;
  std::thread::id lock_owner;
  int lock_depth = 0;

  // Everything below is guarded by state_mutex. `available` is also atomic
  // so IsAvailable can read it without that mutex; it is written only while
  // the messenger lock is held.
  std::mutex state_mutex;
  std::atomic<bool> available{true};
  std::map<std::string, Channel> channels;
  std::unordered_map<const FlutterDesktopMessageResponseHandle*, Pending> pending;
  uint64_t next_serial = 1;
  std::vector<velora::standin::SentMessage> sent;
  std::shared_ptr<const velora::standin::AppResponder> responder;
  bool refuse_sends = false;
};

namespace velora::standin {

namespace {

// Every messenger not yet deleted. Checked by each entry point, so that a
// handle used after its last release is reported instead of dereferenced.
struct Registry {
  std::mutex mutex;
  std::unordered_set<const FlutterDesktopMessenger*> live;
};

Registry& GetRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

bool IsLive(const FlutterDesktopMessenger* messenger) {
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return registry.live.count(messenger) != 0;
}

bool CheckLive(const FlutterDesktopMessenger* messenger, const char* what) {
  if (messenger != nullptr && IsLive(messenger)) {
    return true;
  }
  ReportContractViolation(what);
  return false;
}

void AcquireLock(FlutterDesktopMessenger* messenger) {
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(messenger->lock_mutex);
  messenger->lock_released.wait(
      lock, [&] { return messenger->lock_depth == 0 || messenger->lock_owner == self; });
  messenger->lock_owner = self;
  ++messenger->lock_depth;
}

bool ReleaseLock(FlutterDesktopMessenger* messenger) {
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> lock(messenger->lock_mutex);
  if (messenger->lock_depth == 0 || messenger->lock_owner != self) {
    return false;
  }
  if (--messenger->lock_depth == 0) {
    messenger->lock_owner = std::thread::id();
    messenger->lock_released.notify_all();
  }
  return true;
}

std::vector<uint8_t> CopyBytes(const uint8_t* data, size_t size) {
  return size == 0 ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
}

// Records an accepted send and lets the Dart side see it later, on the
// platform thread. `reply` is called exactly once from that task when given.
bool AcceptSend(FlutterDesktopMessenger* messenger,
                const char* channel,
                const uint8_t* message,
                size_t message_size,
                bool expects_reply,
                FlutterDesktopBinaryReply reply,
                void* user_data) {
  if (channel == nullptr || (message == nullptr && message_size > 0)) {
    ReportContractViolation("send without a channel name or with missing bytes");
    return false;
  }
  std::shared_ptr<const AppResponder> responder;
  std::vector<uint8_t> bytes = CopyBytes(message, message_size);
  {
    std::lock_guard<std::mutex> lock(messenger->state_mutex);
    if (messenger->refuse_sends || !messenger->available.load()) {
      return false;
    }
    messenger->sent.push_back(SentMessage{channel, bytes, expects_reply});
    responder = messenger->responder;
  }
  if (!responder && reply == nullptr) {
    return true;
  }
  PlatformQueue::Get().Post([responder = std::move(responder), name = std::string(channel),
                             bytes = std::move(bytes), reply, user_data] {
    std::optional<std::vector<uint8_t>> answer;
    if (responder) {
      answer = (*responder)(name, bytes);
    }
    if (reply != nullptr) {
      if (answer && !answer->empty()) {
        reply(answer->data(), answer->size(), user_data);
      } else {
        reply(nullptr, 0, user_data);
      }
    }
  });
  return true;
}

}  // namespace

FlutterDesktopMessengerRef NewMessenger() {
  auto* messenger = new FlutterDesktopMessenger();
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.live.insert(messenger);
  return messenger;
}

void ShutDownMessenger(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "shutdown of an unknown messenger")) {
    return;
  }
  AcquireLock(messenger);
  // Dropped after the state mutex is released: their destructors are the
  // host's and test's code.
  std::map<std::string, FlutterDesktopMessenger::Channel> channels;
  std::unordered_map<const FlutterDesktopMessageResponseHandle*, FlutterDesktopMessenger::Pending>
      pending;
  {
    std::lock_guard<std::mutex> lock(messenger->state_mutex);
    messenger->available.store(false);
    channels.swap(messenger->channels);
    pending.swap(messenger->pending);
  }
  ReleaseLock(messenger);
  pending.clear();
  FlutterDesktopMessengerRelease(messenger);
}

void DeliverToHost(FlutterDesktopMessengerRef messenger,
                   const std::string& channel,
                   std::vector<uint8_t> bytes,
                   ResponseCallback on_response) {
  if (!CheckLive(messenger, "delivery on an unknown messenger")) {
    return;
  }
  FlutterDesktopMessenger::Channel target;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(messenger->state_mutex);
    auto found = messenger->channels.find(channel);
    if (found != messenger->channels.end()) {
      target = found->second;
      auto owned = std::make_unique<FlutterDesktopMessageResponseHandle>();
      owned->serial = messenger->next_serial++;
      handle = owned.get();
      messenger->pending.emplace(
          handle, FlutterDesktopMessenger::Pending{std::move(owned), std::move(on_response)});
    }
  }
  if (handle == nullptr) {
    // Nobody listens: the engine answers such messages itself, empty.
    if (on_response) {
      on_response(std::vector<uint8_t>());
    }
    return;
  }
  FlutterDesktopMessage message = {};
  message.struct_size = sizeof(message);
  message.channel = channel.c_str();
  message.message = bytes.empty() ? nullptr : bytes.data();
  message.message_size = bytes.size();
  message.response_handle = handle;
  target.callback(messenger, &message, target.user_data);
}

void SetAppResponder(FlutterDesktopMessengerRef messenger, AppResponder responder) {
  if (!CheckLive(messenger, "responder for an unknown messenger")) {
    return;
  }
  std::shared_ptr<const AppResponder> shared;
  if (responder) {
    shared = std::make_shared<const AppResponder>(std::move(responder));
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  messenger->responder = std::move(shared);
}

void SetRefuseSends(FlutterDesktopMessengerRef messenger, bool refuse) {
  if (!CheckLive(messenger, "refusal setting for an unknown messenger")) {
    return;
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  messenger->refuse_sends = refuse;
}

std::vector<SentMessage> SentMessages(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "sent messages of an unknown messenger")) {
    return {};
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  return messenger->sent;
}

size_t PendingResponses(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "pending responses of an unknown messenger")) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  return messenger->pending.size();
}

void* ChannelUserData(FlutterDesktopMessengerRef messenger, const std::string& channel) {
  if (!CheckLive(messenger, "channel query on an unknown messenger")) {
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  auto found = messenger->channels.find(channel);
  return found != messenger->channels.end() ? found->second.user_data : nullptr;
}

int RefCount(FlutterDesktopMessengerRef messenger) {
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.live.count(messenger) == 0) {
    return 0;
  }
  return messenger->ref_count.load();
}

int LiveMessengers() {
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return static_cast<int>(registry.live.size());
}

}  // namespace velora::standin

using velora::standin::CheckLive;
using velora::standin::ReportContractViolation;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel,
                                 const uint8_t* message,
                                 const size_t message_size) {
  if (!CheckLive(messenger, "send on an unknown messenger")) {
    return false;
  }
  return velora::standin::AcceptSend(messenger, channel, message, message_size, false, nullptr,
                                     nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          const size_t message_size,
                                          const FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  if (!CheckLive(messenger, "send with reply on an unknown messenger")) {
    return false;
  }
  return velora::standin::AcceptSend(messenger, channel, message, message_size, true, reply,
                                     user_data);
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data,
                                         size_t data_length) {
  if (!CheckLive(messenger, "response on an unknown messenger")) {
    return;
  }
  if (data == nullptr && data_length > 0) {
    ReportContractViolation("response with missing bytes");
    return;
  }
  velora::standin::ResponseCallback on_response;
  {
    std::lock_guard<std::mutex> lock(messenger->state_mutex);
    if (!messenger->available.load()) {
      ReportContractViolation("response after the messenger became unavailable");
      return;
    }
    auto found = messenger->pending.find(handle);
    if (found == messenger->pending.end()) {
      ReportContractViolation("response on an unknown or already used handle");
      return;
    }
    on_response = std::move(found->second.on_response);
    messenger->pending.erase(found);
  }
  if (on_response) {
    on_response(velora::standin::CopyBytes(data, data_length));
  }
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  if (!CheckLive(messenger, "callback on an unknown messenger")) {
    return;
  }
  if (channel == nullptr) {
    ReportContractViolation("callback without a channel name");
    return;
  }
  std::lock_guard<std::mutex> lock(messenger->state_mutex);
  if (!messenger->available.load()) {
    return;  // The engine is gone; nothing will be delivered any more.
  }
  if (callback != nullptr) {
    messenger->channels[channel] = FlutterDesktopMessenger::Channel{callback, user_data};
  } else {
    messenger->channels.erase(channel);
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "reference added to an unknown messenger")) {
    return nullptr;
  }
  messenger->ref_count.fetch_add(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "reference released on an unknown messenger")) {
    return;
  }
  const int left = messenger->ref_count.fetch_sub(1) - 1;
  if (left > 0) {
    return;
  }
  if (left < 0) {
    ReportContractViolation("more references released than taken");
    return;
  }
  {
    velora::standin::Registry& registry = velora::standin::GetRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.erase(messenger);
  }
  delete messenger;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "availability of an unknown messenger")) {
    return false;
  }
  return messenger->available.load();
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "lock of an unknown messenger")) {
    return nullptr;
  }
  velora::standin::AcquireLock(messenger);
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (!CheckLive(messenger, "unlock of an unknown messenger")) {
    return;
  }
  if (!velora::standin::ReleaseLock(messenger)) {
    ReportContractViolation("unlock without holding the lock");
  }
}
