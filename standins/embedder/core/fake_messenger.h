// The messenger of the stand-in embedder: the nine FlutterDesktopMessenger*
// functions of flutter_windows.h over an in-process object, plus a control API
// through which the engine stand-in (or a native test) plays the Dart side.
//
// Contracts kept:
// - every message delivered to the host carries its own response handle and
//   takes one response; a second response on a handle, a response after
//   shutdown or on a foreign handle is a contract violation;
// - SendWithReply either refuses (returns false, never calls back) or calls
//   the reply exactly once, later, from a task on the PlatformQueue;
// - Lock/Unlock hold a lock (re-entrant on one thread) under which the
//   availability changes, so a response checked and sent under it cannot race
//   with shutdown;
// - the object is reference counted (atomically) and deleted when the last
//   reference goes; every C function first checks that the handle names a
//   live messenger, so a use after the last release is reported instead of
//   touching freed memory.
#ifndef VELORA_STANDINS_EMBEDDER_CORE_FAKE_MESSENGER_H_
#define VELORA_STANDINS_EMBEDDER_CORE_FAKE_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "flutter_windows.h"
#include "standins/embedder/core/standin_export.h"

namespace velora::standin {

// One message the host sent towards the Dart side.
struct SentMessage {
  std::string channel;
  std::vector<uint8_t> bytes;
  bool expects_reply = false;
};

// Receives the host's response to a delivered message (empty for an empty
// response). Runs on the thread that sends the response, while that thread
// holds the messenger lock: it must not wait for another thread that may
// take the lock (a shutdown on the platform thread, for one).
using ResponseCallback = std::function<void(std::vector<uint8_t> response)>;

// Plays the Dart side of host sends: returns the reply bytes, or nullopt for
// an empty reply. Runs later, on the platform thread (from a PlatformQueue
// task), once for every accepted send; its answer is used only when the host
// expects a reply.
using AppResponder =
    std::function<std::optional<std::vector<uint8_t>>(const std::string& channel,
                                                      const std::vector<uint8_t>& bytes)>;

// A new messenger holding one reference (the creator's), available.
VELORA_STANDIN_EXPORT FlutterDesktopMessengerRef NewMessenger();

// The engine goes away: under the messenger lock the messenger becomes
// unavailable, its channel callbacks and unanswered messages are dropped;
// then the creator's reference is released. Host code holding references
// keeps the object alive but can no longer respond or send.
VELORA_STANDIN_EXPORT void ShutDownMessenger(FlutterDesktopMessengerRef messenger);

// Delivers `bytes` on `channel` to the host's installed callback, on the
// calling thread, before returning. The host's response reaches
// `on_response` (may be empty) whenever and on whichever thread it is sent.
// With no callback installed the message is answered empty at once.
VELORA_STANDIN_EXPORT void DeliverToHost(FlutterDesktopMessengerRef messenger,
                                         const std::string& channel,
                                         std::vector<uint8_t> bytes,
                                         ResponseCallback on_response);

// Replaces the Dart side's answering of host sends; empty answers every send
// with an empty reply.
VELORA_STANDIN_EXPORT void SetAppResponder(FlutterDesktopMessengerRef messenger,
                                           AppResponder responder);

// While set, Send and SendWithReply refuse every message (return false).
VELORA_STANDIN_EXPORT void SetRefuseSends(FlutterDesktopMessengerRef messenger, bool refuse);

// Accepted sends, in order.
VELORA_STANDIN_EXPORT std::vector<SentMessage> SentMessages(FlutterDesktopMessengerRef messenger);

// Messages delivered to the host and not yet answered.
VELORA_STANDIN_EXPORT size_t PendingResponses(FlutterDesktopMessengerRef messenger);

// The user data the host installed with its callback for `channel`, or
// nullptr when no callback is installed.
VELORA_STANDIN_EXPORT void* ChannelUserData(FlutterDesktopMessengerRef messenger,
                                            const std::string& channel);

// References held on a live messenger; 0 once it has been deleted.
VELORA_STANDIN_EXPORT int RefCount(FlutterDesktopMessengerRef messenger);

// Messenger objects created and not yet deleted, in the whole process.
VELORA_STANDIN_EXPORT int LiveMessengers();

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_CORE_FAKE_MESSENGER_H_
