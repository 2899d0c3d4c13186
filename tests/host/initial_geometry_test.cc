#include "host/initial_geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace velora {
namespace {

// Frame-inclusive rectangles as the platform adjusts 0,0,1920,1188 for
// WS_OVERLAPPEDWINDOW at each DPI (typical metrics; the values only need to
// be plausible, the rules are what is tested).
constexpr Rect kFrameAt96{-8, -31, 1928, 1196};    // 1936 x 1227
constexpr Rect kFrameAt144{-11, -45, 1931, 1199};  // 1942 x 1244
constexpr Rect kFrameAt192{-15, -61, 1935, 1203};  // 1950 x 1264

TEST(InitialGeometryTest, LargeWorkAreaCentresTheFrameInclusiveRectangle) {
  const Rect work{0, 0, 2560, 1560};
  const InitialGeometry at96 = ComputeInitialGeometry(1.0, kFrameAt96, &work);
  EXPECT_EQ(at96.origin.x, (2560 - 1936) / 2);
  EXPECT_EQ(at96.origin.y, (1560 - 1227) / 2);  // 166: the halving truncates
  EXPECT_EQ(at96.size.width, 1936);
  EXPECT_EQ(at96.size.height, 1227);

  // A work area that does not start at the origin (taskbar on the left).
  const Rect shifted{100, 40, 2660, 1600};
  const InitialGeometry moved = ComputeInitialGeometry(1.0, kFrameAt96, &shifted);
  EXPECT_EQ(moved.origin.x, 100 + 312);
  EXPECT_EQ(moved.origin.y, 40 + 166);
}

TEST(InitialGeometryTest, SmallWorkAreaClampsAndPutsTheWindowAtItsCorner) {
  const Rect work{0, 0, 1920, 1040};
  const InitialGeometry at96 = ComputeInitialGeometry(1.0, kFrameAt96, &work);
  EXPECT_EQ(at96.origin.x, 0);
  EXPECT_EQ(at96.origin.y, 0);
  EXPECT_EQ(at96.size.width, 1920);
  EXPECT_EQ(at96.size.height, 1040);

  // Only the dimension that does not fit is clamped.
  const Rect wide{0, 0, 3000, 1000};
  const InitialGeometry half = ComputeInitialGeometry(1.0, kFrameAt96, &wide);
  EXPECT_EQ(half.size.width, 1936);
  EXPECT_EQ(half.size.height, 1000);
  EXPECT_EQ(half.origin.x, (3000 - 1936) / 2);
  EXPECT_EQ(half.origin.y, 0);
}

TEST(InitialGeometryTest, ScaledMonitorsDivideOriginAndSizeAndTruncate) {
  const Rect work{0, 0, 3840, 2160};
  const InitialGeometry at144 = ComputeInitialGeometry(1.5, kFrameAt144, &work);
  EXPECT_EQ(at144.origin.x, 632);     // (0 + (3840 - 1942) / 2) / 1.5 = 949 / 1.5 = 632.67
  EXPECT_EQ(at144.origin.y, 305);     // (2160 - 1244) / 2 = 458; 458 / 1.5 = 305.33
  EXPECT_EQ(at144.size.width, 1294);  // 1942 / 1.5 = 1294.67
  EXPECT_EQ(at144.size.height, 829);  // 1244 / 1.5 = 829.33

  const InitialGeometry at192 = ComputeInitialGeometry(2.0, kFrameAt192, &work);
  EXPECT_EQ(at192.origin.x, 472);  // (3840 - 1950) / 2 = 945; / 2 = 472.5
  EXPECT_EQ(at192.origin.y, 224);  // (2160 - 1264) / 2 = 448
  EXPECT_EQ(at192.size.width, 975);
  EXPECT_EQ(at192.size.height, 632);

  // Clamped at 192 DPI: a 1920 x 1080 work area halves to 960 x 540.
  const Rect small{0, 0, 1920, 1080};
  const InitialGeometry clamped = ComputeInitialGeometry(2.0, kFrameAt192, &small);
  EXPECT_EQ(clamped.origin.x, 0);
  EXPECT_EQ(clamped.origin.y, 0);
  EXPECT_EQ(clamped.size.width, 960);
  EXPECT_EQ(clamped.size.height, 540);
}

TEST(InitialGeometryTest, FailedMonitorQueryKeepsDefaultOriginAndUnclampedSize) {
  const InitialGeometry at96 = ComputeInitialGeometry(1.0, kFrameAt96, nullptr);
  EXPECT_EQ(at96.origin.x, 10);
  EXPECT_EQ(at96.origin.y, 10);
  EXPECT_EQ(at96.size.width, 1936);
  EXPECT_EQ(at96.size.height, 1227);

  // The origin stays logical (10, 10) whatever the scale; the size divides.
  const InitialGeometry at192 = ComputeInitialGeometry(2.0, kFrameAt192, nullptr);
  EXPECT_EQ(at192.origin.x, 10);
  EXPECT_EQ(at192.origin.y, 10);
  EXPECT_EQ(at192.size.width, 975);
  EXPECT_EQ(at192.size.height, 632);
}

TEST(InitialGeometryTest, DegenerateInputsSaturateInsteadOfOverflowing) {
  // A zero DPI gives a zero scale: the divisions yield infinities, which
  // saturate rather than being converted with undefined behaviour.
  const Rect work{0, 0, 1920, 1080};
  const InitialGeometry zero = ComputeInitialGeometry(0.0, kFrameAt96, &work);
  EXPECT_EQ(zero.size.width, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(zero.origin.x, 0);  // 0 / 0 is NaN, which reads as 0

  const Rect huge{std::numeric_limits<int32_t>::min(), 0, std::numeric_limits<int32_t>::max(), 10};
  const InitialGeometry wide = ComputeInitialGeometry(0.5, kFrameAt96, &huge);
  EXPECT_EQ(wide.size.width, 1936 * 2);
  EXPECT_EQ(wide.size.height, 20);
}

}  // namespace
}  // namespace velora
