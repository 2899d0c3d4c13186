#include "standins/embedder/core/fake_engine.h"

#include <algorithm>

#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "standins/embedder/core/platform_queue.h"

namespace velora::standin {

EngineSettings& Settings() {
  static EngineSettings* settings = new EngineSettings();
  return *settings;
}

EngineStats& Stats() {
  static EngineStats* stats = new EngineStats();
  return *stats;
}

namespace {

FlutterDesktopEngine* running_engine = nullptr;

void EndEngine(FlutterDesktopEngine* engine) {
  if (engine == nullptr) {
    return;
  }
  if (Settings().on_engine_ending) {
    Settings().on_engine_ending(engine);
  }
  if (running_engine == engine) {
    running_engine = nullptr;
  }
  // Registrars end first, while their messenger and texture registrar can
  // still be used by the plugins going away with them.
  for (auto& registrar : engine->registrars) {
    if (registrar->destruction_handler != nullptr) {
      registrar->destruction_handler(registrar.get());
    }
  }
  engine->registrars.clear();
  ShutDownMessenger(engine->messenger);
  DeleteTextureRegistrar(engine->texture_registrar);
  ++Stats().engines_ended;
  delete engine;
}

void FireNextFrame(FlutterDesktopEngine* engine) {
  VoidCallback callback = engine->next_frame_callback;
  void* user_data = engine->next_frame_user_data;
  engine->next_frame_callback = nullptr;
  engine->next_frame_user_data = nullptr;
  if (callback != nullptr) {
    callback(user_data);
  }
}

}  // namespace

FlutterDesktopEngine* RunningEngine() {
  return running_engine;
}

void ProduceFrame(FlutterDesktopEngine* engine) {
  if (engine == nullptr) {
    return;
  }
  const bool first = !engine->first_frame_produced;
  engine->first_frame_produced = true;
  ++engine->frames_produced;
  if (Settings().repeat_next_frame_callback) {
    // An engine that keeps the callback calls it after every frame.
    if (engine->next_frame_callback != nullptr) {
      engine->next_frame_callback(engine->next_frame_user_data);
    }
  } else if (first) {
    FireNextFrame(engine);
  }
}

void SetRepeatNextFrameCallback(bool repeat) {
  Settings().repeat_next_frame_callback = repeat;
}

void SetRefuseViewController(bool refuse) {
  Settings().refuse_view_controller = refuse;
}

}  // namespace velora::standin

using velora::standin::Settings;
using velora::standin::Stats;

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  auto* engine = new FlutterDesktopEngine();
  if (properties != nullptr) {
    engine->assets_path = properties->assets_path ? properties->assets_path : L"";
    engine->icu_data_path = properties->icu_data_path ? properties->icu_data_path : L"";
    engine->aot_library_path = properties->aot_library_path ? properties->aot_library_path : L"";
    engine->entrypoint_null = properties->dart_entrypoint == nullptr;
    engine->dart_entrypoint = properties->dart_entrypoint ? properties->dart_entrypoint : "";
    engine->argc = properties->dart_entrypoint_argc;
    engine->argv_null = properties->dart_entrypoint_argv == nullptr;
    for (int i = 0; i < properties->dart_entrypoint_argc && properties->dart_entrypoint_argv; ++i) {
      const char* argument = properties->dart_entrypoint_argv[i];
      engine->arguments.emplace_back(argument != nullptr ? argument : "");
    }
    engine->gpu_preference = properties->gpu_preference;
    engine->ui_thread_policy = properties->ui_thread_policy;
  }
  engine->messenger = velora::standin::NewMessenger();
  engine->texture_registrar = velora::standin::NewTextureRegistrar();
  velora::standin::StartCompositor(engine->texture_registrar);  // the engine composes marked frames
  ++Stats().engines_created;
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  ++Stats().engine_destroy_calls;
  velora::standin::EndEngine(engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  return engine != nullptr ? engine->messenger : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine,
    const char* plugin_name) {
  if (engine == nullptr || plugin_name == nullptr) {
    return nullptr;
  }
  for (auto& registrar : engine->registrars) {
    if (registrar->plugin_name == plugin_name) {
      return registrar.get();
    }
  }
  auto registrar = std::make_unique<FlutterDesktopPluginRegistrar>();
  registrar->engine = engine;
  registrar->plugin_name = plugin_name;
  engine->registrars.push_back(std::move(registrar));
  return engine->registrars.back().get();
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  if (engine != nullptr) {
    ++engine->font_reloads;
  }
}

void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              VoidCallback callback,
                                              void* user_data) {
  if (engine == nullptr) {
    return;
  }
  engine->next_frame_callback = callback;
  engine->next_frame_user_data = user_data;
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width,
                                                                   int height,
                                                                   FlutterDesktopEngineRef engine) {
  if (engine == nullptr) {
    return nullptr;
  }
  if (Settings().refuse_view_controller ||
      (Settings().load_bundle && !Settings().load_bundle(engine))) {
    // The controller owned the engine from the call on; refusing ends it.
    ++Stats().controllers_refused;
    velora::standin::EndEngine(engine);
    return nullptr;
  }
  auto* controller = new FlutterDesktopViewControllerState();
  controller->engine = engine;
  controller->width = width;
  controller->height = height;
  if (Settings().view_platform != nullptr) {
    controller->view.hwnd = Settings().view_platform->CreateViewWindow(width, height);
  }
  engine->controller = controller;
  velora::standin::running_engine = engine;
  ++Stats().controllers_created;
  // The engine starts running: its first frame and the app side come later,
  // on the platform thread, as with a real engine.
  velora::standin::PlatformQueue::Get().Post([engine]() {
    if (velora::standin::RunningEngine() != engine) {
      return;
    }
    if (Settings().on_engine_running) {
      Settings().on_engine_running(engine);
    }
    if (Settings().auto_first_frame) {
      velora::standin::ProduceFrame(engine);
    }
  });
  return controller;
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  if (controller == nullptr) {
    return;
  }
  if (Settings().view_platform != nullptr && controller->view.hwnd != nullptr) {
    Settings().view_platform->DestroyViewWindow(controller->view.hwnd);
  }
  controller->engine->controller = nullptr;
  velora::standin::EndEngine(controller->engine);
  ++Stats().controllers_destroyed;
  delete controller;
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return controller != nullptr ? &controller->view : nullptr;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  if (controller != nullptr) {
    ++controller->force_redraws;
  }
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller,
    HWND,
    UINT message,
    WPARAM,
    LPARAM,
    LRESULT* result) {
  if (controller == nullptr) {
    return false;
  }
  Stats().offered_messages.push_back(message);
  const auto claimed = Settings().claimed_messages.find(message);
  if (claimed == Settings().claimed_messages.end()) {
    return false;
  }
  if (result != nullptr) {
    *result = claimed->second;
  }
  return true;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view != nullptr ? view->hwnd : nullptr;
}

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar != nullptr ? registrar->engine->messenger : nullptr;
}

FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef registrar) {
  if (registrar == nullptr || registrar->engine->controller == nullptr) {
    return nullptr;
  }
  return &registrar->engine->controller->view;
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar,
    FlutterDesktopOnPluginRegistrarDestroyed callback) {
  if (registrar != nullptr) {
    registrar->destruction_handler = callback;
    ++registrar->destruction_handler_installs;
  }
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar != nullptr ? registrar->engine->texture_registrar : nullptr;
}
