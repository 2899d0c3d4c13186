// The "velora/gpu_texture" method table through the channel's bytes: every
// default, error and state change, what the engine is handed, and the GPU log.
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
  EXPECT_EQ(reply.responses, 1);
}

void ExpectSize(const FlutterDesktopGpuSurfaceDescriptor* d, size_t width, size_t height) {
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, width);
  EXPECT_EQ(d->height, height);
  EXPECT_EQ(d->visible_width, width);
  EXPECT_EQ(d->visible_height, height);
}

using GpuTexturePluginTest = PluginTest;

TEST_F(GpuTexturePluginTest, CreateDefaultsTo1920x1080AndHandsTheEngineItsDescriptor) {
  const Reply reply = Call("create");
  ASSERT_EQ(reply.kind, Reply::kSuccess);
  const auto& map = std::get<EncodableValueMap>(reply.value);
  EXPECT_EQ(map.size(), 2u);
  ASSERT_NE(reply.Field("textureId"), nullptr);
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
  EXPECT_EQ(backend_.last_description.width, 1920u);
  EXPECT_EQ(backend_.last_description.height, 1080u);

  // The source is a DXGI shared-handle GPU surface.
  EXPECT_EQ(registrar_.registrations(), 1);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
}

TEST_F(GpuTexturePluginTest, CreateFallsBackToDefaultsForMissingOrWrongKinds) {
  // Arguments that are no map.
  ExpectSize(Describe(Create(EncodableValue(5))), 1920, 1080);
  ExpectSize(Describe(Create(EncodableValue(EncodableValueList{EncodableValue(640)}))), 1920, 1080);
  // Only 32-bit integers count as a size.
  ExpectSize(Describe(Create(Args({{"width", EncodableValue(int64_t{640})},
                                   {"height", EncodableValue(int32_t{720})}}))),
             1920, 720);
  ExpectSize(
      Describe(Create(Args({{"width", EncodableValue(640.0)}, {"height", EncodableValue("480")}}))),
      1920, 1080);
  ExpectSize(
      Describe(Create(Args({{"width", EncodableValue(640)}, {"height", EncodableValue(480)}}))),
      640, 480);
  EXPECT_EQ(backend_.texture_calls, 5);
}

TEST_F(GpuTexturePluginTest, CallerHandlesAreRegisteredAsGivenWithoutAnyGpuObject) {
  struct Case {
    EncodableValue handle;
    const char* answered;
  };
  const std::vector<Case> cases = {
      {EncodableValue("77"), "77"},
      {EncodableValue(" 42xyz"), "42"},
      {EncodableValue(int32_t{-1}), "18446744073709551615"},
      {EncodableValue(int32_t{0}), "0"},
      {EncodableValue(int64_t{-2}), "18446744073709551614"},
      {EncodableValue("+18446744073709551615"), "18446744073709551615"},
  };
  for (const Case& c : cases) {
    const Reply reply = Call("create", Args({{"sharedHandle", c.handle}}));
    ASSERT_EQ(reply.kind, Reply::kSuccess);
    EXPECT_EQ(HandleText(reply), c.answered);
    const int64_t id = std::get<int64_t>(*reply.Field("textureId"));
    const FlutterDesktopGpuSurfaceDescriptor* d = Describe(id);
    EXPECT_EQ(HandleText(d), c.answered);
    // The caller's size is not known: the default stands.
    ExpectSize(d, 1920, 1080);
  }
  EXPECT_EQ(backend_.device_calls, 0);
  EXPECT_EQ(LiveSoftwareObjects().devices, 0);

  // A handle of letters is none: the plugin makes its own texture.
  const Reply own = Call("create", Args({{"sharedHandle", EncodableValue("abc")}}));
  ASSERT_EQ(own.kind, Reply::kSuccess);
  EXPECT_EQ(backend_.device_calls, 1);
  EXPECT_NE(HandleText(own), "0");
  // So is a handle of another kind.
  Create(Args({{"sharedHandle", EncodableValue(77.0)}}));
  EXPECT_EQ(backend_.device_calls, 2);
  EXPECT_EQ(LiveSoftwareObjects().textures, 2);
}

