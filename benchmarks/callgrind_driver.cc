// Runs one per-call path of the host a given number of times, for
// instruction counts under callgrind and heap allocation counts (see
// instruction_counts.sh, which takes the difference between two runs so that
// one-time costs drop out):
//
//   callgrind_driver window_call CALLS      "setVideoHostBounds" with four int32
//       arguments delivered by the stand-in messenger to the real window
//       channel handler (a window that records nothing), answered true
//   callgrind_driver embedder_call CALLS    the stand-in's own share of that
//       road: the same message delivered to a bare C callback that answers
//       the same bytes through the embedder API, with no host code between
//   callgrind_driver window_decode CALLS    reading that call alone, as the
//       channel does
//   callgrind_driver frame_available CALLS  gpu_texture_mark_frame_available
//       with the plugin published over a texture registrar that only counts
//   callgrind_driver descriptor CALLS       the engine asking the stand-in's
//       texture registrar for a registered texture's descriptor
//
// Each run checks that every call did what it should and exits non-zero
// otherwise, so a count is never taken from a broken path. It ends with a
// line "allocations N": the heap allocations made while the path ran.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "flutter_windows.h"
#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_backend.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/texture_registrar_impl.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "tests/support/allocation_counter.h"
#include "window_call_road.h"
#include "window_channel/window_channel_handler.h"

namespace {

using flutter::EncodableValue;
using flutter::EncodableValueMap;
using Bytes = std::vector<uint8_t>;

class StillWindow : public velora::WindowChannelTarget {
 public:
  bool ToggleFullScreen() override { return false; }
  bool IsFullScreen() const override { return false; }
  std::optional<int64_t> CreateVideoHost() override { return std::nullopt; }
  void DestroyVideoHost() override {}
  void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) override {
    checksum += x + y + w + h;
  }
  void ShowVideoHost(bool) override {}
  void ApplyNativeVideoMode(bool, int32_t, int32_t, std::optional<int32_t>) override {}
  void SetTitleUtf8(const std::string&) override {}
  void ResizeLogical(uint32_t, uint32_t) override {}
  void ResizeLogicalWidth(uint32_t) override {}
  bool SetSingleInstance(bool) override { return true; }
  void SetKeepAwake(bool, bool) override {}
  void SetAlwaysOnTop(bool) override {}
  int64_t checksum = 0;
};

// Keeps the channel handler the plugin installs, so calls can be made.
class HandMessenger : public flutter::BinaryMessenger {
 public:
  void Send(const std::string&, const uint8_t*, size_t, flutter::BinaryReply) const override {}
  void SetChannelHandler(const std::string&, flutter::ChannelHandler handler) override {
    handler_ = std::move(handler);
  }
  Bytes Call(const Bytes& message) {
    Bytes answer;
    if (handler_) {
      handler_(message.data(), message.size(),
               [&answer](const uint8_t* data, size_t size) { answer.assign(data, data + size); });
    }
    return answer;
  }

 private:
  flutter::ChannelHandler handler_;
};

class CountingRegistrar : public flutter::TextureRegistrar {
 public:
  int64_t RegisterTexture(flutter::TextureSource*) override { return 1; }
  bool MarkFrameAvailable(int64_t) override {
    ++marks;
    return true;
  }
  bool UnregisterExternalTexture(int64_t) override { return true; }
  void UnregisterExternalTexture(int64_t, std::function<void()> callback) override {
    if (callback) callback();
  }
  long marks = 0;
};

Bytes EncodeCall(const std::string& method, EncodableValue arguments) {
  flutter::MethodCall<EncodableValue> call(method,
                                           std::make_unique<EncodableValue>(std::move(arguments)));
  return *flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
}

// Sends the window bounds call `calls` times; how many were answered true.
long DeliverBoundsCalls(FlutterDesktopMessengerRef handle, long calls) {
  const Bytes message = velora::BoundsCallMessage();
  const std::string name = velora::kWindowChannelName;
  long answered_true = 0;
  for (long i = 0; i < calls; ++i) {
    velora::standin::DeliverToHost(handle, name, message, [&answered_true](Bytes response) {
      answered_true += response == Bytes{0x00, 0x01};
    });
  }
  return answered_true;
}

bool WindowCall(long calls) {
  FlutterDesktopMessengerRef handle = velora::standin::NewMessenger();
  bool ok = false;
  {
    flutter::BinaryMessengerImpl messenger(handle);
    flutter::MethodCallChannel channel(&messenger, velora::kWindowChannelName,
                                       &flutter::StandardMethodCodec::ForSerializer());
    StillWindow window;
    channel.InstallCallHandler(
        [&window](const flutter::MethodCall<EncodableValue>& call,
                  std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
          velora::HandleWindowChannelCall(window, call, std::move(result));
        });
    ok = DeliverBoundsCalls(handle, calls) == calls &&
         window.checksum == calls * (120 + 64 + 1280 + 720);
  }
  velora::standin::ShutDownMessenger(handle);
  return ok;
}

