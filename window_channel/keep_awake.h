// What "setKeepAwake" asks of the platform: the thread execution state the
// platform thread holds (SetThreadExecutionState) while it is on, and the
// one that gives it back.
#ifndef VELORA_WINDOW_CHANNEL_KEEP_AWAKE_H_
#define VELORA_WINDOW_CHANNEL_KEEP_AWAKE_H_

#include <cstdint>

namespace velora {

// ES_CONTINUOUS, ES_SYSTEM_REQUIRED and ES_DISPLAY_REQUIRED of winbase.h.
constexpr uint32_t kExecutionContinuous = 0x80000000u;
constexpr uint32_t kExecutionSystemRequired = 0x00000001u;
constexpr uint32_t kExecutionDisplayRequired = 0x00000002u;

// On: the system stays awake, and with `display` the screen stays on, until
// the state is set again; off: continuous with no requirement, which gives
// both back.
constexpr uint32_t ExecutionStateFor(bool enabled, bool display) {
  if (!enabled) {
    return kExecutionContinuous;
  }
  return kExecutionContinuous | kExecutionSystemRequired |
         (display ? kExecutionDisplayRequired : 0u);
}

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_KEEP_AWAKE_H_