TEST_F(GpuTexturePluginTest, CreateFailuresAnswerTheirErrorsAndKeepNothing) {
  backend_.fail_device = true;
  ExpectError(Call("create"), "texture_error", "Failed to create shared texture");
  backend_.fail_device = false;
  backend_.fail_texture = true;
  ExpectError(Call("createGpuTexture"), "texture_error", "Failed to create shared texture");
  backend_.fail_texture = false;
  // A size the device refuses, also a negative one.
  ExpectError(Call("create", Args({{"width", EncodableValue(0)}})), "texture_error",
              "Failed to create shared texture");
  ExpectError(Call("create", Args({{"height", EncodableValue(-1)}})), "texture_error",
              "Failed to create shared texture");
  EXPECT_EQ(registrar_.registrations(), 0);
  ExpectNoGpuObjects();

  // The engine refuses with 0: nothing stays registered, and the record is
  // freed once the engine confirms.
  registrar_.SetNextId(0);
  ExpectError(Call("create"), "register_failed", "RegisterTexture returned 0");
  EXPECT_EQ(registrar_.unregistered(), std::vector<int64_t>{0});
  EXPECT_EQ(registrar_.RunCompletions(), 1);
  EXPECT_FALSE(registrar_.Reachable(0));
  ExpectNoGpuObjects();
  EXPECT_EQ(Create(), 1);

  // Only the begin line is written for a failed create.
  std::vector<std::string> messages = log_.Messages();
  ASSERT_EQ(messages.size(), 7u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(messages[i], "HandleCreate begin");
  }
}

TEST_F(GpuTexturePluginTest, WithoutTextureRegistrarCreateFailsAndUpdateDisposeSkipIt) {
  plugin_.reset();
  plugin_ = GpuTexturePlugin::Create(&messenger_, nullptr, backend_);
  ExpectError(Call("create"), "registrar_unavailable", "Texture registrar is null");
  ExpectError(Call("create", Args({{"sharedHandle", EncodableValue("5")}})),
              "registrar_unavailable", "Texture registrar is null");
  ExpectNoGpuObjects();
  ExpectError(Call("update", Args({{"textureId", EncodableValue(1)}})), "not_found",
              "Texture not found");
  EXPECT_EQ(Call("dispose", Args({{"textureId", EncodableValue(1)}})).value, EncodableValue(true));
  EXPECT_TRUE(registrar_.unregistered().empty());
}

TEST_F(GpuTexturePluginTest, UpdateChecksArgumentsInOrderAndLooksUpBeforeReadingTheRest) {
  ExpectError(Call("update"), "bad_args", "Expected map");
  ExpectError(Call("update", EncodableValue(EncodableValueList{})), "bad_args", "Expected map");
  ExpectError(Call("update", Args({})), "bad_args", "Missing textureId");
  ExpectError(Call("update", Args({{"textureId", EncodableValue(1.0)}})), "bad_args",
              "Missing textureId");
  ExpectError(Call("update", Args({{"textureId", EncodableValue("1")}})), "bad_args",
              "Missing textureId");
  // Unknown id: "not_found", whatever else is wrong.
  ExpectError(Call("update", Args({{"textureId", EncodableValue(9)},
                                   {"width", EncodableValue("wide")},
                                   {"sharedHandle", EncodableValue(true)}})),
              "not_found", "Texture not found");
  // Each of them logged its begin line and nothing else.
  EXPECT_EQ(log_.Messages(), std::vector<std::string>(6, "HandleUpdate begin"));
}

TEST_F(GpuTexturePluginTest, UpdateOfAnOwnTextureMakesANewOneEvenAtTheSameSize) {
  const int64_t id =
      Create(Args({{"width", EncodableValue(640)}, {"height", EncodableValue(480)}}));
  const std::string first = HandleText(Describe(id));

  // The 64-bit id finds the record too.
  const Reply same = Call("update", Args({{"textureId", EncodableValue(int64_t{id})}}));
  ASSERT_EQ(same.kind, Reply::kSuccess);
  EXPECT_EQ(std::get<EncodableValueMap>(same.value).size(), 1u);  // no "textureId"
  const std::string second = HandleText(same);
  EXPECT_NE(second, first);
  EXPECT_EQ(HandleText(Describe(id)), second);
  ExpectSize(Describe(id), 640, 480);
  EXPECT_EQ(registrar_.marks(id), 1);  // the engine is told to ask again

  const Reply resized =
      Call("updateGpuTextureSize", Args({{"textureId", EncodableValue(int32_t(id))},
                                         {"width", EncodableValue(800)},
                                         {"height", EncodableValue(int64_t{1})}}));
  ASSERT_EQ(resized.kind, Reply::kSuccess);
  ExpectSize(Describe(id), 800, 480);
  EXPECT_EQ(backend_.last_description.width, 800u);
  EXPECT_EQ(HandleText(Describe(id)), HandleText(resized));

  // One device for the record's life; one texture alive at a time.
  EXPECT_EQ(backend_.device_calls, 1);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
  EXPECT_EQ(registrar_.marks(id), 2);

  const std::vector<std::string> expected = {
      "HandleCreate begin",
      "HandleCreate done textureId=1 handle=" + first + " w=640 h=480",
      "HandleUpdate begin",
      "HandleUpdate done textureId=1 handle=" + second + " w=640 h=480",
      "HandleUpdate begin",
      "HandleUpdate done textureId=1 handle=" + HandleText(resized) + " w=800 h=480",
  };
  EXPECT_EQ(log_.Messages(), expected);
}

