#include "window/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velora {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(GeometryTest, TruncationMatchesACastInRangeAndSaturatesOutside) {
  EXPECT_EQ(TruncateToInt32(1201.5), 1201);
  EXPECT_EQ(TruncateToInt32(-1.9), -1);
  EXPECT_EQ(TruncateToInt32(-0.5), 0);
  EXPECT_EQ(TruncateToInt32(2147483647.9), kMax);
  EXPECT_EQ(TruncateToInt32(-2147483648.9), kMin);
  EXPECT_EQ(TruncateToInt32(1e300), kMax);
  EXPECT_EQ(TruncateToInt32(-1e300), kMin);
  EXPECT_EQ(TruncateToInt32(INFINITY), kMax);
  EXPECT_EQ(TruncateToInt32(-INFINITY), kMin);
  EXPECT_EQ(TruncateToInt32(std::nan("")), 0);

  EXPECT_EQ(TruncateToUint32(4294967295.5), 4294967295u);
  EXPECT_EQ(TruncateToUint32(4294967296.0), 4294967295u);
  EXPECT_EQ(TruncateToUint32(-3.0), 0u);
  EXPECT_EQ(TruncateToUint32(7.99), 7u);
  EXPECT_EQ(TruncateToUint32(std::nan("")), 0u);
}

TEST(GeometryTest, ScalingLogicalValues) {
  EXPECT_EQ(ScaleLogical(801, ScaleForDpi(144)), 1201);
  EXPECT_EQ(ScaleLogical(10, ScaleForDpi(192)), 20);
  EXPECT_EQ(ScaleLogical(4294967295LL, ScaleForDpi(192)), kMax);
  EXPECT_EQ(ScaleLogical(-7, ScaleForDpi(144)), -10);  // -10.5 truncates toward zero
  EXPECT_EQ(ClampToInt32(int64_t{kMax} + 1), kMax);
  EXPECT_EQ(ClampToInt32(int64_t{kMin} - 1), kMin);
  const Rect wide{kMin, kMin, kMax, kMax};
  EXPECT_EQ(WidthOf(wide), 4294967295LL);
}

}  // namespace
}  // namespace velora
