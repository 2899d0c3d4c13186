// Registration through a plugin registrar of the stand-in engine: the channel
// answers on the engine's messenger, textures reach the engine's registrar,
// and the plugin goes when the engine ends.
#include <gtest/gtest.h>

#include <vector>

#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/software_gpu_backend.h"
#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "tests/gpu_texture/plugin_test_support.h"
#include "window/plugin_registrar.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;

TEST(PluginRegistrationTest, RegistersOnTheEnginesRegistrarAndEndsWithTheEngine) {
  PrivateGpuLog log;
  const int violations_at_start = standin::ContractViolations();
  const size_t registrars_at_start = flutter::RegistrarTable::Get().size();
  FlutterDesktopEngineProperties properties = {};
  properties.dart_entrypoint = "";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  FlutterDesktopPluginRegistrarRef handle =
      FlutterDesktopEngineGetPluginRegistrar(engine, kGpuTexturePluginName);
  ASSERT_NE(handle, nullptr);
  GpuTexturePlugin::RegisterWithRegistrar(flutter::RegistrarTable::Get().RegistrarFor(handle));
  ASSERT_NE(gpu_texture_plugin_instance.load(), nullptr);

  ChannelDriver channel([engine](const std::vector<uint8_t>& bytes,
                                 std::function<void(std::vector<uint8_t>)> on_response) {
    standin::DeliverToHost(engine->messenger, kGpuTextureChannelName, bytes,
                           std::move(on_response));
  });
  const Reply created =
      channel.Call("create", Args({{"width", EncodableValue(64)}, {"height", EncodableValue(48)}}));
  ASSERT_EQ(created.kind, Reply::kSuccess);
  const int64_t id = std::get<int64_t>(*created.Field("textureId"));
  const auto info = standin::RegisteredTexture(engine->texture_registrar, id);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, kFlutterDesktopGpuSurfaceTexture);
  EXPECT_EQ(info->gpu_surface_config.struct_size, 32u);
  EXPECT_EQ(info->gpu_surface_config.type, kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle);
  const FlutterDesktopGpuSurfaceDescriptor* d =
      standin::RequestGpuSurface(engine->texture_registrar, id, 1, 1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, 64u);
  EXPECT_EQ(d->height, 48u);

  // A marked frame makes the engine's compositor ask for the descriptor.
  gpu_texture_mark_frame_available(id);
  EXPECT_EQ(standin::MarkedFrames(engine->texture_registrar, id), 1u);
  standin::WaitForCompositor(engine->texture_registrar);
  EXPECT_EQ(standin::ComposedFrames(engine->texture_registrar, id), 1u);
  const auto composed = standin::LastComposedDescriptor(engine->texture_registrar, id);
  ASSERT_TRUE(composed.has_value());
  EXPECT_EQ(composed->width, 64u);
  EXPECT_EQ(composed->handle, d->handle);

  // The engine ends: its registrar takes the plugin along, which withdraws
  // itself and hands its texture back before the texture registrar goes.
  FlutterDesktopEngineDestroy(engine);
  EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
  EXPECT_EQ(flutter::RegistrarTable::Get().size(), registrars_at_start);
  const SoftwareObjectCounts live = LiveSoftwareObjects();
  EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
  EXPECT_EQ(standin::ContractViolations(), violations_at_start);
  gpu_texture_mark_frame_available(id);  // inert now
}

}  // namespace
}  // namespace velora::test