TEST_F(GpuTexturePluginTest, ACallerHandleMovesTheRecordToTheCallerStateForGood) {
  const int64_t id = Create(Args({{"width", EncodableValue(64)}, {"height", EncodableValue(32)}}));
  const Reply moved = Call("update", Args({{"textureId", EncodableValue(int32_t(id))},
                                           {"sharedHandle", EncodableValue("99")}}));
  EXPECT_EQ(HandleText(moved), "99");
  EXPECT_EQ(HandleText(Describe(id)), "99");
  ExpectSize(Describe(id), 64, 32);
  // The texture is released, the device kept.
  EXPECT_EQ(LiveSoftwareObjects().textures, 0);
  EXPECT_EQ(LiveSoftwareObjects().devices, 1);

  // Without a handle now only the size changes; no texture is made.
  const Reply resized = Call(
      "update", Args({{"textureId", EncodableValue(int32_t(id))}, {"height", EncodableValue(16)}}));
  EXPECT_EQ(HandleText(resized), "99");
  ExpectSize(Describe(id), 64, 16);
  EXPECT_EQ(backend_.texture_calls, 1);

  // A record created with a caller handle, resized.
  const int64_t caller = Create(Args({{"sharedHandle", EncodableValue("5")}}));
  const Reply sized = Call("update", Args({{"textureId", EncodableValue(int32_t(caller))},
                                           {"width", EncodableValue(320)},
                                           {"height", EncodableValue(200)}}));
  EXPECT_EQ(HandleText(sized), "5");
  ExpectSize(Describe(caller), 320, 200);
  EXPECT_EQ(backend_.device_calls, 1);
  EXPECT_EQ(registrar_.marks(caller), 1);
}

TEST_F(GpuTexturePluginTest, AFailedRecreationKeepsTheRecordRegisteredWithItsOldDescriptor) {
  const int64_t id =
      Create(Args({{"width", EncodableValue(640)}, {"height", EncodableValue(480)}}));
  const std::string old_handle = HandleText(Describe(id));

  backend_.fail_texture = true;
  ExpectError(Call("update", Args({{"textureId", EncodableValue(int32_t(id))},
                                   {"width", EncodableValue(100)}})),
              "texture_error", "Failed to recreate shared texture");
  EXPECT_TRUE(registrar_.Reachable(id));
  EXPECT_EQ(HandleText(Describe(id)), old_handle);
  ExpectSize(Describe(id), 640, 480);
  EXPECT_EQ(LiveSoftwareObjects().textures, 0);
  EXPECT_EQ(registrar_.marks(id), 0);

  // A later update tries again, in the own state still.
  backend_.fail_texture = false;
  const Reply retried = Call("update", Args({{"textureId", EncodableValue(int32_t(id))}}));
  ASSERT_EQ(retried.kind, Reply::kSuccess);
  EXPECT_NE(HandleText(retried), "0");
  ExpectSize(Describe(id), 640, 480);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);
  EXPECT_EQ(backend_.device_calls, 1);
}

TEST_F(GpuTexturePluginTest, DisposeAnswersTrueEveryTimeAndUnregistersOnce) {
  ExpectError(Call("dispose"), "bad_args", "Expected map");
  ExpectError(Call("dispose", EncodableValue("1")), "bad_args", "Expected map");
  ExpectError(Call("dispose", Args({{"textureId", EncodableValue(true)}})), "bad_args",
              "Missing textureId");
  // Never created.
  EXPECT_EQ(Call("dispose", Args({{"textureId", EncodableValue(42)}})).value, EncodableValue(true));
  EXPECT_TRUE(registrar_.unregistered().empty());

  const int64_t id = Create();
  const int64_t other = Create(Args({{"sharedHandle", EncodableValue("8")}}));
  for (int i = 0; i < 2; ++i) {
    const Reply reply =
        Call("disposeGpuTexture", Args({{"textureId", EncodableValue(int32_t(id))}}));
    EXPECT_EQ(reply.kind, Reply::kSuccess);
    EXPECT_EQ(reply.value, EncodableValue(true));
  }
  EXPECT_EQ(Call("dispose", Args({{"textureId", EncodableValue(int64_t{other})}})).value,
            EncodableValue(true));
  EXPECT_EQ(registrar_.unregistered(), (std::vector<int64_t>{id, other}));
  ExpectError(Call("update", Args({{"textureId", EncodableValue(int32_t(id))}})), "not_found",
              "Texture not found");
  EXPECT_EQ(registrar_.RunCompletions(), 2);
  ExpectNoGpuObjects();
  // Dispose writes no log lines.
  EXPECT_EQ(log_.Messages().size(), 5u);
}

