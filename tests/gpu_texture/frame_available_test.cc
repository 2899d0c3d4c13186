// The exported entry point: when it reaches the registrar, which calls it
// logs, and that it is inert outside the plugin's life.
#include "gpu_texture/frame_available.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
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
  EXPECT_EQ(mark_frame_call_count.load(), 360);
  const std::vector<std::string> messages = log_.Messages();
  EXPECT_EQ(messages, std::vector<std::string>(13, "MarkFrameAvailable tid=5"));

  // Ids the engine does not know are passed on all the same, and a negative
  // one is logged with its sign (call 361 is not logged, so start over).
  mark_frame_call_count.store(0);
  gpu_texture_mark_frame_available(-5);
  gpu_texture_mark_frame_available(std::numeric_limits<int64_t>::min());
  EXPECT_EQ(registrar_.marks(-5), 1);
  const std::vector<std::string> more = log_.Messages();
  ASSERT_EQ(more.size(), 15u);
  EXPECT_EQ(more[13], "MarkFrameAvailable tid=-5");
  EXPECT_EQ(more[14], "MarkFrameAvailable tid=-9223372036854775808");
}

TEST_F(FrameAvailableTest, DoesNothingWithoutPluginOrRegistrar) {
  plugin_.reset();
  gpu_texture_mark_frame_available(1);
  EXPECT_EQ(registrar_.total_marks(), 0);

  plugin_ = GpuTexturePlugin::Create(&messenger_, nullptr, backend_);
  gpu_texture_mark_frame_available(1);
  plugin_.reset();
  gpu_texture_mark_frame_available(1);

  // A plugin with a registrar again: the count went on from zero.
  plugin_ = GpuTexturePlugin::Create(&messenger_, &registrar_, backend_);
  gpu_texture_mark_frame_available(2);
  EXPECT_EQ(mark_frame_call_count.load(), 1);
  EXPECT_EQ(registrar_.total_marks(), 1);
  EXPECT_EQ(log_.Messages(), std::vector<std::string>{"MarkFrameAvailable tid=2"});
}

TEST_F(FrameAvailableTest, ALineWrittenOnTheRenderersThreadCarriesItsThreadId) {
  Create();
  unsigned long renderer_tid = 0;
  std::thread renderer([&] {
    renderer_tid = CurrentLogThreadId();
    gpu_texture_mark_frame_available(1);
  });
  renderer.join();
  const std::vector<LogLine> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].tid, CurrentLogThreadId());
  EXPECT_EQ(lines[2].message, "MarkFrameAvailable tid=1");
  EXPECT_EQ(lines[2].tid, renderer_tid);
  EXPECT_NE(lines[2].tid, lines[0].tid);
  EXPECT_EQ(lines[2].pid, lines[0].pid);
}

TEST_F(FrameAvailableTest, TheCountWrapsWithoutOverflowAndKeepsItsCadence) {
  mark_frame_call_count.store(kMarkFrameCountWrap - 1);
  gpu_texture_mark_frame_available(3);  // the last multiple of 120: logged
  EXPECT_EQ(mark_frame_call_count.load(), kMarkFrameCountWrap);
  gpu_texture_mark_frame_available(3);  // back to 121: not logged
  EXPECT_EQ(mark_frame_call_count.load(), kMarkFrameCountRestart);
  for (int call = 122; call <= 240; ++call) {
    gpu_texture_mark_frame_available(3);
  }
  // Even from the very top of the range (UBSan would catch a signed overflow).
  mark_frame_call_count.store(std::numeric_limits<int32_t>::max());
  gpu_texture_mark_frame_available(3);
  EXPECT_EQ(mark_frame_call_count.load(), kMarkFrameCountRestart);
  EXPECT_EQ(registrar_.marks(3), 2 + 119 + 1);
  EXPECT_EQ(log_.Messages(), std::vector<std::string>(2, "MarkFrameAvailable tid=3"));
}

TEST(MarkFrameCadenceTest, FirstTenThenEvery120th) {
  std::vector<int32_t> logged;
  for (int32_t n = 1; n <= 1000; ++n) {
    if (ShouldLogMarkFrame(n)) {
      logged.push_back(n);
    }
  }
  EXPECT_EQ(logged, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 120, 240, 360, 480, 600,
                                          720, 840, 960}));
}

}  // namespace
}  // namespace velora::test
