// Where the engine's threads meet the plugin: the stand-in's compositor asks
// for descriptors after every marked frame, on its own thread, while the
// platform thread resizes and disposes, and the stand-in completes
// unregistrations on a thread of its own. Run under the sanitizers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/software_gpu_backend.h"
#include "gpu_texture/texture_registrar_impl.h"
#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "tests/gpu_texture/plugin_test_support.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;

class StandinTextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    violations_at_start_ = standin::ContractViolations();
    standin::StartCompositor(embedder_);
  }
  void TearDown() override {
    StopRenderer();
    plugin_.reset();
    standin::DeleteTextureRegistrar(embedder_);  // runs the completions left
    EXPECT_EQ(standin::ContractViolations(), violations_at_start_);
    const SoftwareObjectCounts live = LiveSoftwareObjects();
    EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
  }

  int64_t Create(int32_t width, int32_t height) {
    const Reply reply = channel_.Call(
        "create", Args({{"width", EncodableValue(width)}, {"height", EncodableValue(height)}}));
    EXPECT_EQ(reply.kind, Reply::kSuccess);
    return reply.kind == Reply::kSuccess ? std::get<int64_t>(*reply.Field("textureId")) : 0;
  }

  // Marks frames of whatever `texture_` names, back to back, until stopped.
  void StartRenderer() {
    renderer_ = std::thread([this] {
      while (!stop_.load()) {
        gpu_texture_mark_frame_available(texture_.load());
      }
    });
  }
  void StopRenderer() {
    stop_.store(true);
    if (renderer_.joinable()) {
      renderer_.join();
    }
  }

  PrivateGpuLog log_;
  FlutterDesktopTextureRegistrarRef embedder_ = standin::NewTextureRegistrar();
  flutter::TextureRegistrarImpl registrar_{embedder_};
  LoopbackMessenger messenger_;
  ChannelDriver channel_{[this](const std::vector<uint8_t>& bytes,
                                std::function<void(std::vector<uint8_t>)> on_response) {
    messenger_.Deliver(kGpuTextureChannelName, bytes, std::move(on_response));
  }};
  std::unique_ptr<GpuTexturePlugin> plugin_ =
      GpuTexturePlugin::Create(&messenger_, &registrar_, PlatformGpuBackend());
  std::atomic<int64_t> texture_{0};
  std::atomic<bool> stop_{false};
  std::thread renderer_;

 private:
  int violations_at_start_ = 0;
};

// Every size the platform thread sets is 2h x h: a descriptor that mixed two
// updates would show a width that is not twice its height.
TEST_F(StandinTextureTest, TheCompositorGetsWholeDescriptorsWhileThePlatformThreadResizes) {
  const int64_t id = Create(2, 1);
  texture_.store(id);
  // One frame composed before the resizes, however the threads are scheduled.
  gpu_texture_mark_frame_available(id);
  standin::WaitForCompositor(embedder_);
  StartRenderer();
  for (int32_t h = 1; h <= 200; ++h) {
    ASSERT_EQ(channel_
                  .Call("update", Args({{"textureId", EncodableValue(id)},
                                        {"width", EncodableValue(2 * h)},
                                        {"height", EncodableValue(h)}}))
                  .kind,
              Reply::kSuccess);
    if (auto last = standin::LastComposedDescriptor(embedder_, id)) {
      EXPECT_EQ(last->width, 2 * last->height);
    }
  }
  StopRenderer();
  gpu_texture_mark_frame_available(id);  // one frame after the last update
  standin::WaitForCompositor(embedder_);
  EXPECT_GT(standin::ComposedFrames(embedder_, id), 1u);
  EXPECT_LE(standin::ComposedFrames(embedder_, id), standin::MarkedFrames(embedder_, id));
  const auto last = standin::LastComposedDescriptor(embedder_, id);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->width, 400u);
  EXPECT_EQ(last->height, 200u);
  EXPECT_NE(last->handle, nullptr);
}

// Textures are disposed while the compositor asks for them: the stand-in
// completes an unregistration only after requests in progress, and each
// record must outlive both.
TEST_F(StandinTextureTest, DisposeWhileTheCompositorAsks) {
  StartRenderer();
  uint64_t composed = 0;
  for (int round = 0; round < 200; ++round) {
    const int64_t id = Create(16, 16);
    texture_.store(id);
    std::this_thread::yield();
    composed += standin::ComposedFrames(embedder_, id);
    EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
              EncodableValue(true));
  }
  StopRenderer();
  // One more, composed for certain, so the count does not rest on scheduling.
  const int64_t last = Create(16, 16);
  gpu_texture_mark_frame_available(last);
  standin::WaitForCompositor(embedder_);
  composed += standin::ComposedFrames(embedder_, last);
  EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(last)}})).value,
            EncodableValue(true));
  standin::WaitForCompletions(embedder_);
  EXPECT_GT(composed, 0u);
}

