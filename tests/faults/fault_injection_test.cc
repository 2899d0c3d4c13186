// Faults injected into the stand-in embedder under the whole host stack: the
// engine's registrar table, the GPU texture plugin registered through it, and
// the window channel on the engine's messenger. Threads meet here, so the
// binary runs natively, under AddressSanitizer and under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "flutter_windows.h"
#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/software_gpu_objects.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "standins/embedder/core/platform_queue.h"
#include "standins/embedder/scenario/value_text.h"
#include "tests/gpu_texture/plugin_test_support.h"
#include "window/plugin_registrar.h"
#include "window_channel/window_channel_handler.h"

namespace velora::test {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueMap;
using Bytes = std::vector<uint8_t>;

// Answers the window channel like a window that is never full screen and
// has no video host; counts what reaches it.
class QuietWindow : public WindowChannelTarget {
 public:
  bool ToggleFullScreen() override { return false; }
  bool IsFullScreen() const override { return false; }
  std::optional<int64_t> CreateVideoHost() override { return std::nullopt; }
  void DestroyVideoHost() override {}
  void PlaceVideoHost(int32_t, int32_t, int32_t, int32_t) override { ++placed; }
  void ShowVideoHost(bool) override {}
  void ApplyNativeVideoMode(bool, int32_t, int32_t, std::optional<int32_t>) override {}
  void SetTitleUtf8(const std::string&) override {}
  void ResizeLogical(uint32_t, uint32_t) override {}
  void ResizeLogicalWidth(uint32_t) override {}
  bool SetSingleInstance(bool) override { return true; }
  void SetKeepAwake(bool, bool) override {}
  void SetAlwaysOnTop(bool) override {}
  int placed = 0;
};

// Counts its answers and its destruction.
class CountingResult : public flutter::MethodResult<EncodableValue> {
 public:
  explicit CountingResult(std::atomic<int>& answers, std::atomic<int>& destroyed)
      : answers_(answers), destroyed_(destroyed) {}
  ~CountingResult() override { ++destroyed_; }

 protected:
  void OnSuccess(const EncodableValue*) override { ++answers_; }
  void OnError(const std::string&, const std::string&, const EncodableValue*) override {
    ++answers_;
  }
  void OnNotImplemented() override { ++answers_; }

 private:
  std::atomic<int>& answers_;
  std::atomic<int>& destroyed_;
};

Bytes Encode(const std::string& method, std::optional<EncodableValue> arguments) {
  flutter::MethodCall<EncodableValue> call(
      method, arguments ? std::make_unique<EncodableValue>(std::move(*arguments)) : nullptr);
  return *flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
}

std::string Hex(const Bytes& bytes) {
  return standin::ToHex(bytes);
}

// One engine of the stand-in with the host's layers on top, as the Flutter
// host window sets them up: the GPU plugin through the registrar table, the
// window channel on the engine's messenger.
class HostStack {
 public:
  HostStack() {
    FlutterDesktopEngineProperties properties = {};
    properties.dart_entrypoint = "";
    engine_ = FlutterDesktopEngineCreate(&properties);
    FlutterDesktopPluginRegistrarRef handle =
        FlutterDesktopEngineGetPluginRegistrar(engine_, kGpuTexturePluginName);
    GpuTexturePlugin::RegisterWithRegistrar(flutter::RegistrarTable::Get().RegistrarFor(handle));
    messenger_ = std::make_unique<flutter::BinaryMessengerImpl>(engine_->messenger);
    window_channel_ = std::make_unique<flutter::MethodCallChannel>(
        messenger_.get(), kWindowChannelName, &flutter::StandardMethodCodec::ForSerializer());
    window_channel_->InstallCallHandler(
        [this](const flutter::MethodCall<EncodableValue>& call,
               std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
          HandleWindowChannelCall(window_, call, std::move(result));
        });
  }
  ~HostStack() { EndEngine(); }

