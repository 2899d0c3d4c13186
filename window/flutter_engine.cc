#include "window/flutter_engine.h"

#include <iostream>
#include <utility>
#include <vector>

namespace flutter {

FlutterEngine::FlutterEngine(const velora::ProjectBundle& bundle) {
  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = bundle.assets_dir.c_str();
  properties.icu_data_path = bundle.icu_data_file.c_str();
  properties.aot_library_path = bundle.aot_library_file.c_str();
  properties.dart_entrypoint = bundle.entrypoint_name.c_str();
  // The array only has to live during the call.
  std::vector<const char*> argv;
  argv.reserve(bundle.entrypoint_args.size());
  for (const std::string& argument : bundle.entrypoint_args) {
    argv.push_back(argument.c_str());
  }
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.empty() ? nullptr : argv.data();
  properties.gpu_preference = bundle.engine_options[0];
  properties.ui_thread_policy = bundle.engine_options[1];

  engine_handle_ = FlutterDesktopEngineCreate(&properties);
  messenger_ =
      std::make_unique<BinaryMessengerImpl>(FlutterDesktopEngineGetMessenger(engine_handle_));
}

FlutterEngine::~FlutterEngine() {
  if (engine_handle_ != nullptr && owns_engine_handle_) {
    FlutterDesktopEngineDestroy(engine_handle_);
  }
  engine_handle_ = nullptr;
  next_frame_callback_ = nullptr;
  // The engine delivers nothing more, so the handler table can go.
  messenger_.reset();
}

FlutterDesktopPluginRegistrarRef FlutterEngine::RegistrarForPlugin(const std::string& plugin_name) {
  if (engine_handle_ == nullptr) {
    std::cerr << "Cannot get plugin registrar on an engine that isn't running; call Run first."
              << std::endl;
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_handle_, plugin_name.c_str());
}

FlutterDesktopEngineRef FlutterEngine::ReleaseEngineHandle() {
  owns_engine_handle_ = false;
  return engine_handle_;
}

void FlutterEngine::ReloadFonts() {
  FlutterDesktopEngineReloadSystemFonts(engine_handle_);
}

void FlutterEngine::OnNextFrame(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  FlutterDesktopEngineSetNextFrameCallback(engine_handle_, NextFrameTrampoline, this);
}

void FlutterEngine::NextFrameTrampoline(void* user_data) {
  auto* self = static_cast<FlutterEngine*>(user_data);
  if (!self->next_frame_callback_) {
    return;
  }
  // Emptied before the call returns: each installation fires at most once,
  // even if the callable installs a new one.
  std::function<void()> callback = std::move(self->next_frame_callback_);
  self->next_frame_callback_ = nullptr;
  callback();
}

}  // namespace flutter
