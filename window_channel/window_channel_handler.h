// The "velora/window" method table: argument defaults, results and errors.
// The window it acts on is reached through a narrow interface, so the table
// is tested without a window.
#ifndef VELORA_WINDOW_CHANNEL_WINDOW_CHANNEL_HANDLER_H_
#define VELORA_WINDOW_CHANNEL_WINDOW_CHANNEL_HANDLER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace velora {

constexpr char kWindowChannelName[] = "velora/window";

// What the channel can do to the application window. Sizes are logical
// (96-DPI) units, geometry of the video host is in device pixels.
class WindowChannelTarget {
 public:
  virtual ~WindowChannelTarget() = default;

  virtual bool ToggleFullScreen() = 0;
  virtual bool IsFullScreen() const = 0;
  // The host's handle as a 64-bit value, or nothing when it cannot be made.
  virtual std::optional<int64_t> CreateVideoHost() = 0;
  virtual void DestroyVideoHost() = 0;
  virtual void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  virtual void ShowVideoHost(bool visible) = 0;
  // `right_padding` empty keeps the current right padding.
  virtual void ApplyNativeVideoMode(bool active,
                                    int32_t top_height,
                                    int32_t bar_height,
                                    std::optional<int32_t> right_padding) = 0;
  virtual void SetTitleUtf8(const std::string& title) = 0;
  virtual void ResizeLogical(uint32_t width, uint32_t height) = 0;
  virtual void ResizeLogicalWidth(uint32_t width) = 0;
  // Single-instance mode on or off. False when, on turning it on, another
  // host of the session already served: this launch was handed to it and
  // this host closes.
  virtual bool SetSingleInstance(bool enabled) = 0;
  // The system (and with `display` the screen) stays awake while enabled.
  virtual void SetKeepAwake(bool enabled, bool display) = 0;
  // Topmost or not, without activating, moving or sizing the window.
  virtual void SetAlwaysOnTop(bool enabled) = 0;
};

// Answers `result` exactly once, before returning.
void HandleWindowChannelCall(
    WindowChannelTarget& window,
    const flutter::MethodCall<flutter::EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

// The method names the table serves, in the order it compares them.
std::vector<std::string> WindowChannelMethodNames();

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_WINDOW_CHANNEL_HANDLER_H_
