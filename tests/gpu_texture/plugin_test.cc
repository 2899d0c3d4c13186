// The plugin's own textures, failures, descriptors and record lifetimes over
// the software backend. The caller-handle table, argument errors and names
// are checked on the wire through the real executable (gpu_texture_e2e_test).
#include "gpu_texture/gpu_texture_plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/software_gpu_backend.h"
#include "gpu_texture/texture_arguments.h"
#include "tests/gpu_texture/plugin_fixture.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;

void ExpectError(const Reply& reply, const char* code, const char* message) {
  EXPECT_EQ(reply.kind, Reply::kError);
  EXPECT_EQ(reply.code, code);
  EXPECT_EQ(reply.message, message);
  EXPECT_TRUE(reply.value.IsNull()) << "errors carry no details";
}

void ExpectSize(const FlutterDesktopGpuSurfaceDescriptor* d, size_t width, size_t height) {
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, width);
  EXPECT_EQ(d->height, height);
  EXPECT_EQ(d->visible_width, width);
  EXPECT_EQ(d->visible_height, height);
}

EncodableValue Size(int32_t width, int32_t height) {
  return Args({{"width", EncodableValue(width)}, {"height", EncodableValue(height)}});
}

EncodableValue Id(int64_t id) {
  return Args({{"textureId", EncodableValue(id)}});
}

using GpuTexturePluginTest = PluginTest;

TEST_F(GpuTexturePluginTest, CreateMakesA1920x1080TextureByDefaultAndHandsItsDescriptorOver) {
  const Reply reply = Call("create");
  ASSERT_EQ(reply.kind, Reply::kSuccess);
  EXPECT_EQ(std::get<EncodableValueMap>(reply.value).size(), 2u);
  EXPECT_EQ(*reply.Field("textureId"), EncodableValue(int64_t{1}));
  const FlutterDesktopGpuSurfaceDescriptor* d = Describe(1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->struct_size, 72u);
  EXPECT_NE(d->handle, nullptr);
  EXPECT_EQ(HandleText(reply), FormatHandle(d->handle));
  ExpectSize(d, 1920, 1080);
  EXPECT_EQ(d->format, kFlutterDesktopPixelFormatBGRA8888);
  EXPECT_EQ(d->release_callback, nullptr);
  EXPECT_EQ(d->release_context, nullptr);

  // No map, or sizes of another kind than int32: the defaults stand.
  ExpectSize(Describe(Create(EncodableValue(EncodableValueList{EncodableValue(640)}))), 1920, 1080);
  ExpectSize(Describe(Create(
                 Args({{"width", EncodableValue(int64_t{640})}, {"height", EncodableValue(720)}}))),
             1920, 720);
  ExpectSize(Describe(Create(Args({{"width", EncodableValue(640.0)}}))), 1920, 1080);
  ExpectSize(Describe(Create(Size(640, 480))), 640, 480);
  EXPECT_EQ(backend_.last_description.width, 640u);
  // A "sharedHandle" that is no handle makes the plugin create its own.
  Create(Args({{"sharedHandle", EncodableValue("abc")}}));
  EXPECT_EQ(backend_.texture_calls, 6);
  EXPECT_EQ(LiveSoftwareObjects().textures, 6);
}

