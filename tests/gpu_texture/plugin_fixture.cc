#include "tests/gpu_texture/plugin_fixture.h"

#include "gpu_texture/software_gpu_backend.h"
#include "gpu_texture/texture_arguments.h"

namespace velora::test {

void PluginTest::ExpectNoGpuObjects() {
  const SoftwareObjectCounts live = LiveSoftwareObjects();
  EXPECT_EQ(live.devices, 0);
  EXPECT_EQ(live.contexts, 0);
  EXPECT_EQ(live.textures, 0);
}

int64_t PluginTest::Create(const flutter::EncodableValue& arguments) {
  const Reply reply = Call("create", arguments);
  EXPECT_EQ(reply.kind, Reply::kSuccess) << reply.code << ": " << reply.message;
  const flutter::EncodableValue* id = reply.Field("textureId");
  if (id == nullptr || !std::holds_alternative<int64_t>(*id)) {
    ADD_FAILURE() << "no 64-bit textureId in the answer";
    return 0;
  }
  return std::get<int64_t>(*id);
}

std::string HandleText(const FlutterDesktopGpuSurfaceDescriptor* descriptor) {
  return descriptor != nullptr ? FormatHandle(descriptor->handle) : "<no descriptor>";
}

}  // namespace velora::test
