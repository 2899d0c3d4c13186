// The renderer stand-in marking frames of a texture from its own thread,
// through the exported function (found in the executable's export table on
// Windows, handed over directly natively).
#include "standins/renderer/renderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "tests/gpu_texture/plugin_test_support.h"

namespace velora::test {
namespace {

standin::MarkFrameFunction TheExport() {
#ifdef _WIN32
  return standin::FindMarkFrameFunction();
#else
  return &gpu_texture_mark_frame_available;
#endif
}

TEST(RendererStandinTest, MarksEveryFrameFromItsOwnThreadAndLogsTheCadence) {
  PrivateGpuLog log;
  RecordingTextureRegistrar registrar;
  LoopbackMessenger messenger;
  auto plugin = GpuTexturePlugin::Create(&messenger, &registrar, PlatformGpuBackend());
  mark_frame_call_count.store(0);

  ASSERT_NE(TheExport(), nullptr);
  ASSERT_TRUE(standin::StartRendererWith(TheExport(), 9, 360, 0));
  EXPECT_FALSE(standin::StartRendererWith(TheExport(), 9, 1, 0)) << "one renderer at a time";
  EXPECT_EQ(standin::WaitForRenderer(), 360);
  EXPECT_EQ(registrar.marks(9), 360);

  const std::vector<LogLine> lines = log.Lines();
  ASSERT_EQ(lines.size(), 13u);  // calls 1 to 10, 120, 240, 360
  for (const LogLine& line : lines) {
    EXPECT_EQ(line.message, "MarkFrameAvailable tid=9");
    EXPECT_EQ(line.tid, standin::RendererThreadId());
  }
  EXPECT_NE(standin::RendererThreadId(), CurrentLogThreadId());

  // Stopped early, it makes no call after StopRenderer returns.
  ASSERT_TRUE(standin::StartRendererWith(TheExport(), 9, 1000000, 50));
  while (registrar.marks(9) == 360) {
    std::this_thread::yield();
  }
  const int made = standin::StopRenderer();
  EXPECT_GE(made, 1);
  EXPECT_LT(made, 1000000);
  EXPECT_EQ(registrar.marks(9), 360 + made);
  EXPECT_FALSE(standin::StartRendererWith(nullptr, 9, 1, 0));
}

}  // namespace
}  // namespace velora::test
