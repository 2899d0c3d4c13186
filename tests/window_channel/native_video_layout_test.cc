#include "window_channel/native_video_layout.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace velora {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(NativeVideoLayoutTest, AreaIsTheClientLessTheThreeStrips) {
  const NativeVideoState mode{true, 40, 80, 300};
  const Placement area = NativeVideoArea(mode, 1280, 720);
  EXPECT_EQ(area.x, 0);
  EXPECT_EQ(area.y, 40);
  EXPECT_EQ(area.width, 980);
  EXPECT_EQ(area.height, 600);

  // Strips as large as the client leave 1 x 1.
  const Placement squeezed = NativeVideoArea(NativeVideoState{true, 400, 320, 1280}, 1280, 720);
  EXPECT_EQ(squeezed.width, 1);
  EXPECT_EQ(squeezed.height, 1);

  // Showing uses the full width.
  const Placement shown = ShownHostPlacement(mode, 1280, 720);
  EXPECT_EQ(shown.x, 0);
  EXPECT_EQ(shown.y, 40);
  EXPECT_EQ(shown.width, 1280);
  EXPECT_EQ(shown.height, 600);
}

TEST(NativeVideoLayoutTest, PlacementAndTheSizeLimit) {
  EXPECT_EQ(PlacedHostWidth(0, 5000, 1280, 300), 980);
  EXPECT_EQ(PlacedHostWidth(2000, 10, 1280, 300), 1);  // past the right edge
  EXPECT_EQ(PlacedHostWidth(0, 0, 1280, 300), 0);      // a zero request stays zero
  EXPECT_EQ(PlacedHostWidth(100, 50, 1280, 0), 50);

  const NativeVideoState on{true, 40, 80, 300};
  int cx = 5000;
  int cy = 5000;
  LimitHostSize(on, 1280, 720, cx, cy);
  EXPECT_EQ(cx, 980);
  EXPECT_EQ(cy, 600);
  cx = -3;
  cy = 10;
  LimitHostSize(on, 1280, 720, cx, cy);  // signed: smaller requests pass
  EXPECT_EQ(cx, -3);
  EXPECT_EQ(cy, 10);
}

TEST(NativeVideoLayoutTest, ExtremeChannelIntegersDoNotOverflow) {
  // INT32_MIN paddings would overflow 32-bit subtraction.
  const NativeVideoState hostile{true, kMin, kMin, kMin};
  const Placement area = NativeVideoArea(hostile, 1280, 720);
  EXPECT_EQ(area.width, kMax);
  EXPECT_EQ(area.height, kMax);
  EXPECT_EQ(area.y, kMin);
  EXPECT_EQ(PlacedHostWidth(kMin, kMax, 1280, kMin), kMax);
  EXPECT_EQ(PlacedHostWidth(kMax, kMax, kMin, kMax), 1);
  const Placement big = NativeVideoArea(NativeVideoState{true, kMax, kMax, kMax}, kMax, kMax);
  EXPECT_EQ(big.width, 1);
  EXPECT_EQ(big.height, 1);
}

TEST(NativeVideoLayoutTest, ChangeLineOnlyWhenSomethingChanged) {
  char line[kNativeModeLineCapacity];
  const NativeVideoState off;
  const NativeVideoState on{true, 40, 80, 300};
  ASSERT_TRUE(FormatNativeModeChange(off, on, line));
  EXPECT_STREQ(line, "setNativeVideoMode: active 0->1 top 0->40 bar 0->80 right 0->300");
  EXPECT_FALSE(FormatNativeModeChange(on, on, line));
  EXPECT_STREQ(line, "");
  const NativeVideoState padded{true, 40, 80, 250};
  ASSERT_TRUE(FormatNativeModeChange(on, padded, line));
  EXPECT_STREQ(line, "setNativeVideoMode: active 1->1 top 40->40 bar 80->80 right 300->250");
  const NativeVideoState extreme{false, kMin, kMin, kMin};
  ASSERT_TRUE(FormatNativeModeChange(on, extreme, line));
  EXPECT_EQ(std::string(line),
            "setNativeVideoMode: active 1->0 top 40->-2147483648 bar 80->-2147483648 right "
            "300->-2147483648");
}

}  // namespace
}  // namespace velora
