// Plain geometry values and the conversions every window subsystem shares.
// Logical values are 96-DPI units; the scale of a monitor is its DPI / 96.
#ifndef VELORA_WINDOW_GEOMETRY_H_
#define VELORA_WINDOW_GEOMETRY_H_

#include <cstdint>

namespace velora {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

struct Size {
  int32_t width = 0;
  int32_t height = 0;
};

// Same member order as the platform's RECT.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

constexpr double kReferenceDpi = 96.0;

inline double ScaleForDpi(uint32_t dpi) {
  return dpi / kReferenceDpi;
}

// Converts toward zero like a C cast, but saturates where a cast would be
// undefined: out-of-range values clamp to the type's limits, NaN gives 0.
int32_t TruncateToInt32(double value);
uint32_t TruncateToUint32(double value);

// Clamps a 64-bit intermediate into the 32-bit range.
int32_t ClampToInt32(int64_t value);

// The width and height of a rectangle: a Rect or the platform's RECT, whose
// members have the same names. Exact in 64 bits for any 32-bit edges.
template <typename Rectangle>
constexpr int64_t WidthOf(const Rectangle& rect) {
  return int64_t{rect.right} - rect.left;
}
template <typename Rectangle>
constexpr int64_t HeightOf(const Rectangle& rect) {
  return int64_t{rect.bottom} - rect.top;
}

// The same saturated to the 32-bit sizes the platform's calls take.
template <typename Rectangle>
int32_t ClampedWidthOf(const Rectangle& rect) {
  return ClampToInt32(WidthOf(rect));
}
template <typename Rectangle>
int32_t ClampedHeightOf(const Rectangle& rect) {
  return ClampToInt32(HeightOf(rect));
}

// trunc(value * scale), saturating.
int32_t ScaleLogical(int64_t value, double scale);

}  // namespace velora

#endif  // VELORA_WINDOW_GEOMETRY_H_