TEST_F(GpuTexturePluginTest, NamesMatchExactlyAndOthersAreNotImplemented) {
  for (const char* name : {"Create", "CREATE", "createGPUTexture", "create ", "Update",
                           "updateGpuTextureSIZE", "DISPOSE", "disposeGpuTEXTURE", "", "destroy"}) {
    const Reply reply = Call(name, Args({{"textureId", EncodableValue(1)}}));
    EXPECT_EQ(reply.kind, Reply::kNotImplemented) << name;
    EXPECT_TRUE(reply.bytes.empty()) << name;
    EXPECT_EQ(reply.responses, 1) << name;
  }
  EXPECT_EQ(registrar_.registrations(), 0);
  EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(GpuTexturePluginTest, TheLongestLogLineIsWrittenWhole) {
  registrar_.SetNextId(std::numeric_limits<int64_t>::min());
  const int32_t lowest = std::numeric_limits<int32_t>::min();
  Create(Args({{"sharedHandle", EncodableValue(int32_t{-1})},
               {"width", EncodableValue(lowest)},
               {"height", EncodableValue(lowest)}}));
  const std::vector<std::string> messages = log_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1],
            "HandleCreate done textureId=-9223372036854775808 handle=18446744073709551615 "
            "w=-2147483648 h=-2147483648");
  EXPECT_EQ(messages[1].size(), 104u);
  // Sizes reach the engine sign-extended.
  ExpectSize(Describe(std::numeric_limits<int64_t>::min()), static_cast<size_t>(int64_t{lowest}),
             static_cast<size_t>(int64_t{lowest}));
}

// The engine may ask for a descriptor until unregistration has completed: the
// record stays until then (AddressSanitizer watches the reads).
TEST_F(GpuTexturePluginTest, DisposedRecordLivesUntilUnregistrationCompletes) {
  const int64_t id =
      Create(Args({{"width", EncodableValue(300)}, {"height", EncodableValue(200)}}));
  const std::string handle = HandleText(Describe(id));
  EXPECT_EQ(Call("dispose", Args({{"textureId", EncodableValue(int32_t(id))}})).value,
            EncodableValue(true));
  ASSERT_TRUE(registrar_.Reachable(id));
  const FlutterDesktopGpuSurfaceDescriptor* late = Describe(id);
  EXPECT_EQ(HandleText(late), handle);
  ExpectSize(late, 300, 200);
  EXPECT_EQ(LiveSoftwareObjects().textures, 1);  // its handle still names a texture

  EXPECT_EQ(registrar_.RunCompletions(), 1);
  ExpectNoGpuObjects();
}

TEST_F(GpuTexturePluginTest, DestructionUnregistersWhatIsLeftAndWithdrawsEverything) {
  const int64_t own = Create();
  const int64_t caller = Create(Args({{"sharedHandle", EncodableValue("12")}}));
  EXPECT_EQ(gpu_texture_plugin_instance.load(), plugin_.get());
  ASSERT_TRUE(messenger_.HasHandler(kGpuTextureChannelName));

  plugin_.reset();
  EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
  EXPECT_FALSE(messenger_.HasHandler(kGpuTextureChannelName));
  std::vector<int64_t> unregistered = registrar_.unregistered();
  std::sort(unregistered.begin(), unregistered.end());
  EXPECT_EQ(unregistered, (std::vector<int64_t>{own, caller}));
  // Until the engine confirms, it can still read both.
  EXPECT_EQ(HandleText(Describe(caller)), "12");
  ExpectSize(Describe(own), 1920, 1080);
  EXPECT_EQ(registrar_.RunCompletions(), 2);
  ExpectNoGpuObjects();
}

}  // namespace
}  // namespace velora::test