TEST_F(GpuTexturePluginTest, CreateFailuresAnswerTheirErrorAndKeepNothing) {
  backend_.fail_device = true;
  ExpectError(Call("create"), "texture_error", "Failed to create shared texture");
  backend_.fail_device = false;
  backend_.null_handle = true;
  ExpectError(Call("createGpuTexture"), "texture_error", "Failed to create shared texture");
  backend_.null_handle = false;
  ExpectError(Call("create", Size(0, 16)), "texture_error", "Failed to create shared texture");
  ExpectError(Call("create", Size(16, -1)), "texture_error", "Failed to create shared texture");
  EXPECT_EQ(registrar_.registrations(), 0);
  ExpectNoGpuObjects();

  // The engine answers 0 (its "no texture") or a negative id (our
  // registrar's -1 for a source it cannot pass on): it holds nothing under
  // an id it never gave out, so nothing is unregistered and the record is
  // gone at once.
  for (const int64_t refused : {int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min()}) {
    registrar_.SetNextId(refused);
    ExpectError(Call("create"), "register_failed",
                ("RegisterTexture returned " + std::to_string(refused)).c_str());
  }
  EXPECT_TRUE(registrar_.unregistered().empty());
  ExpectNoGpuObjects();
  EXPECT_EQ(registrar_.RunCompletions(), 0);
  registrar_.SetNextId(1);
  EXPECT_EQ(Create(), 1);
  const std::vector<std::string> messages = log_.Messages();
  ASSERT_EQ(messages.size(), 9u);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "HandleCreate begin"), 8);

  plugin_.reset();
  const size_t unregistered = registrar_.unregistered().size();
  plugin_ = GpuTexturePlugin::Create(&messenger_, nullptr, backend_);
  ExpectError(Call("create"), "registrar_unavailable", "Texture registrar is null");
  ExpectError(Call("create", Args({{"sharedHandle", EncodableValue("5")}})),
              "registrar_unavailable", "Texture registrar is null");
  EXPECT_EQ(Call("dispose", Id(1)).value, EncodableValue(true));
  EXPECT_EQ(registrar_.unregistered().size(), unregistered);
}

TEST_F(GpuTexturePluginTest, UpdateOfAnOwnTextureMakesANewOneEvenAtTheSameSize) {
  const int64_t id = Create(Size(640, 480));
  const std::string first = HandleText(Describe(id));

  const Reply same = Call("update", Args({{"textureId", EncodableValue(int64_t{id})}}));
  ASSERT_EQ(same.kind, Reply::kSuccess);
  EXPECT_EQ(std::get<EncodableValueMap>(same.value).size(), 1u);  // no "textureId"
  const std::string second = HandleText(same);
  EXPECT_NE(second, first);
  EXPECT_EQ(HandleText(Describe(id)), second);
  ExpectSize(Describe(id), 640, 480);

  const Reply resized =
      Call("updateGpuTextureSize", Args({{"textureId", EncodableValue(int32_t(id))},
                                         {"width", EncodableValue(800)},
                                         {"height", EncodableValue(int64_t{1})}}));
  ExpectSize(Describe(id), 800, 480);
  EXPECT_EQ(HandleText(Describe(id)), HandleText(resized));
  // One device for the record's life; the texture whose handle was
  // published before the last one is kept (a request that returned just
  // before the update still names it), no older one; and the engine told to
  // ask again after each update.
  EXPECT_EQ(backend_.device_calls, 1);
  EXPECT_EQ(LiveSoftwareObjects().textures, 2);
  EXPECT_EQ(registrar_.marks(id), 2);
  EXPECT_EQ(
      log_.Messages(),
      (std::vector<std::string>{
          "HandleCreate begin", "HandleCreate done textureId=1 handle=" + first + " w=640 h=480",
          "HandleUpdate begin", "HandleUpdate done textureId=1 handle=" + second + " w=640 h=480",
          "HandleUpdate begin",
          "HandleUpdate done textureId=1 handle=" + HandleText(resized) + " w=800 h=480"}));
}

