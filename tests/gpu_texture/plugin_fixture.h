// Fixture of the plugin tests: a plugin on a loopback messenger, a recording
// texture registrar and the scripted software backend, with a GPU log of its
// own. At the end every GPU object must be gone.
#ifndef TESTS_GPU_TEXTURE_PLUGIN_FIXTURE_H_
#define TESTS_GPU_TEXTURE_PLUGIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gpu_texture/gpu_texture_plugin.h"
#include "tests/gpu_texture/plugin_test_support.h"

namespace velora::test {

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { plugin_ = GpuTexturePlugin::Create(&messenger_, &registrar_, backend_); }

  void TearDown() override {
    plugin_.reset();
    registrar_.RunCompletions();
    backend_.last_device = nullptr;
    backend_.last_texture = nullptr;
    ExpectNoGpuObjects();
  }

  static void ExpectNoGpuObjects();

  Reply Call(const std::string& method) { return channel_.Call(method); }
  Reply Call(const std::string& method, const flutter::EncodableValue& arguments) {
    return channel_.Call(method, arguments);
  }

  // A successful "create" with `arguments`; returns the texture id.
  int64_t Create(const flutter::EncodableValue& arguments);
  int64_t Create() { return Create(Args({})); }

  // The descriptor the engine would get now for `texture_id`.
  const FlutterDesktopGpuSurfaceDescriptor* Describe(int64_t texture_id) {
    return registrar_.Describe(texture_id, 3, 5);
  }

  PrivateGpuLog log_;
  ScriptedBackend backend_;
  RecordingTextureRegistrar registrar_;
  LoopbackMessenger messenger_;
  ChannelDriver channel_{[this](const std::vector<uint8_t>& bytes,
                                std::function<void(std::vector<uint8_t>)> on_response) {
    messenger_.Deliver(kGpuTextureChannelName, bytes, std::move(on_response));
  }};
  std::unique_ptr<GpuTexturePlugin> plugin_;
};

// The handle of a descriptor as the channel writes it.
std::string HandleText(const FlutterDesktopGpuSurfaceDescriptor* descriptor);

}  // namespace velora::test

#endif  // TESTS_GPU_TEXTURE_PLUGIN_FIXTURE_H_
