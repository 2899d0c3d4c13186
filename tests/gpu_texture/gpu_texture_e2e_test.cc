// The GPU texture channel through the real executable under Wine, with the
// stand-in embedder playing the Dart side and a renderer thread of its own:
// the method table's bytes on the wire, the GPU plugin log with the thread
// ids of its writers, and frames marked through the exported function.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "messaging/encodable_value.h"
#include "messaging/standard_method_codec.h"
#include "tests/e2e/scenario_harness.h"
#include "tests/support/platform_probe.h"
#include "tests/support/win_test_support.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

std::string Success(const EncodableValue& value) {
  return Hex(*flutter::StandardMethodCodec::ForSerializer().EncodeSuccessReply(&value));
}

std::string Error(const std::string& code, const std::string& message) {
  return Hex(
      *flutter::StandardMethodCodec::ForSerializer().EncodeErrorReply(code, message, nullptr));
}

std::string Created(int64_t id, const std::string& handle) {
  return Success(
      EncodableValue(EncodableValueMap{{EncodableValue("textureId"), EncodableValue(id)},
                                       {EncodableValue("sharedHandle"), EncodableValue(handle)}}));
}

std::string Updated(const std::string& handle) {
  return Success(
      EncodableValue(EncodableValueMap{{EncodableValue("sharedHandle"), EncodableValue(handle)}}));
}

struct GpuLogLine {
  unsigned long tid = 0;
  std::string message;
};

// The GPU log lines `pid` appended after `offset`, with their thread ids.
std::vector<GpuLogLine> GpuLogOf(unsigned long pid, size_t offset) {
  const std::string text = ReadBinaryFile(TempFilePath(kGpuPluginLogFileName));
  std::vector<GpuLogLine> lines;
  size_t at = offset;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    unsigned long line_pid = 0;
    unsigned long tid = 0;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "[pid=%lu tid=%lu] %n", &line_pid, &tid, &consumed) == 2 &&
        consumed > 0 && line_pid == pid) {
      lines.push_back({tid, line.substr(static_cast<size_t>(consumed))});
    }
  }
  return lines;
}

size_t GpuLogSize() {
  return ReadBinaryFile(TempFilePath(kGpuPluginLogFileName)).size();
}

TEST(GpuTextureEndToEndTest, MethodTableOnTheWire) {
  const size_t log_offset = GpuLogSize();
  const ScenarioRun run = RunScenario(
      "call velora/window isFullscreen\n"                            // 1: see OwnTextures...
      "call velora/gpu_texture create {\"sharedHandle\": \"77\"}\n"  // 2
      "call velora/window isFullscreen\n"                            // 3
      "call velora/gpu_texture create {\"sharedHandle\": \" 42xyz\", \"width\": 640L, "
      "\"height\": 480.0}\n"  // 4
      "call velora/gpu_texture createGpuTexture {\"sharedHandle\": -1, \"width\": 320, "
      "\"height\": 200}\n"                                                         // 5
      "call velora/gpu_texture create {\"sharedHandle\": 0}\n"                     // 6
      "call velora/gpu_texture update {\"textureId\": 99, \"width\": \"wide\"}\n"  // 7
      "call velora/gpu_texture update {\"textureId\": 1L, \"width\": 800}\n"       // 8
      "call velora/gpu_texture update\n"                                           // 9
      "call velora/gpu_texture update {\"width\": 1}\n"                            // 10
      "call velora/gpu_texture updateGpuTextureSize {\"textureId\": 2, "
      "\"sharedHandle\": \"5\"}\n"                                       // 11
      "call velora/gpu_texture dispose {\"textureId\": 1}\n"             // 12
      "call velora/gpu_texture disposeGpuTexture {\"textureId\": 1L}\n"  // 13
      "call velora/gpu_texture update {\"textureId\": 1}\n"              // 14
      "call velora/gpu_texture dispose [1]\n"                            // 15
      "call velora/gpu_texture dispose {\"textureId\": \"3\"}\n"         // 16
      "call velora/gpu_texture Create\n"                                 // 17
      "call velora/gpu_texture DISPOSE {\"textureId\": 2}\n"             // 18
      "call velora/gpu_texture dispose {\"textureId\": 42}\n"            // 19
      "close\n");
  ASSERT_EQ(run.exit_code, 0) << run.stderr_text;

  EXPECT_EQ(run.Response(1), Success(EncodableValue(false)));
  EXPECT_EQ(run.Response(2), Created(1, "77"));
  EXPECT_EQ(run.Response(3), Success(EncodableValue(false)));
  EXPECT_EQ(run.Response(4), Created(2, "42"));
  EXPECT_EQ(run.Response(5), Created(3, "18446744073709551615"));
  EXPECT_EQ(run.Response(6), Created(4, "0"));
  EXPECT_EQ(run.Response(7), Error("not_found", "Texture not found"));
  EXPECT_EQ(run.Response(8), Updated("77"));
  EXPECT_EQ(run.Response(9), Error("bad_args", "Expected map"));
  EXPECT_EQ(run.Response(10), Error("bad_args", "Missing textureId"));
  EXPECT_EQ(run.Response(11), Updated("5"));
  EXPECT_EQ(run.Response(12), Success(EncodableValue(true)));
  EXPECT_EQ(run.Response(13), Success(EncodableValue(true)));
  EXPECT_EQ(run.Response(14), Error("not_found", "Texture not found"));
  EXPECT_EQ(run.Response(15), Error("bad_args", "Expected map"));
  EXPECT_EQ(run.Response(16), Error("bad_args", "Missing textureId"));
  EXPECT_EQ(run.Response(17), "");  // not implemented: an empty reply
  EXPECT_EQ(run.Response(18), "");
  EXPECT_EQ(run.Response(19), Success(EncodableValue(true)));

  // Defaults and ignored kinds show in the sizes the log records.
  std::vector<std::string> messages;
  for (const GpuLogLine& line : GpuLogOf(run.pid, log_offset)) {
    messages.push_back(line.message);
  }
  const std::vector<std::string> expected = {
      "HandleCreate begin",
      "HandleCreate done textureId=1 handle=77 w=1920 h=1080",
      "HandleCreate begin",
      "HandleCreate done textureId=2 handle=42 w=1920 h=1080",
      "HandleCreate begin",
      "HandleCreate done textureId=3 handle=18446744073709551615 w=320 h=200",
      "HandleCreate begin",
      "HandleCreate done textureId=4 handle=0 w=1920 h=1080",
      "HandleUpdate begin",
      "HandleUpdate begin",
      "HandleUpdate done textureId=1 handle=77 w=800 h=1080",
      "HandleUpdate begin",
      "HandleUpdate begin",
      "HandleUpdate begin",
      "HandleUpdate done textureId=2 handle=5 w=1920 h=1080",
      "HandleUpdate begin",
  };
  EXPECT_EQ(messages, expected);
}