  // The engine ends as the view controller's destruction ends it.
  void EndEngine() {
    if (engine_ == nullptr) return;
    FlutterDesktopEngineDestroy(engine_);
    engine_ = nullptr;
    window_channel_.reset();
    messenger_.reset();  // after the engine: no message reaches it any more
  }

  // Delivers a message as the engine does and returns every answer sent.
  std::vector<Bytes> Deliver(const char* channel, const Bytes& bytes) {
    auto answers = std::make_shared<std::vector<Bytes>>();
    standin::DeliverToHost(engine_->messenger, channel, bytes,
                           [answers](Bytes response) { answers->push_back(std::move(response)); });
    return *answers;
  }

  int64_t CreateTexture(std::optional<EncodableValue> arguments) {
    const std::vector<Bytes> answers = Deliver(kGpuTextureChannelName, Encode("create", arguments));
    EXPECT_EQ(answers.size(), 1u);
    std::optional<Reply> reply = Decode(answers);
    EXPECT_TRUE(reply && reply->kind == Reply::kSuccess);
    const EncodableValue* id = reply ? reply->Field("textureId") : nullptr;
    return id != nullptr ? std::get<int64_t>(*id) : 0;
  }

  static std::optional<Reply> Decode(const std::vector<Bytes>& answers) {
    if (answers.size() != 1 || answers[0].empty()) return std::nullopt;
    Reply reply;
    class Into : public flutter::MethodResult<EncodableValue> {
     public:
      explicit Into(Reply& r) : r_(r) {}
      void OnSuccess(const EncodableValue* v) override {
        r_.kind = Reply::kSuccess;
        if (v) r_.value = *v;
      }
      void OnError(const std::string& c, const std::string& m, const EncodableValue*) override {
        r_.kind = Reply::kError;
        r_.code = c;
        r_.message = m;
      }
      void OnNotImplemented() override { r_.kind = Reply::kNotImplemented; }

     private:
      Reply& r_;
    } into(reply);
    flutter::StandardMethodCodec::ForSerializer().DecodeReply(answers[0].data(), answers[0].size(),
                                                              &into);
    return reply;
  }

  FlutterDesktopEngineRef engine() const { return engine_; }
  flutter::MethodCallChannel& window_channel() { return *window_channel_; }
  QuietWindow& window() { return window_; }

 private:
  FlutterDesktopEngineRef engine_ = nullptr;
  QuietWindow window_;
  std::unique_ptr<flutter::BinaryMessengerImpl> messenger_;
  std::unique_ptr<flutter::MethodCallChannel> window_channel_;
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    violations_ = standin::ContractViolations();
    messengers_ = standin::LiveMessengers();
    registrars_ = flutter::RegistrarTable::Get().size();
  }
  void TearDown() override {
    standin::PlatformQueue::Get().RunPending();
    EXPECT_EQ(standin::ContractViolations(), violations_);
    EXPECT_EQ(standin::LiveMessengers(), messengers_);
    EXPECT_EQ(flutter::RegistrarTable::Get().size(), registrars_);
    EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
    const SoftwareObjectCounts live = LiveSoftwareObjects();
    EXPECT_EQ(live.devices + live.contexts + live.textures, 0);
  }

  PrivateGpuLog log_;

 private:
  int violations_ = 0;
  int messengers_ = 0;
  size_t registrars_ = 0;
};

const std::string kIsFullscreenFalse = "0002";

