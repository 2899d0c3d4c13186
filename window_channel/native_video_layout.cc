#include "window_channel/native_video_layout.h"

#include <algorithm>
#include <cstdio>

namespace velora {

namespace {

int32_t AtLeastOne(int64_t value) {
  return ClampToInt32(std::max<int64_t>(value, 1));
}

int32_t AreaHeight(const NativeVideoState& state, int32_t client_height) {
  return AtLeastOne(int64_t{client_height} - state.top_height_px - state.bar_height_px);
}

}  // namespace

Placement NativeVideoArea(const NativeVideoState& state,
                          int32_t client_width,
                          int32_t client_height) {
  return Placement{0, state.top_height_px,
                   AtLeastOne(int64_t{client_width} - state.right_padding_px),
                   AreaHeight(state, client_height)};
}

int32_t PlacedHostWidth(int32_t x, int32_t w, int32_t client_width, int32_t right_padding) {
  const int32_t available = AtLeastOne(int64_t{client_width} - right_padding - x);
  return std::min(w, available);
}

Placement ShownHostPlacement(const NativeVideoState& state,
                             int32_t client_width,
                             int32_t client_height) {
  return Placement{0, state.top_height_px, client_width, AreaHeight(state, client_height)};
}

void LimitHostSize(const NativeVideoState& state,
                   int32_t client_width,
                   int32_t client_height,
                   int& cx,
                   int& cy) {
  const Placement area = NativeVideoArea(state, client_width, client_height);
  cx = std::min(cx, area.width);
  cy = std::min(cy, area.height);
}

bool FormatNativeModeChange(const NativeVideoState& before,
                            const NativeVideoState& after,
                            char (&line)[kNativeModeLineCapacity]) {
  line[0] = '\0';
  if (before == after) {
    return false;
  }
  (void)std::snprintf(
      line, sizeof line, "setNativeVideoMode: active %d->%d top %d->%d bar %d->%d right %d->%d",
      before.active ? 1 : 0, after.active ? 1 : 0, before.top_height_px, after.top_height_px,
      before.bar_height_px, after.bar_height_px, before.right_padding_px, after.right_padding_px);
  return true;
}

}  // namespace velora
