// The engine, view controller and registrar wrappers against the stand-in
// embedder's core, natively: ownership, one-shot callbacks and the order
// in which registrars tear down.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/core/platform_queue.h"
#include "window/flutter_engine.h"
#include "window/flutter_view_controller.h"
#include "window/plugin_registrar.h"

namespace velora {
namespace {

using standin::PlatformQueue;
using standin::Stats;

ProjectBundle Bundle(std::vector<std::string> arguments = {}) {
  ProjectBundle bundle = MakeProjectBundle(L"data");
  bundle.entrypoint_args = std::move(arguments);
  return bundle;
}

TEST(EngineLayerTest, PropertiesReachTheEngineAsGiven) {
  flutter::FlutterEngine empty(Bundle());
  FlutterDesktopEngineRef handle = empty.engine();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->argc, 0);
  EXPECT_TRUE(handle->argv_null);
  EXPECT_FALSE(handle->entrypoint_null);  // an empty string, not null
  EXPECT_EQ(handle->assets_path, L"data\\flutter_assets");
  EXPECT_EQ(handle->icu_data_path, L"data\\icudtl.dat");
  EXPECT_EQ(handle->aot_library_path, L"data\\app.so");

  flutter::FlutterEngine with_args(Bundle({"a", "", "b \xC3\xA9"}));
  EXPECT_EQ(with_args.engine()->argc, 3);
  EXPECT_FALSE(with_args.engine()->argv_null);
  EXPECT_EQ(with_args.engine()->arguments, (std::vector<std::string>{"a", "", "b \xC3\xA9"}));
}

TEST(EngineLayerTest, AnOwnedEngineIsDestroyedByItsWrapper) {
  const int calls = Stats().engine_destroy_calls;
  { flutter::FlutterEngine engine(Bundle()); }
  EXPECT_EQ(Stats().engine_destroy_calls, calls + 1);
}

TEST(EngineLayerTest, TheControllerOwnsTheEngineAndTheNextFrameFiresOnce) {
  const int destroy_calls = Stats().engine_destroy_calls;
  const int ended = Stats().engines_ended;
  std::vector<std::string> fired;
  {
    flutter::FlutterViewController controller(800, 600, Bundle());
    ASSERT_NE(controller.View(), nullptr);
    flutter::FlutterEngine* engine = controller.Engine();
    engine->OnNextFrame([&] { fired.push_back("first"); });
    engine->OnNextFrame([&] { fired.push_back("second"); });
    PlatformQueue::Get().RunPending();  // the stand-in produces its first frame
    EXPECT_EQ(fired, std::vector<std::string>{"second"});
    // Fired once: another frame calls nothing.
    standin::ProduceFrame(engine->engine());
    EXPECT_EQ(fired, std::vector<std::string>{"second"});
  }
  // The controller ended the engine; the wrapper did not destroy it again.
  EXPECT_EQ(Stats().engine_destroy_calls, destroy_calls);
  EXPECT_EQ(Stats().engines_ended, ended + 1);
}

// An engine that keeps the registered callback and calls it after every
// frame: the wrapper's callable still runs once.
TEST(EngineLayerTest, TheCallableRunsOnceWhenTheEngineRepeatsTheCallback) {
  standin::Settings().repeat_next_frame_callback = true;
  int fired = 0;
  {
    flutter::FlutterViewController controller(800, 600, Bundle());
    flutter::FlutterEngine* engine = controller.Engine();
    engine->OnNextFrame([&] { ++fired; });
    PlatformQueue::Get().RunPending();  // the first frame
    for (int i = 0; i < 3; ++i) {
      standin::ProduceFrame(engine->engine());
    }
    EXPECT_EQ(engine->engine()->frames_produced, 4);
    EXPECT_EQ(fired, 1);
    // The stand-in does call again: a raw callback sees every later frame.
    int raw = 0;
    FlutterDesktopEngineSetNextFrameCallback(
        engine->engine(), [](void* count) { ++*static_cast<int*>(count); }, &raw);
    standin::ProduceFrame(engine->engine());
    standin::ProduceFrame(engine->engine());
    EXPECT_EQ(raw, 2);
  }
  standin::Settings().repeat_next_frame_callback = false;
  EXPECT_EQ(fired, 1);
}

TEST(EngineLayerTest, RefusedControllerHasNoViewAndSaysSo) {
  standin::Settings().refuse_view_controller = true;
  testing::internal::CaptureStderr();
  {
    flutter::FlutterViewController controller(800, 600, Bundle());
    EXPECT_EQ(controller.View(), nullptr);
    EXPECT_NE(controller.Engine(), nullptr);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to create view controller.\n");
  standin::Settings().refuse_view_controller = false;
}

// Uses its registrar's messenger and texture registrar while going away.
class ProbePlugin : public flutter::Plugin {
 public:
  ProbePlugin(flutter::PluginRegistrar* registrar, std::vector<std::string>* log)
      : registrar_(registrar), log_(log) {}
  ~ProbePlugin() override {
    log_->push_back(std::string("plugin ends; messenger ") +
                    (registrar_->Messenger() != nullptr ? "alive" : "gone") + ", textures " +
                    (registrar_->Textures() != nullptr ? "alive" : "gone"));
    registrar_->Messenger()->SetChannelHandler("probe", nullptr);
    registrar_->Textures()->UnregisterExternalTexture(12345);
  }

 private:
  flutter::PluginRegistrar* registrar_;
  std::vector<std::string>* log_;
};

TEST(EngineLayerTest, RegistrarsAreSharedAndEndWithTheirPluginsFirst) {
  std::vector<std::string> log;
  flutter::RegistrarTable& table = flutter::RegistrarTable::Get();
  const size_t before = table.size();
  {
    flutter::FlutterViewController controller(800, 600, Bundle());
    FlutterDesktopPluginRegistrarRef handle = controller.Engine()->RegistrarForPlugin("Probe");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(controller.Engine()->RegistrarForPlugin("Probe"), handle);
    flutter::PluginRegistrarWindows* first = table.RegistrarFor(handle);
    flutter::PluginRegistrarWindows* second = table.RegistrarFor(handle);
    EXPECT_EQ(first, second);
    EXPECT_EQ(handle->destruction_handler_installs, 2);
    EXPECT_EQ(table.size(), before + 1);
    ASSERT_NE(first->GetView(), nullptr);
    first->AdoptPlugin(std::make_unique<ProbePlugin>(first, &log));
  }
  // The engine's end removed the wrapper, and the plugin went first.
  EXPECT_EQ(table.size(), before);
  EXPECT_EQ(log, std::vector<std::string>{"plugin ends; messenger alive, textures alive"});
}

}  // namespace
}  // namespace velora
