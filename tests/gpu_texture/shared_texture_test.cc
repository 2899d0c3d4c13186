// The reference-counted holder and the two texture operations over the
// software backend, with failures injected at each platform step.
#include "gpu_texture/shared_texture.h"

#include <gtest/gtest.h>

#include <vector>

#include "gpu_texture/com_ptr.h"
#include "gpu_texture/software_gpu_backend.h"
#include "tests/gpu_texture/plugin_test_support.h"

namespace velora {
namespace {

// Logs every AddRef and Release with the count it returns.
struct Counted {
  unsigned long AddRef() {
    events->push_back(+1);
    return ++count;
  }
  unsigned long Release() {
    events->push_back(-1);
    return --count;
  }
  unsigned long count = 1;
  std::vector<int>* events;
};

TEST(ComPtrTest, CountsReferencesAsTheStoreRuleSays) {
  std::vector<int> events;
  Counted a{1, &events};
  Counted b{1, &events};
  {
    auto held = ComPtr<Counted>::Adopt(&a);  // takes the creator's reference
    EXPECT_TRUE(events.empty());
    ComPtr<Counted> copy(held);
    EXPECT_EQ(a.count, 2u);

    copy = held;  // the object already held: nothing happens
    EXPECT_EQ(events.size(), 1u);

    // New reference first, then the old one goes.
    ComPtr<Counted> other(&b);
    events.clear();
    copy = other;
    EXPECT_EQ(events, (std::vector<int>{+1, -1}));
    EXPECT_EQ(a.count, 1u);
    EXPECT_EQ(b.count, 3u);

    ComPtr<Counted> moved(std::move(other));
    EXPECT_FALSE(other);
    EXPECT_EQ(b.count, 3u);
    EXPECT_EQ(moved.Reset(), 2u);  // the object's own answer
    EXPECT_EQ(moved.Reset(), 0u);  // nothing held
    copy = nullptr;
    EXPECT_EQ(b.count, 1u);
  }
  EXPECT_EQ(a.count, 0u);
}

TEST(SharedTextureTest, DescriptionIsTheOneShareableBgraLayout) {
  const TextureDescription d = SharedTextureDescription(640, 360);
  EXPECT_EQ(d.width, 640u);
  EXPECT_EQ(d.height, 360u);
  EXPECT_EQ(d.mip_levels, 1u);
  EXPECT_EQ(d.array_size, 1u);
  EXPECT_EQ(d.format, 87u);
  EXPECT_EQ(d.sample_count, 1u);
  EXPECT_EQ(d.sample_quality, 0u);
  EXPECT_EQ(d.usage, 0u);
  EXPECT_EQ(d.bind_flags, 0x28u);
  EXPECT_EQ(d.cpu_access_flags, 0u);
  EXPECT_EQ(d.misc_flags, 2u);
}

class SharedTextureOpsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    device_ = nullptr;
    context_ = nullptr;
    texture_ = nullptr;
    const SoftwareObjectCounts live = LiveSoftwareObjects();
    EXPECT_EQ(live.devices, 0);
    EXPECT_EQ(live.contexts, 0);
    EXPECT_EQ(live.textures, 0);
  }

  test::ScriptedBackend backend_;
  ComPtr<GpuDevice> device_;
  ComPtr<GpuContext> context_;
  ComPtr<GpuTexture> texture_;
};

TEST_F(SharedTextureOpsTest, EnsureDeviceMakesOnceAndKeepsFieldsOnFailure) {
  backend_.fail_device = true;
  EXPECT_FALSE(EnsureDevice(backend_, device_, context_));
  EXPECT_FALSE(device_);
  EXPECT_FALSE(context_);

  backend_.fail_device = false;
  ASSERT_TRUE(EnsureDevice(backend_, device_, context_));
  ASSERT_TRUE(device_ && context_);
  GpuDevice* first = device_.Get();
  EXPECT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_EQ(backend_.device_calls, 2);  // the second success made nothing
  EXPECT_EQ(device_.Get(), first);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);

  // A device without its context is made anew.
  context_ = nullptr;
  EXPECT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_EQ(backend_.device_calls, 3);
  EXPECT_NE(device_.Get(), first);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);
}

TEST_F(SharedTextureOpsTest, CreateSharedTextureStoresTextureAndHandle) {
  SharedHandle handle = nullptr;
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 64, 64, texture_, &handle));
  EXPECT_EQ(backend_.texture_calls, 0);  // no device: no platform call

  ASSERT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 64, 64, texture_, nullptr));
  EXPECT_EQ(backend_.texture_calls, 0);

  ASSERT_TRUE(CreateSharedTexture(backend_, device_, 1280, 720, texture_, &handle));
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(texture_->shared_handle(), handle);
  EXPECT_EQ(texture_->description().width, 1280u);
  EXPECT_EQ(texture_->description().height, 720u);
  EXPECT_EQ(backend_.last_description.bind_flags, 0x28u);

  // A second texture replaces the first, which is released.
  SharedHandle second = nullptr;
  ASSERT_TRUE(CreateSharedTexture(backend_, device_, 1280, 720, texture_, &second));
  EXPECT_NE(second, handle);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
}

TEST_F(SharedTextureOpsTest, FailuresLeaveFieldsAndReleaseWhatWasMade) {
  ASSERT_TRUE(EnsureDevice(backend_, device_, context_));
  SharedHandle handle = nullptr;
  // The largest size a device accepts.
  ASSERT_TRUE(CreateSharedTexture(backend_, device_, kMaxTextureDimension, 1, texture_, &handle));
  GpuTexture* const before = texture_.Get();
  const SharedHandle handle_before = handle;

  // Sizes a device refuses: zero, too large, and a negative size passed on
  // as a huge unsigned value.
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 0, 16, texture_, &handle));
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 16, 0, texture_, &handle));
  EXPECT_FALSE(
      CreateSharedTexture(backend_, device_, kMaxTextureDimension + 1, 1, texture_, &handle));
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, static_cast<uint32_t>(int32_t{-1}), 16,
                                   texture_, &handle));
  // No handle, or a null one: the texture just made is released again.
  backend_.fail_handle = true;
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 16, 16, texture_, &handle));
  backend_.fail_handle = false;
  backend_.null_handle = true;
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 16, 16, texture_, &handle));
  EXPECT_EQ(backend_.texture_calls, 7);

  EXPECT_EQ(texture_.Get(), before);
  EXPECT_EQ(handle, handle_before);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
}

}  // namespace
}  // namespace velora