bool EmbedderCall(long calls) {
  FlutterDesktopMessengerRef handle = velora::standin::NewMessenger();
  FlutterDesktopMessengerSetCallback(handle, velora::kWindowChannelName, velora::AnswerBare,
                                     nullptr);
  const bool ok = DeliverBoundsCalls(handle, calls) == calls;
  velora::standin::ShutDownMessenger(handle);
  return ok;
}

bool WindowDecode(long calls) {
  const Bytes message = velora::BoundsCallMessage();
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer();
  long decoded = 0;
  for (long i = 0; i < calls; ++i) {
    std::optional<flutter::MethodCall<EncodableValue>> call =
        codec.ReadCall(message.data(), message.size());
    decoded += call && call->MethodName() == "setVideoHostBounds";
  }
  return decoded == calls;
}

bool FrameAvailable(long calls) {
  HandMessenger messenger;
  CountingRegistrar registrar;
  auto plugin = velora::GpuTexturePlugin::Create(&messenger, &registrar);
  for (long i = 0; i < calls; ++i) {
    gpu_texture_mark_frame_available(7);
  }
  plugin.reset();
  gpu_texture_mark_frame_available(7);  // withdrawn: does not count
  return registrar.marks == calls;
}

bool Descriptor(long calls) {
  FlutterDesktopTextureRegistrarRef engine = velora::standin::NewTextureRegistrar();
  bool ok = false;
  {
    flutter::TextureRegistrarImpl registrar(engine);
    HandMessenger messenger;
    auto plugin = velora::GpuTexturePlugin::Create(&messenger, &registrar);
    const Bytes answer = messenger.Call(EncodeCall(
        "create", EncodableValue(EncodableValueMap{{EncodableValue("width"), EncodableValue(1280)},
                                                   {EncodableValue("height"), EncodableValue(720)}})));
    class Into : public flutter::MethodResult<EncodableValue> {
     public:
      explicit Into(int64_t& id) : id_(id) {}
      void OnSuccess(const EncodableValue* result) override {
        const auto* map = result ? std::get_if<EncodableValueMap>(result) : nullptr;
        const EncodableValue* id = map ? flutter::FindValue(*map, "textureId") : nullptr;
        if (id != nullptr && std::holds_alternative<int64_t>(*id)) id_ = std::get<int64_t>(*id);
      }
      void OnError(const std::string&, const std::string&, const EncodableValue*) override {}
      void OnNotImplemented() override {}

     private:
      int64_t& id_;
    };
    int64_t id = 0;
    Into into(id);
    flutter::StandardMethodCodec::ForSerializer().DecodeReply(answer.data(), answer.size(), &into);
    long described = 0;
    for (long i = 0; i < calls; ++i) {
      const FlutterDesktopGpuSurfaceDescriptor* d =
          velora::standin::RequestGpuSurface(engine, id, 1280, 720);
      described += d != nullptr && d->width == 1280 && d->height == 720;
    }
    ok = id != 0 && described == calls;
    plugin.reset();
    velora::standin::WaitForCompletions(engine);
  }
  velora::standin::DeleteTextureRegistrar(engine);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: %s window_call|embedder_call|window_decode|frame_available|descriptor "
                 "CALLS\n",
                 argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  const long calls = std::strtol(argv[2], nullptr, 10);
  // The plugin's log lines go to a folder of this run.
  const std::filesystem::path logs =
      std::filesystem::temp_directory_path() / ("velora_callgrind_" + std::to_string(getpid()));
  std::filesystem::create_directories(logs);
  setenv("TMPDIR", logs.c_str(), 1);
  bool ok = false;
  const velora::AllocationCounter allocations;
  if (path == "window_call") {
    ok = WindowCall(calls);
  } else if (path == "embedder_call") {
    ok = EmbedderCall(calls);
  } else if (path == "window_decode") {
    ok = WindowDecode(calls);
  } else if (path == "frame_available") {
    ok = FrameAvailable(calls);
  } else if (path == "descriptor") {
    ok = Descriptor(calls);
  } else {
    std::fprintf(stderr, "unknown path %s\n", path.c_str());
    return 2;
  }
  std::printf("allocations %zu\n", allocations.count());
  std::error_code ignored;
  std::filesystem::remove_all(logs, ignored);
  if (!ok) {
    std::fprintf(stderr, "%s: the calls did not do what they should\n", path.c_str());
    return 1;
  }
  return 0;
}