TEST_F(FaultInjectionTest, RefusedSendsDropOutgoingCallsAndStillAnswerIncomingOnes) {
  HostStack host;
  standin::SetRefuseSends(host.engine()->messenger, true);

  // The window event is dropped without a trace; a call that wants a reply
  // has its result released unanswered.
  EncodableValueMap event{{EncodableValue("type"), EncodableValue("exitSizeMove")}};
  host.window_channel().SendMethodCall("windowEvent", std::make_unique<EncodableValue>(event),
                                       nullptr);
  std::atomic<int> answers{0};
  std::atomic<int> destroyed{0};
  host.window_channel().SendMethodCall("windowEvent", std::make_unique<EncodableValue>(event),
                                       std::make_unique<CountingResult>(answers, destroyed));
  standin::PlatformQueue::Get().RunPending();
  EXPECT_TRUE(standin::SentMessages(host.engine()->messenger).empty());
  EXPECT_EQ(destroyed.load(), 1);
  EXPECT_EQ(answers.load(), 0);

  // Incoming calls on both channels are answered as before.
  const std::vector<Bytes> window = host.Deliver(kWindowChannelName, Encode("isFullscreen", {}));
  ASSERT_EQ(window.size(), 1u);
  EXPECT_EQ(Hex(window[0]), kIsFullscreenFalse);
  EXPECT_NE(host.CreateTexture(Args({{"sharedHandle", EncodableValue("9")}})), 0);

  // Taken again, the same event goes out byte for byte.
  standin::SetRefuseSends(host.engine()->messenger, false);
  host.window_channel().SendMethodCall("windowEvent", std::make_unique<EncodableValue>(event),
                                       nullptr);
  const std::vector<standin::SentMessage> sent = standin::SentMessages(host.engine()->messenger);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].channel, kWindowChannelName);
  EXPECT_FALSE(sent[0].expects_reply);
  EXPECT_EQ(Hex(sent[0].bytes),
            "070b77696e646f774576656e74"           // "windowEvent"
            "0d01" "0704" "74797065"               // {"type":
            "070c" "6578697453697a654d6f7665");    //  "exitSizeMove"}
}

// A call whose reply is still on its way when the engine ends: the reply
// arrives once, later, and finds only its own holder; nothing else of the
// host is touched.
TEST_F(FaultInjectionTest, EngineEndingBeforeTheReplyToAHostCallArrives) {
  std::atomic<int> answers{0};
  std::atomic<int> destroyed{0};
  {
    HostStack host;
    host.window_channel().SendMethodCall(
        "windowEvent", std::make_unique<EncodableValue>(EncodableValue("enterSizeMove")),
        std::make_unique<CountingResult>(answers, destroyed));
    EXPECT_EQ(destroyed.load(), 0);
    host.EndEngine();
  }
  standin::PlatformQueue::Get().RunPending();
  EXPECT_EQ(answers.load(), 1);  // the empty reply: not implemented
  EXPECT_EQ(destroyed.load(), 1);
}

// Incoming calls kept unanswered by a handler (as an asynchronous plugin
// would) and answered from another thread while the platform thread ends the
// engine: each answer is sent before the end or dropped after it, under the
// messenger lock, and never reaches a messenger that can no longer take it.
TEST_F(FaultInjectionTest, EngineEndingWhileIncomingCallsAwaitTheirAnswers) {
  HostStack host;
  flutter::BinaryMessengerImpl messenger(host.engine()->messenger);
  flutter::MethodCallChannel pending_channel(&messenger, "velora/slow",
                                             &flutter::StandardMethodCodec::ForSerializer());
  std::vector<std::unique_ptr<flutter::MethodResult<EncodableValue>>> kept;
  pending_channel.InstallCallHandler(
      [&kept](const flutter::MethodCall<EncodableValue>&,
              std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
        kept.push_back(std::move(result));
      });
  constexpr int kCalls = 200;
  std::atomic<int> responses{0};
  for (int i = 0; i < kCalls; ++i) {
    standin::DeliverToHost(host.engine()->messenger, "velora/slow", Encode("work", EncodableValue(i)),
                           [&responses](Bytes) { ++responses; });
  }
  ASSERT_EQ(kept.size(), static_cast<size_t>(kCalls));
  EXPECT_EQ(standin::PendingResponses(host.engine()->messenger), static_cast<size_t>(kCalls));

  std::atomic<bool> go{false};
  std::thread worker([&] {
    while (!go.load()) std::this_thread::yield();
    for (auto& result : kept) {
      result->Success(EncodableValue(true));
      result.reset();
    }
  });
  go.store(true);
  pending_channel.InstallCallHandler(nullptr);
  host.EndEngine();
  worker.join();
  EXPECT_LE(responses.load(), kCalls);
  // The channel answers nothing more, and the messenger reference the
  // answers held is gone with them.
}

