#include "window_channel/child_windows.h"

#include <gtest/gtest.h>

#include <string>

#include "host/pointer_format.h"

namespace velora {
namespace {

TEST(ChildWindowsTest, HeadingAndLineFormats) {
  char heading[kChildHeadingCapacity];
  FormatChildHeading("WM_EXITSIZEMOVE", heading);
  EXPECT_STREQ(heading, "child_windows (WM_EXITSIZEMOVE):");
  FormatChildHeading(nullptr, heading);
  EXPECT_STREQ(heading, "child_windows (?):");

  ChildWindowInfo host;
  host.index = 0;
  host.hwnd = reinterpret_cast<const void*>(uintptr_t{0x1A2B3C});
  host.class_name = "VideoHostWindow";
  host.visible = true;
  host.left = 0;
  host.top = 40;
  host.width = 980;
  host.height = 600;
  host.tag = "video_host";
  char line[kChildLineCapacity];
  FormatChildLine(host, line);
  EXPECT_STREQ(line,
               "  #0 hwnd=00000000001A2B3C cls=VideoHostWindow vis=1 rect=0,40 980x600 "
               "tag=video_host");

  ChildWindowInfo unknown;
  unknown.index = 11;
  unknown.class_name = "";
  unknown.left = -5;
  unknown.top = -6;
  FormatChildLine(unknown, line);
  EXPECT_STREQ(line, "  #11 hwnd=0000000000000000 cls=(?) vis=0 rect=-5,-6 0x0 tag=-");

  // A class name as long as the platform allows is cut at the buffer.
  const std::string long_name(600, 'c');
  unknown.class_name = long_name.c_str();
  FormatChildLine(unknown, line);
  EXPECT_EQ(std::string(line).size(), kChildLineCapacity - 1);
}

TEST(ChildWindowsTest, PointersAreSixteenUpperCaseDigits) {
  char text[kPointerTextLength + 1];
  FormatPointer(uint64_t{0xabcdef12}, text);
  EXPECT_STREQ(text, "00000000ABCDEF12");
  FormatPointer(~uint64_t{0}, text);
  EXPECT_STREQ(text, "FFFFFFFFFFFFFFFF");
  FormatPointer(nullptr, text);
  EXPECT_STREQ(text, "0000000000000000");
}

}  // namespace
}  // namespace velora
