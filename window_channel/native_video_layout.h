// Where the video host goes: the native video area (the client area less a
// top band, a bottom bar and a right strip) and the limits placing and
// showing obey. All values are device pixels of the top-level window's
// client area. Channel integers are unchecked, so every computation runs in
// 64 bits and clamps back to the 32-bit range.
#ifndef VELORA_WINDOW_CHANNEL_NATIVE_VIDEO_LAYOUT_H_
#define VELORA_WINDOW_CHANNEL_NATIVE_VIDEO_LAYOUT_H_

#include <cstddef>
#include <cstdint>

#include "window/geometry.h"

namespace velora {

struct NativeVideoState {
  bool active = false;           // native_video_active
  int32_t top_height_px = 0;     // native_top_height_px
  int32_t bar_height_px = 0;     // native_bar_height_px
  int32_t right_padding_px = 0;  // native_right_padding_px

  bool operator==(const NativeVideoState& other) const {
    return active == other.active && top_height_px == other.top_height_px &&
           bar_height_px == other.bar_height_px && right_padding_px == other.right_padding_px;
  }
};

// A window placement: position and size, as SetWindowPos takes them.
struct Placement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Left 0, top = top band; width = W - right, height = H - top - bar, each
// raised to 1 if smaller.
Placement NativeVideoArea(const NativeVideoState& state,
                          int32_t client_width,
                          int32_t client_height);

// Width of a placed host: w, but no wider than W - right - x (at least 1).
int32_t PlacedHostWidth(int32_t x, int32_t w, int32_t client_width, int32_t right_padding);

// A shown host: at (0, top) with the full client width and the area's height.
Placement ShownHostPlacement(const NativeVideoState& state,
                             int32_t client_width,
                             int32_t client_height);

// While native mode is on, size requests are capped to the area's size.
void LimitHostSize(const NativeVideoState& state,
                   int32_t client_width,
                   int32_t client_height,
                   int& cx,
                   int& cy);

// The run-log line for a change of the native mode settings; false (and no
// line) when nothing changed.
constexpr std::size_t kNativeModeLineCapacity = 256;
bool FormatNativeModeChange(const NativeVideoState& before,
                            const NativeVideoState& after,
                            char (&line)[kNativeModeLineCapacity]);

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_NATIVE_VIDEO_LAYOUT_H_