// The engine ends while renderers mark frames through the export and the
// engine's compositor asks for descriptors: the registrar destroys the
// plugin with its textures still registered; the plugin withdraws itself and
// hands every record to an unregistration that frees it after the last
// descriptor request.
TEST_F(FaultInjectionTest, EngineEndsWithTexturesRegisteredWhileFramesArrive) {
  HostStack host;
  standin::StartCompositor(host.engine()->texture_registrar);
  std::vector<int64_t> ids;
  for (int i = 0; i < 6; ++i) {
    ids.push_back(host.CreateTexture(Args({{"width", EncodableValue(32 + i)},
                                           {"height", EncodableValue(16)}})));
    ids.push_back(host.CreateTexture(Args({{"sharedHandle", EncodableValue(std::to_string(100 + i))}})));
  }
  const SoftwareObjectCounts made = LiveSoftwareObjects();
  EXPECT_EQ(made.textures, 6);

  std::atomic<bool> stop{false};
  std::atomic<int64_t> marks{0};
  std::vector<std::thread> renderers;
  for (int r = 0; r < 3; ++r) {
    renderers.emplace_back([&, r] {
      for (size_t i = r; !stop.load(); i = (i + 1) % ids.size()) {
        gpu_texture_mark_frame_available(ids[i]);
        ++marks;
      }
    });
  }
  while (marks.load() < 3000) std::this_thread::yield();
  host.EndEngine();
  EXPECT_EQ(gpu_texture_plugin_instance.load(), nullptr);
  const int64_t after_end = marks.load();
  while (marks.load() < after_end + 3000) std::this_thread::yield();  // calls keep coming: inert
  stop.store(true);
  for (std::thread& renderer : renderers) renderer.join();
}

// Registration answered with 0 (the engine's "no texture") or a negative id
// is a failure: the caller gets "register_failed" with the id, and nothing
// stays registered or allocated, however many refusals come in a row.
TEST_F(FaultInjectionTest, RegistrationReturningZeroOrANegativeId) {
  HostStack host;
  FlutterDesktopTextureRegistrarRef registrar = host.engine()->texture_registrar;
  standin::SetNextTextureId(registrar, 0);
  std::vector<Bytes> answers = host.Deliver(
      kGpuTextureChannelName, Encode("create", Args({{"width", EncodableValue(8)},
                                                     {"height", EncodableValue(8)}})));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(Hex(answers[0]),
            "01" "070f" "72656769737465725f6661696c6564"                         // register_failed
            "071a" "5265676973746572546578747572652072657475726e65642030"      // RegisterTexture returned 0
            "00");
  standin::WaitForCompletions(registrar);
  EXPECT_FALSE(standin::RegisteredTexture(registrar, 0).has_value());
  const SoftwareObjectCounts after_refusal = LiveSoftwareObjects();
  EXPECT_EQ(after_refusal.devices + after_refusal.contexts + after_refusal.textures, 0);
  EXPECT_EQ(log_.Messages(), (std::vector<std::string>{"HandleCreate begin"}));

  // The next registration counts on as if nothing had happened.
  EXPECT_EQ(host.CreateTexture(Args({{"sharedHandle", EncodableValue("3")}})), 1);

  standin::SetNextTextureId(registrar, -7);
  answers = host.Deliver(kGpuTextureChannelName, Encode("create", Args({{"width", EncodableValue(4)},
                                                                         {"height", EncodableValue(4)}})));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(Hex(answers[0]),
            "01" "070f" "72656769737465725f6661696c6564"                         // register_failed
            "071b" "5265676973746572546578747572652072657475726e6564202d37"    // RegisterTexture returned -7
            "00");
  // Nothing under the refused id: update does not find it, dispose is a no-op.
  answers = host.Deliver(kGpuTextureChannelName,
                         Encode("update", Args({{"textureId", EncodableValue(-7)},
                                                {"width", EncodableValue(6)}})));
  ASSERT_EQ(HostStack::Decode(answers)->code, "not_found");
  answers = host.Deliver(kGpuTextureChannelName,
                         Encode("dispose", Args({{"textureId", EncodableValue(-7)}})));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(Hex(answers[0]), "0001");

  // Refusals in a row, of own textures of the default size, keep no device,
  // context or texture each.
  for (int i = 0; i < 50; ++i) {
    standin::SetNextTextureId(registrar, i % 2 == 0 ? -1 : -7);
    answers = host.Deliver(kGpuTextureChannelName, Encode("create", std::nullopt));
    ASSERT_EQ(HostStack::Decode(answers)->code, "register_failed");
  }
  standin::WaitForCompletions(registrar);
  const SoftwareObjectCounts after_refusals = LiveSoftwareObjects();
  EXPECT_EQ(after_refusals.devices + after_refusals.contexts + after_refusals.textures, 0);
}

