// Real Direct3D 11 and DXGI and the plugin on top of them. Whether a texture
// can be shared by handle depends on the machine (Wine's DXGI answers
// E_NOTIMPL, a desktop PC gives a handle): the probe finds out, and each case
// asserts that the backend and the plugin agree with it. (The export is found
// by name in renderer_test.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gpu_texture/d3d11_gpu_backend.h"
#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/shared_texture.h"
#include "gpu_texture/texture_arguments.h"
#include "tests/gpu_texture/plugin_test_support.h"
#include "tests/support/platform_probe.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;

// What the outside renderer does with a shared handle: opens it on a device
// of its own, where it must be the very texture, with its size and format.
void ExpectOpensOnASecondDevice(SharedHandle handle, UINT width, UINT height) {
  ComPtr<ID3D11Device> device;
  const HRESULT made =
      D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                        D3D11_SDK_VERSION, device.ReleaseAndGetAddressOf(), nullptr, nullptr);
  ASSERT_TRUE(SUCCEEDED(made)) << std::hex << made;
  ComPtr<ID3D11Texture2D> opened;
  const HRESULT result = device->OpenSharedResource(
      handle, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(opened.ReleaseAndGetAddressOf()));
  ASSERT_TRUE(SUCCEEDED(result)) << std::hex << result;
  D3D11_TEXTURE2D_DESC desc{};
  opened->GetDesc(&desc);
  EXPECT_EQ(desc.Width, width);
  EXPECT_EQ(desc.Height, height);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
}

TEST(D3D11BackendTest, MakesADeviceAndAShareableTextureWithTheFixedDescription) {
  D3D11GpuBackend backend;
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  ASSERT_TRUE(EnsureDevice(backend, device, context));
  EXPECT_GE(device->GetFeatureLevel(), D3D_FEATURE_LEVEL_10_0);

  ComPtr<ID3D11Texture2D> texture;
  ASSERT_TRUE(backend.CreateTexture(device.Get(), SharedTextureDescription(320, 200), &texture));
  D3D11_TEXTURE2D_DESC desc{};
  texture->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 320u);
  EXPECT_EQ(desc.Height, 200u);
  EXPECT_EQ(desc.MipLevels, 1u);
  EXPECT_EQ(desc.ArraySize, 1u);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
  EXPECT_EQ(desc.SampleDesc.Count, 1u);
  EXPECT_EQ(desc.SampleDesc.Quality, 0u);
  EXPECT_EQ(desc.Usage, D3D11_USAGE_DEFAULT);
  EXPECT_EQ(desc.BindFlags,
            static_cast<UINT>(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET));
  EXPECT_EQ(desc.CPUAccessFlags, 0u);
  EXPECT_EQ(desc.MiscFlags, static_cast<UINT>(D3D11_RESOURCE_MISC_SHARED));

  SharedHandle handle = nullptr;
  const bool shared = backend.ReadSharedHandle(texture.Get(), &handle);
  ASSERT_EQ(shared, PlatformSharesTextures());
  if (shared) {
    EXPECT_NE(handle, nullptr);
    ExpectOpensOnASecondDevice(handle, 320, 200);
  } else {
    EXPECT_EQ(handle, nullptr);
  }

  ComPtr<ID3D11Texture2D> refused;
  EXPECT_FALSE(backend.CreateTexture(device.Get(), SharedTextureDescription(0, 16), &refused));
  EXPECT_FALSE(refused);

  // Each holder had the only reference this program keeps.
  EXPECT_EQ(texture.Reset(), 0u);
  EXPECT_EQ(context.Reset(), 0u) << "the context counts apart from the device";
  EXPECT_EQ(device.Reset(), 0u);
}

// The plugin over the real backend, on a loopback messenger and a recording
// texture registrar.
class PluginOnD3D11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_.keep_last = true;
    plugin_ = GpuTexturePlugin::Create(&messenger_, &registrar_, backend_);
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