// The engine hands out an id it already has: the record that was under it
// can still be asked for its descriptor (the compositor may be inside that
// call), so it must live until an unregistration of the id has completed,
// while the table answers with the new record.
TEST_F(StandinTextureTest, ARecordReplacedUnderItsIdLivesUntilTheIdIsUnregistered) {
  const int64_t id = Create(2, 1);
  texture_.store(id);
  StartRenderer();
  std::vector<FlutterDesktopGpuSurfaceTextureConfig> displaced;
  for (int32_t round = 1; round <= 100; ++round) {
    const std::optional<FlutterDesktopTextureInfo> info = standin::RegisteredTexture(embedder_, id);
    ASSERT_TRUE(info.has_value());
    displaced.push_back(info->gpu_surface_config);
    standin::SetNextTextureId(embedder_, id);
    ASSERT_EQ(Create(2 * (round + 1), round + 1), id);
  }
  StopRenderer();
  standin::WaitForCompositor(embedder_);
  // The compositor asks the displaced records after their replacement; each
  // still describes its own texture.
  for (size_t i = 0; i < displaced.size(); ++i) {
    const FlutterDesktopGpuSurfaceDescriptor* old =
        displaced[i].callback(0, 0, displaced[i].user_data);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->width, 2 * (i + 1));
    EXPECT_EQ(old->height, i + 1);
  }
  // The id answers with the newest record.
  const FlutterDesktopGpuSurfaceDescriptor* now = standin::RequestGpuSurface(embedder_, id, 0, 0);
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(now->height, 101u);
  // Only the newest record keeps GPU objects: the displaced ones keep what
  // the engine can reach, their source and descriptor.
  const SoftwareObjectCounts kept = LiveSoftwareObjects();
  EXPECT_EQ(kept.devices, 1);
  EXPECT_EQ(kept.contexts, 1);
  EXPECT_EQ(kept.textures, 1);
  EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
            EncodableValue(true));
  standin::WaitForCompletions(embedder_);
  const SoftwareObjectCounts live = LiveSoftwareObjects();
  EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
}

// The compositor has called the record's callback and is descheduled
// before it reads the descriptor; meanwhile the engine hands the id out again
// and the id is disposed. The completion waits for that request, whichever
// registration it went through, so the record it reads is still alive
// (AddressSanitizer watches the read).
TEST_F(StandinTextureTest, AReplacedRecordOutlivesARequestInProgressWhenItsIdIsDisposed) {
  const int64_t id = Create(2, 1);
  standin::HoldCompositorAfterNextCallback(embedder_);
  gpu_texture_mark_frame_available(id);
  standin::WaitUntilCompositorHeld(embedder_);
  standin::SetNextTextureId(embedder_, id);
  ASSERT_EQ(Create(4, 2), id);
  EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
            EncodableValue(true));
  EXPECT_EQ(standin::CompletionsNotRun(embedder_), 1u);
  standin::ReleaseCompositor(embedder_);
  standin::WaitForCompositor(embedder_);
  standin::WaitForCompletions(embedder_);
  EXPECT_EQ(standin::CompletionsNotRun(embedder_), 0u);
}

// A request returned the descriptor just before an update published the new
// handle, and reads it afterwards: the texture behind the handle it holds is
// still alive then, and goes only with the update after.
TEST_F(StandinTextureTest, AnUpdateKeepsTheTextureWhoseHandleARequestInProgressHolds) {
  const int64_t id = Create(2, 1);
  standin::HoldCompositorAfterNextCallback(embedder_);
  gpu_texture_mark_frame_available(id);
  standin::WaitUntilCompositorHeld(embedder_);
  ASSERT_EQ(channel_.Call("update", Args({{"textureId", EncodableValue(id)}})).kind,
            Reply::kSuccess);
  EXPECT_EQ(LiveSoftwareObjects().textures, 2);
  standin::ReleaseCompositor(embedder_);
  standin::WaitForCompositor(embedder_);
  ASSERT_EQ(channel_.Call("update", Args({{"textureId", EncodableValue(id)}})).kind,
            Reply::kSuccess);
  EXPECT_EQ(LiveSoftwareObjects().textures, 2);  // the first one went
  EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
            EncodableValue(true));
}

}  // namespace
}  // namespace velora::test
