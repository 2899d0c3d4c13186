// Unregistration completes on the embedder's own thread; frames are marked
// from the renderer's. Meant to run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gpu_texture/texture_registrar_impl.h"
#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_texture_registrar.h"

namespace flutter {
namespace {

// A gate one thread waits at until another opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

struct Completion {
  std::atomic<int> runs{0};
  std::thread::id thread;
};

TEST(TextureThreadTest, CompletionRunsOnceOnAnotherThreadAndIsFreed) {
  FlutterDesktopTextureRegistrarRef embedder = velora::standin::NewTextureRegistrar();
  TextureRegistrarImpl registrar(embedder);
  TextureSource source = GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                          [](size_t, size_t) { return nullptr; }};
  const int64_t id = registrar.RegisterTexture(&source);

  Completion seen;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  registrar.UnregisterExternalTexture(id, [token = std::move(token), &seen] {
    seen.thread = std::this_thread::get_id();
    ++seen.runs;
  });
  // Gone from the embedder at once; completed later.
  EXPECT_FALSE(velora::standin::RegisteredTexture(embedder, id).has_value());

  velora::standin::WaitForCompletions(embedder);
  EXPECT_EQ(seen.runs.load(), 1);
  EXPECT_NE(seen.thread, std::this_thread::get_id());
  EXPECT_TRUE(watch.expired()) << "the callable is freed after it ran";

  velora::standin::DeleteTextureRegistrar(embedder);
  EXPECT_EQ(seen.runs.load(), 1);
}

TEST(TextureThreadTest, CompletionWaitsForADescriptorRequestInProgress) {
  FlutterDesktopTextureRegistrarRef embedder = velora::standin::NewTextureRegistrar();
  TextureRegistrarImpl registrar(embedder);
  Gate entered;
  Gate leave;
  FlutterDesktopGpuSurfaceDescriptor descriptor = {};
  auto source = std::make_unique<TextureSource>(
      GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle, [&](size_t, size_t) {
                         entered.Open();
                         leave.Wait();
                         return &descriptor;
                       }});
  const int64_t id = registrar.RegisterTexture(source.get());

  const FlutterDesktopGpuSurfaceDescriptor* fetched = nullptr;
  std::thread compositor([&] { fetched = velora::standin::RequestGpuSurface(embedder, id, 8, 8); });
  entered.Wait();
  std::atomic<bool> completed{false};
  // The completion frees the source, as the GPU plugin's record does.
  registrar.UnregisterExternalTexture(id, [&] {
    source.reset();
    completed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(completed.load()) << "the source is still in use by the compositor";
  leave.Open();
  compositor.join();
  velora::standin::WaitForCompletions(embedder);
  EXPECT_TRUE(completed.load());
  EXPECT_EQ(fetched, &descriptor);
  velora::standin::DeleteTextureRegistrar(embedder);
}

TEST(TextureThreadTest, FramesMarkedFromOtherThreadsWhileThePlatformUnregisters) {
  const int violations = velora::standin::ContractViolations();
  FlutterDesktopTextureRegistrarRef embedder = velora::standin::NewTextureRegistrar();
  TextureRegistrarImpl registrar(embedder);
  std::vector<std::unique_ptr<TextureSource>> sources;
  for (int i = 0; i < 4; ++i) {
    sources.push_back(std::make_unique<TextureSource>(GpuSurfaceSource{
        kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle, [](size_t, size_t) { return nullptr; }}));
    registrar.RegisterTexture(sources.back().get());
  }
  constexpr int kMarks = 2000;
  std::atomic<int> accepted{0};
  std::vector<std::thread> renderers;
  for (int64_t id = 1; id <= 2; ++id) {
    renderers.emplace_back([&, id] {
      for (int i = 0; i < kMarks; ++i) {
        accepted += registrar.MarkFrameAvailable(id) ? 1 : 0;
      }
    });
  }
  std::atomic<int> completions{0};
  registrar.UnregisterExternalTexture(3, [&] { ++completions; });
  registrar.UnregisterExternalTexture(4, [&] { ++completions; });
  for (auto& renderer : renderers) {
    renderer.join();
  }
  EXPECT_EQ(accepted.load(), 2 * kMarks);
  EXPECT_EQ(velora::standin::MarkedFrames(embedder, 1), static_cast<uint64_t>(kMarks));
  // Deleting the embedder's registrar runs what is still pending.
  velora::standin::DeleteTextureRegistrar(embedder);
  EXPECT_EQ(completions.load(), 2);
  EXPECT_EQ(velora::standin::ContractViolations(), violations);
}

}  // namespace
}  // namespace flutter