TEST_F(GpuTexturePluginTest, FailedRecreationKeepsTheRecordAndACallerHandleEndsTheOwnState) {
  const int64_t id = Create(Size(64, 32));
  const std::string old_handle = HandleText(Describe(id));
  backend_.fail_texture = true;
  ExpectError(
      Call("update", Args({{"textureId", EncodableValue(id)}, {"width", EncodableValue(9)}})),
      "texture_error", "Failed to recreate shared texture");
  // Still registered, with the descriptor from before, and the texture
  // behind that handle alive while it is the published one.
  EXPECT_TRUE(registrar_.Reachable(id));
  EXPECT_EQ(HandleText(Describe(id)), old_handle);
  ExpectSize(Describe(id), 64, 32);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
  ExpectError(Call("update", Id(id)), "texture_error", "Failed to recreate shared texture");
  EXPECT_EQ(HandleText(Describe(id)), old_handle);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
  backend_.fail_texture = false;
  ASSERT_EQ(Call("update", Id(id)).kind, Reply::kSuccess);  // tries again
  EXPECT_EQ(LiveSoftwareObjects().textures, 2);

  // A caller's handle: the own texture goes once its handle is two updates
  // old, the device stays.
  EXPECT_EQ(HandleText(Call("update", Args({{"textureId", EncodableValue(id)},
                                            {"sharedHandle", EncodableValue("99")}}))),
            "99");
  EXPECT_EQ(HandleText(Describe(id)), "99");
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);
  // From now on only the size changes.
  EXPECT_EQ(HandleText(Call("update", Args({{"textureId", EncodableValue(id)},
                                            {"height", EncodableValue(16)}}))),
            "99");
  ExpectSize(Describe(id), 64, 16);
  EXPECT_EQ(LiveSoftwareObjects().textures, 0);
  EXPECT_EQ(backend_.texture_calls, 4);
}

// The engine may ask for a descriptor until unregistration has completed:
// the record stays until then (AddressSanitizer watches the reads).
TEST_F(GpuTexturePluginTest, DisposeUnregistersOnceAndKeepsTheRecordUntilCompletion) {
  const int64_t id = Create(Size(300, 200));
  const std::string handle = HandleText(Describe(id));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Call("dispose", Id(id)).value, EncodableValue(true));
  }
  EXPECT_EQ(registrar_.unregistered(), std::vector<int64_t>{id});
  ASSERT_TRUE(registrar_.Reachable(id));
  EXPECT_EQ(HandleText(Describe(id)), handle);
  ExpectSize(Describe(id), 300, 200);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);  // its handle still names a texture
  EXPECT_EQ(registrar_.RunCompletions(), 1);
  ExpectNoGpuObjects();
}

TEST_F(GpuTexturePluginTest, DestructionWithdrawsThePluginAndUnregistersWhatIsLeft) {
  const int64_t own = Create();
  const int64_t caller = Create(Args({{"sharedHandle", EncodableValue("12")}}));
  EXPECT_EQ(gpu_texture_plugin_instance.load(), plugin_.get());
  plugin_.reset();
  EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
  std::vector<int64_t> unregistered = registrar_.unregistered();
  std::sort(unregistered.begin(), unregistered.end());
  EXPECT_EQ(unregistered, (std::vector<int64_t>{own, caller}));
  EXPECT_EQ(HandleText(Describe(caller)), "12");  // until the engine confirms
  ExpectSize(Describe(own), 1920, 1080);
  EXPECT_EQ(registrar_.RunCompletions(), 2);
  ExpectNoGpuObjects();
  // Its handler went first: a late message finds no channel, not the plugin
  // that is gone (AddressSanitizer watches).
  EXPECT_EQ(Call("create").kind, Reply::kNotImplemented);
  ExpectNoGpuObjects();
}

TEST_F(GpuTexturePluginTest, TheLongestLogLineIsWrittenWholeAndSizesReachTheEngineSignExtended) {
  registrar_.SetNextId(std::numeric_limits<int64_t>::max());
  const int32_t lowest = std::numeric_limits<int32_t>::min();
  Create(Args({{"sharedHandle", EncodableValue(int32_t{-1})},
               {"width", EncodableValue(lowest)},
               {"height", EncodableValue(lowest)}}));
  EXPECT_EQ(log_.Messages().at(1),
            "HandleCreate done textureId=9223372036854775807 handle=18446744073709551615 "
            "w=-2147483648 h=-2147483648");  // 103 characters
  ExpectSize(Describe(std::numeric_limits<int64_t>::max()), static_cast<size_t>(int64_t{lowest}),
             static_cast<size_t>(int64_t{lowest}));
}

}  // namespace
}  // namespace velora::test
