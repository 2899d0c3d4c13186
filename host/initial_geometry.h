// Where the main window goes at start-up and how large it is: the requested
// 1920 x 1188 client rectangle plus its frame, clamped to the work area of
// the monitor and centred in it, converted to logical units.
#ifndef VELORA_HOST_INITIAL_GEOMETRY_H_
#define VELORA_HOST_INITIAL_GEOMETRY_H_

#include <cstdint>

#include "window/geometry.h"

namespace velora {

constexpr Point kDefaultLogicalOrigin{10, 10};
constexpr Rect kRequestedClientRect{0, 0, 1920, 1188};
// WS_OVERLAPPEDWINDOW: the style the frame is computed for (no menu, no
// extended style).
constexpr uint32_t kInitialFrameStyle = 0x00CF0000;

struct InitialGeometry {
  Point origin;  // logical
  Size size;     // logical
};

// `frame` is kRequestedClientRect after the frame adjustment at the
// monitor's DPI (physical pixels); `work_area` is the monitor's work area, or
// null when the monitor query failed.
InitialGeometry ComputeInitialGeometry(double scale, const Rect& frame, const Rect* work_area);

}  // namespace velora

#endif  // VELORA_HOST_INITIAL_GEOMETRY_H_
