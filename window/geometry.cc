#include "window/geometry.h"

#include <cmath>
#include <limits>

namespace velora {

int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  // Every int32 is exact in a double, so these comparisons are exact too.
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(value);
}

uint32_t TruncateToUint32(double value) {
  if (std::isnan(value) || value <= 0.0) {
    return 0;
  }
  if (value >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
    return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(value);
}

int32_t ClampToInt32(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min()) {
    return std::numeric_limits<int32_t>::min();
  }
  if (value > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(value);
}

int32_t ScaleLogical(int64_t value, double scale) {
  return TruncateToInt32(static_cast<double>(value) * scale);
}

}  // namespace velora