// Without a caller handle the plugin makes a texture of its own. Where the
// platform shares textures it succeeds and the handle it answers opens on
// another device; elsewhere the call fails and releases what it made.
TEST_F(PluginOnD3D11Test, CreateWithoutCallerHandleSharesAnOwnTextureWhereThePlatformCan) {
  const Reply reply = channel_.Call(
      "create", Args({{"width", EncodableValue(256)}, {"height", EncodableValue(128)}}));
  EXPECT_EQ(backend_.device_calls, 1);
  EXPECT_EQ(backend_.texture_calls, 1);
  EXPECT_EQ(backend_.handle_calls, 1);
  if (PlatformSharesTextures()) {
    ASSERT_EQ(reply.kind, Reply::kSuccess) << reply.code << " " << reply.message;
    EXPECT_EQ(std::get<int64_t>(*reply.Field("textureId")), 1);
    const std::optional<uint64_t> handle = ParseHandleArgument(*reply.Field("sharedHandle"));
    ASSERT_TRUE(handle.has_value()) << HandleText(reply);
    EXPECT_NE(*handle, 0u);
    EXPECT_EQ(registrar_.registrations(), 1);
    ExpectOpensOnASecondDevice(reinterpret_cast<SharedHandle>(static_cast<uintptr_t>(*handle)), 256,
                               128);
    return;
  }
  EXPECT_EQ(reply.kind, Reply::kError);
  EXPECT_EQ(reply.code, "texture_error");
  EXPECT_EQ(reply.message, "Failed to create shared texture");
  EXPECT_TRUE(reply.value.IsNull());
  EXPECT_EQ(registrar_.registrations(), 0);
  // A device and a texture were really made, and the record's end released
  // them: the references the test kept are the last ones.
  EXPECT_EQ(backend_.last_texture.Reset(), 0u);
  EXPECT_EQ(backend_.last_device.Reset(), 0u);
  EXPECT_EQ(log_.Messages(), std::vector<std::string>{"HandleCreate begin"});
}

TEST_F(PluginOnD3D11Test, CallerHandlesWorkThroughAndAreNeverClosed) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  const std::string first_text = FormatHandle(first);
  const std::string second_text = FormatHandle(second);

  const Reply created = channel_.Call("create", Args({{"sharedHandle", EncodableValue(first_text)},
                                                      {"width", EncodableValue(640)},
                                                      {"height", EncodableValue(360)}}));
  ASSERT_EQ(created.kind, Reply::kSuccess);
  const int64_t id = std::get<int64_t>(*created.Field("textureId"));
  const FlutterDesktopGpuSurfaceDescriptor* d = registrar_.Describe(id, 640, 360);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->handle, first);
  EXPECT_EQ(d->width, 640u);
  EXPECT_EQ(backend_.device_calls, 0);

  const Reply moved = channel_.Call(
      "update",
      Args({{"textureId", EncodableValue(id)}, {"sharedHandle", EncodableValue(second_text)}}));
  EXPECT_EQ(HandleText(moved), second_text);
  EXPECT_EQ(registrar_.Describe(id)->handle, second);
  EXPECT_EQ(channel_.Call("dispose", Args({{"textureId", EncodableValue(id)}})).value,
            EncodableValue(true));
  EXPECT_EQ(registrar_.RunCompletions(), 1);
  plugin_.reset();

  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(first, &flags));
  EXPECT_TRUE(GetHandleInformation(second, &flags));
  CloseHandle(first);
  CloseHandle(second);

  const std::vector<std::string> expected = {
      "HandleCreate begin",
      "HandleCreate done textureId=1 handle=" + first_text + " w=640 h=360",
      "HandleUpdate begin",
      "HandleUpdate done textureId=1 handle=" + second_text + " w=640 h=360",
  };
  EXPECT_EQ(log_.Messages(), expected);
}

}  // namespace
}  // namespace velora::test