// The engine's compositor asks for descriptors after every marked frame, on
// its own thread, while renderers mark frames through the export and the
// platform thread creates, re-creates and disposes textures: a request meets
// a whole, live record or finds the id gone.
TEST_F(FaultInjectionTest, DescriptorRequestsRacingDisposal) {
  HostStack host;
  FlutterDesktopTextureRegistrarRef registrar = host.engine()->texture_registrar;
  standin::StartCompositor(registrar);
  std::atomic<int64_t> newest{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> renderers;
  for (int r = 0; r < 2; ++r) {
    renderers.emplace_back([&] {
      while (!stop.load()) {
        const int64_t top = newest.load();
        for (int64_t id = top; id > top - 4 && id > 0; --id) gpu_texture_mark_frame_available(id);
      }
    });
  }
  std::vector<int64_t> live;
  for (int round = 0; round < 150; ++round) {
    // Every size set here is 2h x h, so a descriptor mixing two is seen.
    const int32_t h = 1 + round % 50;
    const int64_t id = host.CreateTexture(Args({{"width", EncodableValue(2 * h)},
                                                {"height", EncodableValue(h)}}));
    live.push_back(id);
    newest.store(id);
    const std::vector<Bytes> updated = host.Deliver(
        kGpuTextureChannelName,
        Encode("update", Args({{"textureId", EncodableValue(id)},
                               {"width", EncodableValue(4 * h)},
                               {"height", EncodableValue(2 * h)}})));
    EXPECT_EQ(HostStack::Decode(updated)->kind, Reply::kSuccess);
    if (live.size() > 3) {
      const std::vector<Bytes> disposed = host.Deliver(
          kGpuTextureChannelName,
          Encode("dispose", Args({{"textureId", EncodableValue(live.front())}})));
      ASSERT_EQ(disposed.size(), 1u);
      EXPECT_EQ(Hex(disposed[0]), "0001");
      live.erase(live.begin());
    }
  }
  stop.store(true);
  for (std::thread& renderer : renderers) renderer.join();
  standin::WaitForCompositor(registrar);
  uint64_t composed = 0;
  for (int64_t id : live) {
    composed += standin::ComposedFrames(registrar, id);
    if (const auto last = standin::LastComposedDescriptor(registrar, id)) {
      EXPECT_EQ(last->struct_size, 72u);
      EXPECT_EQ(last->width, 2 * last->height);
    }
  }
  EXPECT_GT(composed, 0u);
}

}  // namespace
}  // namespace velora::test
