// The engine wrapper: creates the embedder engine from the project bundle,
// owns its messenger, and turns the one-shot next-frame callback into a
// callable.
#ifndef VELORA_WINDOW_FLUTTER_ENGINE_H_
#define VELORA_WINDOW_FLUTTER_ENGINE_H_

#include <functional>
#include <memory>
#include <string>

#include "flutter_windows.h"
#include "messaging/binary_messenger_impl.h"
#include "window/project_bundle.h"

namespace flutter {

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;
  virtual FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) = 0;
};

class FlutterEngine : public PluginRegistry {
 public:
  explicit FlutterEngine(const velora::ProjectBundle& bundle);
  ~FlutterEngine() override;

  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) override;

  // Hands ownership of the handle over (to the view controller); the handle
  // stays readable for the operations below.
  FlutterDesktopEngineRef ReleaseEngineHandle();

  void ReloadFonts();
  // Fires at most once per installation; a later installation replaces an
  // earlier one that has not fired.
  void OnNextFrame(std::function<void()> callback);

  BinaryMessenger* Messenger() { return messenger_.get(); }
  FlutterDesktopEngineRef engine() const { return engine_handle_; }

 private:
  static void NextFrameTrampoline(void* user_data);

  FlutterDesktopEngineRef engine_handle_ = nullptr;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_handle_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter

#endif  // VELORA_WINDOW_FLUTTER_ENGINE_H_
