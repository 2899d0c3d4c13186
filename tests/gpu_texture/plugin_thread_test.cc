// Where the engine's threads meet the plugin: the compositor asking for
// descriptors while the platform thread updates and disposes. Run under the
// sanitizers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
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

// The plugin over the stand-in embedder's texture registrar, which completes
// unregistrations on a thread of its own.
class StandinTextureTest : public ::testing::Test {
 protected:
  void SetUp() override { violations_at_start_ = standin::ContractViolations(); }
  void TearDown() override {
    plugin_.reset();
    standin::WaitForCompletions(embedder_);
    standin::DeleteTextureRegistrar(embedder_);
    EXPECT_EQ(standin::ContractViolations(), violations_at_start_);
    const SoftwareObjectCounts live = LiveSoftwareObjects();
    EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
  }

  int64_t Create(const EncodableValue& arguments) {
    const Reply reply = channel_.Call("create", arguments);
    EXPECT_EQ(reply.kind, Reply::kSuccess);
    return reply.kind == Reply::kSuccess ? std::get<int64_t>(*reply.Field("textureId")) : 0;
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

 private:
  int violations_at_start_ = 0;
};

// Every size the platform thread sets is 2h x h, so a descriptor that mixes
// two updates shows up as a width that is not twice the height.
TEST_F(StandinTextureTest, CompositorReadsWholeDescriptorsWhileUpdatesRun) {
  const int64_t own = Create(Args({{"width", EncodableValue(2)}, {"height", EncodableValue(1)}}));
  const int64_t caller = Create(Args({{"sharedHandle", EncodableValue("7")},
                                      {"width", EncodableValue(2)},
                                      {"height", EncodableValue(1)}}));
  std::atomic<bool> stop{false};
  std::atomic<int> requests{0};
  std::atomic<int> torn{0};
  std::thread compositor([&] {
    while (!stop.load()) {
      for (int64_t id : {own, caller}) {
        const FlutterDesktopGpuSurfaceDescriptor* d =
            standin::RequestGpuSurface(embedder_, id, 1920, 1080);
        if (d == nullptr || d->width != 2 * d->height || d->visible_width != d->width ||
            d->handle == nullptr) {
          ++torn;
        }
        ++requests;
      }
    }
  });
  for (int32_t h = 1; h <= 300; ++h) {
    for (int64_t id : {own, caller}) {
      const Reply reply = channel_.Call("update", Args({{"textureId", EncodableValue(id)},
                                                        {"width", EncodableValue(2 * h)},
                                                        {"height", EncodableValue(h)}}));
      ASSERT_EQ(reply.kind, Reply::kSuccess);
    }
  }
  while (requests.load() < 100) {
    std::this_thread::yield();
  }
  stop.store(true);
  compositor.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(standin::MarkedFrames(embedder_, own), 300u);
}

// The stand-in completes unregistration only after requests in progress have
// returned; the record must outlive both.
TEST_F(StandinTextureTest, DisposeWhileTheCompositorAsks) {
  std::atomic<int64_t> current{0};
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::thread compositor([&] {
    while (!stop.load()) {
      // The record is read inside the callback; the pointer itself is only
      // good until the stand-in considers the request over.
      if (standin::RequestGpuSurface(embedder_, current.load(), 0, 0) != nullptr) {
        ++answered;
      }
    }
  });
  for (int round = 0; round < 200; ++round) {
    const int64_t id =
        Create(Args({{"width", EncodableValue(16)}, {"height", EncodableValue(16)}}));
    current.store(id);
    std::this_thread::yield();
    EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
              EncodableValue(true));
  }
  stop.store(true);
  compositor.join();
  EXPECT_GT(answered.load(), 0);
}

// The stand-in's compositor asks after every marked frame, on its own
// thread, while a renderer marks frames through the export and the platform
// thread resizes; what it last got is the last size set.
TEST_F(StandinTextureTest, MarkedFramesAreComposedOnTheCompositorsThread) {
  standin::StartCompositor(embedder_);
  const int64_t id = Create(Args({{"width", EncodableValue(2)}, {"height", EncodableValue(1)}}));
  std::atomic<bool> stop{false};
  std::thread renderer([&] {
    while (!stop.load()) {
      gpu_texture_mark_frame_available(id);
    }
  });
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
  stop.store(true);
  renderer.join();
  // One more frame after the last update, composed before we look.
  gpu_texture_mark_frame_available(id);
  standin::WaitForCompositor(embedder_);
  EXPECT_GT(standin::ComposedFrames(embedder_, id), 0u);
  EXPECT_LE(standin::ComposedFrames(embedder_, id), standin::MarkedFrames(embedder_, id));
  const auto last = standin::LastComposedDescriptor(embedder_, id);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->width, 400u);
  EXPECT_EQ(last->height, 200u);
  EXPECT_EQ(last->struct_size, 72u);
  EXPECT_NE(last->handle, nullptr);
}

}  // namespace
}  // namespace velora::test
