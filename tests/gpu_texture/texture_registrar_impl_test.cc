#include "gpu_texture/texture_registrar_impl.h"

#include <gtest/gtest.h>

#include <string>

#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_texture_registrar.h"

namespace flutter {
namespace {

using velora::standin::MarkedFrames;
using velora::standin::RegisteredTexture;

class TextureRegistrarImplTest : public ::testing::Test {
 protected:
  void SetUp() override { violations_at_start_ = velora::standin::ContractViolations(); }
  void TearDown() override {
    velora::standin::DeleteTextureRegistrar(embedder_);
    EXPECT_EQ(velora::standin::ContractViolations(), violations_at_start_);
  }

  FlutterDesktopTextureRegistrarRef embedder_ = velora::standin::NewTextureRegistrar();
  TextureRegistrarImpl registrar_{embedder_};

 private:
  int violations_at_start_ = 0;
};

TEST_F(TextureRegistrarImplTest, GpuSurfaceSourceReachesTheEmbedderWithItsFields) {
  FlutterDesktopGpuSurfaceDescriptor descriptor = {};
  size_t asked_width = 0;
  size_t asked_height = 0;
  TextureSource source = GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                          [&](size_t width, size_t height) {
                                            asked_width = width;
                                            asked_height = height;
                                            return &descriptor;
                                          }};
  const int64_t id = registrar_.RegisterTexture(&source);
  EXPECT_EQ(id, 1);

  auto info = RegisteredTexture(embedder_, id);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, kFlutterDesktopGpuSurfaceTexture);
  EXPECT_EQ(info->gpu_surface_config.struct_size, 32u);
  EXPECT_EQ(info->gpu_surface_config.type, kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle);
  EXPECT_EQ(info->gpu_surface_config.user_data, std::get_if<GpuSurfaceSource>(&source));

  // The compositor's request comes back through the trampoline.
  EXPECT_EQ(velora::standin::RequestGpuSurface(embedder_, id, 1920, 1080), &descriptor);
  EXPECT_EQ(asked_width, 1920u);
  EXPECT_EQ(asked_height, 1080u);
  EXPECT_EQ(velora::standin::RequestPixelBuffer(embedder_, id, 1, 1), nullptr);
}

TEST_F(TextureRegistrarImplTest, PixelBufferSourceReachesTheEmbedderWithItsFields) {
  FlutterDesktopPixelBuffer buffer = {};
  TextureSource source = PixelBufferSource{[&](size_t width, size_t height) {
    buffer.width = width;
    buffer.height = height;
    return &buffer;
  }};
  const int64_t id = registrar_.RegisterTexture(&source);

  auto info = RegisteredTexture(embedder_, id);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, kFlutterDesktopPixelBufferTexture);
  EXPECT_EQ(info->pixel_buffer_config.user_data, std::get_if<PixelBufferSource>(&source));
  EXPECT_EQ(velora::standin::RequestPixelBuffer(embedder_, id, 64, 48), &buffer);
  EXPECT_EQ(buffer.width, 64u);
  EXPECT_EQ(buffer.height, 48u);
}

TEST_F(TextureRegistrarImplTest, MissingSourceIsReportedWithoutCallingTheEmbedder) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(registrar_.RegisterTexture(nullptr), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Attempting to register unknown texture variant.\n");

  // The embedder handed out no id: the next registration still gets the first.
  TextureSource source = GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                          [](size_t, size_t) { return nullptr; }};
  EXPECT_EQ(registrar_.RegisterTexture(&source), 1);
}

TEST_F(TextureRegistrarImplTest, EmbedderIdsAndFrameResultsPassThroughUnchanged) {
  TextureSource source = GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                          [](size_t, size_t) { return nullptr; }};
  velora::standin::SetNextTextureId(embedder_, 0);
  EXPECT_EQ(registrar_.RegisterTexture(&source), 0);
  velora::standin::SetNextTextureId(embedder_, -1);
  EXPECT_EQ(registrar_.RegisterTexture(&source), -1);
  EXPECT_EQ(registrar_.RegisterTexture(&source), 1);

  // 0 and -1 were refused: nothing is registered under them.
  EXPECT_FALSE(registrar_.MarkFrameAvailable(0));
  EXPECT_TRUE(registrar_.MarkFrameAvailable(1));
  EXPECT_TRUE(registrar_.MarkFrameAvailable(1));
  EXPECT_FALSE(registrar_.MarkFrameAvailable(-1));
  EXPECT_FALSE(registrar_.MarkFrameAvailable(7));
  EXPECT_EQ(MarkedFrames(embedder_, 0), 0u);
  EXPECT_EQ(MarkedFrames(embedder_, 1), 2u);
}

TEST_F(TextureRegistrarImplTest, UnregisteringWithoutCompletionRemovesAndAlwaysSaysTrue) {
  TextureSource source = GpuSurfaceSource{kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                          [](size_t, size_t) { return nullptr; }};
  const int64_t id = registrar_.RegisterTexture(&source);
  EXPECT_TRUE(registrar_.UnregisterExternalTexture(id));
  EXPECT_FALSE(RegisteredTexture(embedder_, id).has_value());
  EXPECT_FALSE(registrar_.MarkFrameAvailable(id));
  EXPECT_EQ(velora::standin::RequestGpuSurface(embedder_, id, 1, 1), nullptr);

  EXPECT_TRUE(registrar_.UnregisterExternalTexture(12345));
}

}  // namespace
}  // namespace flutter
