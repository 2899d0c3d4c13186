#include "host/initial_geometry.h"

#include <algorithm>

namespace velora {

InitialGeometry ComputeInitialGeometry(double scale, const Rect& frame, const Rect* work_area) {
  InitialGeometry result;
  result.origin = kDefaultLogicalOrigin;
  int64_t width = WidthOf(frame);
  int64_t height = HeightOf(frame);
  if (work_area != nullptr) {
    const int64_t work_width = WidthOf(*work_area);
    const int64_t work_height = HeightOf(*work_area);
    width = std::min(width, work_width);
    height = std::min(height, work_height);
    // The halving is integer division, as in the 32-bit original; a frame
    // larger than the work area has been clamped, so the offset is >= 0.
    const int64_t left = work_area->left + (work_width - width) / 2;
    const int64_t top = work_area->top + (work_height - height) / 2;
    result.origin.x = TruncateToInt32(static_cast<double>(left) / scale);
    result.origin.y = TruncateToInt32(static_cast<double>(top) / scale);
  }
  result.size.width = TruncateToInt32(static_cast<double>(width) / scale);
  result.size.height = TruncateToInt32(static_cast<double>(height) / scale);
  return result;
}

}  // namespace velora
