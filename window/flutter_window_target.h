// What the window channel acts on, over the application window: the table
// of the channel sees only this narrow interface, the window keeps its one
// base.
#ifndef VELORA_WINDOW_FLUTTER_WINDOW_TARGET_H_
#define VELORA_WINDOW_FLUTTER_WINDOW_TARGET_H_

#include <cstdint>
#include <optional>
#include <string>

#include "window_channel/window_channel_handler.h"

namespace velora {

class FlutterWindow;

class FlutterWindowTarget : public WindowChannelTarget {
 public:
  // Refers to `window` without owning it.
  explicit FlutterWindowTarget(FlutterWindow& window) : window_(&window) {}

  bool ToggleFullScreen() override;
  bool IsFullScreen() const override;
  std::optional<int64_t> CreateVideoHost() override;
  void DestroyVideoHost() override;
  void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) override;
  void ShowVideoHost(bool visible) override;
  void ApplyNativeVideoMode(bool active,
                            int32_t top_height,
                            int32_t bar_height,
                            std::optional<int32_t> right_padding) override;
  void SetTitleUtf8(const std::string& title) override;
  void ResizeLogical(uint32_t width, uint32_t height) override;
  void ResizeLogicalWidth(uint32_t width) override;
  bool SetSingleInstance(bool enabled) override;
  void SetKeepAwake(bool enabled, bool display) override;
  void SetAlwaysOnTop(bool enabled) override;

 private:
  FlutterWindow* window_;
};

}  // namespace velora

#endif  // VELORA_WINDOW_FLUTTER_WINDOW_TARGET_H_