// Textures of the host's own, without a caller handle (also when the handle
// text does not parse). Where the platform shares textures they are made, and
// the handle answered is the one the log records; elsewhere (Wine's DXGI
// answers E_NOTIMPL) they fail.
TEST(GpuTextureEndToEndTest, OwnTexturesWhereThePlatformCanShareThem) {
  const size_t log_offset = GpuLogSize();
  const ScenarioRun run = RunScenario(
      "call velora/gpu_texture create\n"                              // 1
      "call velora/gpu_texture create {\"sharedHandle\": \"abc\"}\n"  // 2
      "close\n");
  ASSERT_EQ(run.exit_code, 0) << run.stderr_text;
  std::vector<std::string> messages;
  for (const GpuLogLine& line : GpuLogOf(run.pid, log_offset)) {
    messages.push_back(line.message);
  }
  if (!PlatformSharesTextures()) {
    EXPECT_EQ(run.Response(1), Error("texture_error", "Failed to create shared texture"));
    EXPECT_EQ(run.Response(2), Error("texture_error", "Failed to create shared texture"));
    EXPECT_EQ(messages, (std::vector<std::string>{"HandleCreate begin", "HandleCreate begin"}));
    return;
  }
  ASSERT_EQ(messages.size(), 4u);
  for (int id = 1; id <= 2; ++id) {
    const std::string& done = messages[static_cast<size_t>(id) * 2 - 1];
    const std::string prefix = "HandleCreate done textureId=" + std::to_string(id) + " handle=";
    ASSERT_EQ(done.compare(0, prefix.size(), prefix), 0) << done;
    const std::string handle =
        done.substr(prefix.size(), done.find(' ', prefix.size()) - prefix.size());
    EXPECT_NE(handle, "0");
    EXPECT_EQ(run.Response(id), Created(id, handle));
  }
}

TEST(GpuTextureEndToEndTest, FramesFromTheRenderersThreadAreLoggedOnTheCadence) {
  const size_t log_offset = GpuLogSize();
  const ScenarioRun run = RunScenario(
      "frames 1 5\n"                                                   // 1: no plugin texture yet
      "call velora/gpu_texture create {\"sharedHandle\": \"1234\"}\n"  // 2
      "frames 1 355\n"                                                 // 3
      "frames 9 1\n"                                                   // 4: an unknown id
      "close\n");
  ASSERT_EQ(run.exit_code, 0) << run.stderr_text;
  EXPECT_EQ(run.Response(2), Created(1, "1234"));

  const std::vector<GpuLogLine> lines = GpuLogOf(run.pid, log_offset);
  unsigned long platform_tid = 0;
  for (const GpuLogLine& line : lines) {
    if (line.message == "HandleCreate begin") {
      platform_tid = line.tid;
    }
  }
  ASSERT_NE(platform_tid, 0u);
  std::vector<std::string> frame_lines;
  for (const GpuLogLine& line : lines) {
    if (line.message.rfind("MarkFrameAvailable ", 0) == 0) {
      frame_lines.push_back(line.message);
      EXPECT_NE(line.tid, platform_tid) << "written on the renderer's thread";
    } else {
      EXPECT_EQ(line.tid, platform_tid) << line.message;
    }
  }
  // The plugin lives from the start, so the very first renderer calls
  // count: calls 1 to 10, 120, 240 and 360 write a line, the 361st does not.
  std::vector<std::string> expected(13, "MarkFrameAvailable tid=1");
  EXPECT_EQ(frame_lines, expected);
}

}  // namespace
}  // namespace velora::test
