// Scenario files: what the stand-in's app side does, one step per line.
//
//   # a comment
//   call CHANNEL METHOD [VALUE]   send a method call (VALUE in value_text form,
//                                 absent means null) and record the reply
//   send CHANNEL HEX              send raw bytes and record the reply
//   post MSG [WPARAM [LPARAM]]    PostMessage to the top-level window
//   sendmsg MSG [WPARAM [LPARAM]] SendMessage to the top-level window, result recorded
//   sleep MS                      let the message loop run for MS milliseconds
//   window                        record the top-level window's state
//   children                      record its child windows, topmost first
//   monitor                       record the monitor nearest to it, as the host sees it
//   engine                        record what the engine received and counted
//   frame                         produce the first frame (with "noframe")
//   noframe                       (first line) the app does not render by itself
//   childmsg CLASS MSG [W [L]]    SendMessage to the first child of that class, result recorded
//   offered MSG                   record how often MSG was offered to the engine so far
//   close                         post WM_CLOSE to the top-level window
//   crash                         fault on the platform thread: a call to address 0x1000
//   resources                     record the process's memory, handle, GDI, USER and
//                                 window counts
//   refusesends 0|1               the messenger refuses (1) or takes (0) the host's sends
//   nexttextureid ID              the next texture registration returns ID (0: refused)
//   frames ID COUNT               a renderer thread calls gpu_texture_mark_frame_available
//                                 COUNT times with ID; the step waits for it
//   gate NAME                     wait (at most 60 s) until the test opens the gate NAME,
//                                 a named event Local\velora_gate_NAME
//   zorder                        raise a window of the app's own above the others without
//                                 activating it, then record whether the host's window
//                                 still lies above it (topmost), and which was in front
//   execstate                     record the platform thread's execution state and the
//                                 system's; the end of the engine records the thread's again
//
// MSG, WPARAM and LPARAM are decimal or 0x-hexadecimal numbers.
#ifndef VELORA_STANDINS_EMBEDDER_SCENARIO_SCENARIO_H_
#define VELORA_STANDINS_EMBEDDER_SCENARIO_SCENARIO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velora::standin {

struct ScenarioStep {
  enum class Kind {
    kCall,
    kSend,
    kPost,
    kSendMessage,
    kChildMessage,
    kOffered,
    kSleep,
    kWindow,
    kChildren,
    kMonitor,
    kEngine,
    kFrame,
    kClose,
    kCrash,
    kResources,
    kRefuseSends,
    kNextTextureId,
    kFrames,
    kGate,
    kZOrder,
    kExecState
  };
  Kind kind = Kind::kWindow;
  int line = 0;
  std::string text;            // the step as written, for the transcript
  std::string channel;         // call, send; the class for childmsg; the gate's name
  std::vector<uint8_t> bytes;  // the encoded message (call, send)
  uint32_t message = 0;        // post, sendmsg
  uint64_t wparam = 0;
  int64_t lparam = 0;
  uint32_t milliseconds = 0;  // sleep
  int64_t number = 0;         // refusesends, nexttextureid, frames (the id)
  uint32_t count = 0;         // frames
};

struct Scenario {
  bool auto_first_frame = true;
  bool repeat_next_frame_callback = false;
  std::vector<ScenarioStep> steps;
};

// The scenario, or nothing with "line N: reason" in `error`.
std::optional<Scenario> ParseScenario(std::string_view text, std::string* error);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_SCENARIO_SCENARIO_H_
