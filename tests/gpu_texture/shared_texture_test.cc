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

// Records every AddRef (+1) and Release (-1).
struct Counted {
  unsigned long AddRef() {
    events->push_back(+1);
    return ++count;
  }
  unsigned long Release() {
    events->push_back(-1);
    return --count;
  }
  unsigned long count;
  std::vector<int>* events;
};

TEST(ComPtrTest, StoresAddTheNewReferenceFirstAndReleaseTheOld) {
  std::vector<int> events;
  Counted a{1, &events};
  Counted b{1, &events};
  {
    auto held = ComPtr<Counted>::Adopt(&a);  // takes the creator's reference
    ComPtr<Counted> copy(held);
    copy = held;  // the object already held: nothing happens
    ComPtr<Counted> other(&b);
    EXPECT_EQ(events, (std::vector<int>{+1, +1}));
    copy = other;
    EXPECT_EQ(events, (std::vector<int>{+1, +1, +1, -1}));
    ComPtr<Counted> moved(std::move(other));
    EXPECT_EQ(b.count, 3u);
    EXPECT_EQ(moved.Reset(), 2u);  // the object's own answer
    EXPECT_EQ(moved.Reset(), 0u);  // nothing held
  }
  EXPECT_EQ(a.count, 0u);
  EXPECT_EQ(b.count, 1u);
}

TEST(SharedTextureTest, DescriptionIsTheOneShareableBgraLayout) {
  const TextureDescription d = SharedTextureDescription(640, 360);
  const std::vector<uint32_t> fields = {
      d.width,          d.height, d.mip_levels, d.array_size,       d.format,    d.sample_count,
      d.sample_quality, d.usage,  d.bind_flags, d.cpu_access_flags, d.misc_flags};
  EXPECT_EQ(fields, (std::vector<uint32_t>{640, 360, 1, 1, 87, 1, 0, 0, 0x28, 0, 2}));
}

class SharedTextureOpsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    device_ = nullptr;
    context_ = nullptr;
    texture_ = nullptr;
    const SoftwareObjectCounts live = LiveSoftwareObjects();
    EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
  }

  test::ScriptedBackend backend_;
  ComPtr<GpuDevice> device_;
  ComPtr<GpuContext> context_;
  ComPtr<GpuTexture> texture_;
};

TEST_F(SharedTextureOpsTest, EnsureDeviceMakesOnceAndKeepsFieldsOnFailure) {
  backend_.fail_device = true;
  EXPECT_FALSE(EnsureDevice(backend_, device_, context_));
  EXPECT_FALSE(device_ || context_);
  backend_.fail_device = false;
  ASSERT_TRUE(EnsureDevice(backend_, device_, context_));
  GpuDevice* first = device_.Get();
  EXPECT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_EQ(backend_.device_calls, 2);  // the second success made nothing
  EXPECT_EQ(device_.Get(), first);
  // A device without its context is made anew; the old one goes.
  context_ = nullptr;
  EXPECT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_NE(device_.Get(), first);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);
}

TEST_F(SharedTextureOpsTest, CreateStoresTextureAndHandleOrLeavesBothAsTheyWere) {
  SharedHandle handle = nullptr;
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 64, 64, texture_, &handle));
  ASSERT_TRUE(EnsureDevice(backend_, device_, context_));
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 64, 64, texture_, nullptr));
  EXPECT_EQ(backend_.texture_calls, 0);  // no device or no handle out: no platform call

  ASSERT_TRUE(CreateSharedTexture(backend_, device_, kMaxTextureDimension, 720, texture_, &handle));
  EXPECT_EQ(texture_->shared_handle(), handle);
  EXPECT_EQ(texture_->description().width, kMaxTextureDimension);
  GpuTexture* const before = texture_.Get();
  const SharedHandle handle_before = handle;

  // Sizes a device refuses, a negative one passed on as a huge unsigned.
  EXPECT_FALSE(CreateSharedTexture(backend_, device_, 0, 16, texture_, &handle));
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
  EXPECT_EQ(texture_.Get(), before);
  EXPECT_EQ(handle, handle_before);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);

  // A success replaces the texture held before.
  backend_.null_handle = false;
  ASSERT_TRUE(CreateSharedTexture(backend_, device_, 16, 16, texture_, &handle));
  EXPECT_NE(handle, handle_before);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
}

}  // namespace
}  // namespace velora
