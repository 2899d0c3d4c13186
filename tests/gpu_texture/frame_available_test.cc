// The exported entry point: when it reaches the registrar, which calls log,
// and that it is inert outside the plugin's life. (Its thread ids are checked
// with the renderer stand-in and end to end.)
#include "gpu_texture/frame_available.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/gpu_texture/plugin_fixture.h"

namespace velora::test {
namespace {

class FrameAvailableTest : public PluginTest {
 protected:
  void SetUp() override {
    mark_frame_call_count.store(0);
    PluginTest::SetUp();
  }
};

TEST_F(FrameAvailableTest, LogsCallsOneToTenAndEvery120thAndAlwaysReachesTheRegistrar) {
  for (int call = 1; call <= 360; ++call) {
    gpu_texture_mark_frame_available(5);
  }
  EXPECT_EQ(registrar_.marks(5), 360);
  EXPECT_EQ(log_.Messages(), std::vector<std::string>(13, "MarkFrameAvailable tid=5"));

  // Unknown ids reach the registrar too; a negative one is logged with its
  // sign.
  mark_frame_call_count.store(0);
  gpu_texture_mark_frame_available(std::numeric_limits<int64_t>::min());
  EXPECT_EQ(registrar_.marks(std::numeric_limits<int64_t>::min()), 1);
  EXPECT_EQ(log_.Messages().back(), "MarkFrameAvailable tid=-9223372036854775808");
}

TEST_F(FrameAvailableTest, DoesNothingWithoutPluginOrRegistrar) {
  plugin_.reset();
  gpu_texture_mark_frame_available(1);
  plugin_ = GpuTexturePlugin::Create(&messenger_, nullptr, backend_);
  gpu_texture_mark_frame_available(1);
  plugin_.reset();
  gpu_texture_mark_frame_available(1);
  EXPECT_EQ(registrar_.total_marks(), 0);
  EXPECT_EQ(mark_frame_call_count.load(), 0);
  EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(FrameAvailableTest, TheCountWrapsWithoutOverflowAndKeepsItsCadence) {
  mark_frame_call_count.store(kMarkFrameCountWrap - 1);
  gpu_texture_mark_frame_available(3);  // the last multiple of 120: logged
  gpu_texture_mark_frame_available(3);  // counted as 121: not logged
  EXPECT_EQ(mark_frame_call_count.load(), kMarkFrameCountRestart);
  for (int call = 122; call <= 240; ++call) {
    gpu_texture_mark_frame_available(3);
  }
  // From the very top of the range too (UBSan would catch a signed overflow).
  mark_frame_call_count.store(std::numeric_limits<int32_t>::max());
  gpu_texture_mark_frame_available(3);
  EXPECT_EQ(mark_frame_call_count.load(), kMarkFrameCountRestart);
  EXPECT_EQ(registrar_.marks(3), 2 + 119 + 1);
  EXPECT_EQ(log_.Messages(), std::vector<std::string>(2, "MarkFrameAvailable tid=3"));
}

}  // namespace
}  // namespace velora::test
