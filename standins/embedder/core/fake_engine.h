// The engine, view controller and plugin registrars of the stand-in
// embedder: the FlutterDesktopEngine*, FlutterDesktopViewController*,
// FlutterDesktopView* and FlutterDesktopPluginRegistrar* functions of
// flutter_windows.h over in-process objects, plus what tests and the
// scenario runner observe and steer. Portable: the Windows shell supplies
// the view's real child window through ViewPlatform.
//
// Contracts kept:
// - an engine per FlutterDesktopEngineCreate, keeping the paths and the
//   entry-point arguments exactly as received;
// - a controller that owns its engine from creation on (also when it
//   refuses: the engine then ends at once);
// - the next-frame callback runs once, on the platform thread, after the
//   first frame has been produced (or, when a test asks, after every frame,
//   as an engine that keeps the registered callback would);
// - one registrar per plugin name; when the engine ends each registrar's
//   destruction handler runs (on the platform thread) before the messenger
//   and the texture registrar go away.
#ifndef VELORA_STANDINS_EMBEDDER_CORE_FAKE_ENGINE_H_
#define VELORA_STANDINS_EMBEDDER_CORE_FAKE_ENGINE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "flutter_windows.h"
#include "standins/embedder/core/standin_export.h"

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopEngine* engine = nullptr;
  std::string plugin_name;
  FlutterDesktopOnPluginRegistrarDestroyed destruction_handler = nullptr;
  int destruction_handler_installs = 0;
};

struct FlutterDesktopView {
  HWND hwnd = nullptr;
};

struct FlutterDesktopEngine {
  // The properties as the host passed them.
  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  bool entrypoint_null = false;
  std::string dart_entrypoint;
  int argc = 0;
  bool argv_null = true;
  std::vector<std::string> arguments;
  int32_t gpu_preference = 0;
  int32_t ui_thread_policy = 0;

  FlutterDesktopMessengerRef messenger = nullptr;
  FlutterDesktopTextureRegistrarRef texture_registrar = nullptr;
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;  // creation order
  FlutterDesktopViewControllerState* controller = nullptr;

  VoidCallback next_frame_callback = nullptr;
  void* next_frame_user_data = nullptr;
  bool first_frame_produced = false;
  int frames_produced = 0;
  int font_reloads = 0;
};

struct FlutterDesktopViewControllerState {
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
  int width = 0;
  int height = 0;
  int force_redraws = 0;
};

namespace velora::standin {

// Supplies the view's native window (a real child window on Windows).
class ViewPlatform {
 public:
  virtual ~ViewPlatform() = default;
  virtual HWND CreateViewWindow(int width, int height) = 0;
  virtual void DestroyViewWindow(HWND hwnd) = 0;
};

// What the engine stand-in is told to do, and hooks for the app side.
struct EngineSettings {
  bool refuse_view_controller = false;
  // Top-level messages the engine claims, with the result it gives.
  std::map<UINT, LRESULT> claimed_messages;
  // Produce the first frame on its own once the controller exists; when
  // false a test produces it with ProduceFrame (a Dart program that never
  // renders).
  bool auto_first_frame = true;
  // Calls the registered next-frame callback after every frame instead of
  // once, so that a host that never empties its callable shows it.
  bool repeat_next_frame_callback = false;
  ViewPlatform* view_platform = nullptr;
  // Runs as a controller is created, before its engine runs: loads what the
  // engine is to run (the bundle); false refuses the controller. Empty
  // accepts any bundle.
  std::function<bool(FlutterDesktopEngine*)> load_bundle;
  // Runs on the platform thread right after a controller made its engine
  // run (the Windows shell starts the scenario there).
  std::function<void(FlutterDesktopEngine*)> on_engine_running;
  // Runs when an engine is about to end.
  std::function<void(FlutterDesktopEngine*)> on_engine_ending;
};

EngineSettings& Settings();

// Counts across the process, for tests.
struct EngineStats {
  int engines_created = 0;
  int engine_destroy_calls = 0;  // explicit FlutterDesktopEngineDestroy
  int engines_ended = 0;         // by any path
  int controllers_created = 0;
  int controllers_refused = 0;
  int controllers_destroyed = 0;
  std::vector<UINT> offered_messages;  // every top-level message offered
};

VELORA_STANDIN_EXPORT EngineStats& Stats();

// The engine of the live view controller, or null.
VELORA_STANDIN_EXPORT FlutterDesktopEngine* RunningEngine();

// Produces a frame: the first one after the controller's creation fires
// the next-frame callback (once, unless repeat_next_frame_callback is set).
VELORA_STANDIN_EXPORT void ProduceFrame(FlutterDesktopEngine* engine);

// Sets repeat_next_frame_callback, for the app side in its own library.
VELORA_STANDIN_EXPORT void SetRepeatNextFrameCallback(bool repeat);

// Sets refuse_view_controller, for tests outside the library.
VELORA_STANDIN_EXPORT void SetRefuseViewController(bool refuse);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_CORE_FAKE_ENGINE_H_
