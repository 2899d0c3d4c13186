// Per-plugin registrars over the embedder's registrar handles, and the
// process-wide table that owns them until the embedder ends each one.
#ifndef VELORA_WINDOW_PLUGIN_REGISTRAR_H_
#define VELORA_WINDOW_PLUGIN_REGISTRAR_H_

#include <map>
#include <memory>
#include <set>

#include "flutter_windows.h"
#include "gpu_texture/texture_registrar_impl.h"
#include "messaging/binary_messenger_impl.h"
#include "window/flutter_view.h"

namespace flutter {

// Every plugin object; its registrar decides its lifetime.
class Plugin {
 public:
  virtual ~Plugin() = default;
};

class PluginRegistrar {
 public:
  explicit PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar_handle);
  virtual ~PluginRegistrar();

  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  BinaryMessenger* Messenger() { return messenger_.get(); }
  TextureRegistrar* Textures() { return texture_registrar_.get(); }
  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_handle_; }

  void AdoptPlugin(std::unique_ptr<Plugin> plugin);

 protected:
  // Plugins go first so that they can still use the messenger and the
  // texture registrar in their own destructors.
  void ClearPlugins();

 private:
  FlutterDesktopPluginRegistrarRef registrar_handle_;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  std::unique_ptr<TextureRegistrarImpl> texture_registrar_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

class PluginRegistrarWindows : public PluginRegistrar {
 public:
  explicit PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar_handle);
  ~PluginRegistrarWindows() override;
  PluginRegistrarWindows(const PluginRegistrarWindows&) = delete;
  PluginRegistrarWindows& operator=(const PluginRegistrarWindows&) = delete;

  // The view, when the embedder gives the registrar one.
  FlutterView* GetView() { return view_.get(); }

 private:
  std::unique_ptr<FlutterView> view_;
};

// One per process: embedder registrar handle -> owned wrapper.
class RegistrarTable {
 public:
  static RegistrarTable& Get();

  // The wrapper for `handle`, made on first request. The embedder is told
  // on every call to report the handle's end to OnRegistrarDestroyed.
  PluginRegistrarWindows* RegistrarFor(FlutterDesktopPluginRegistrarRef handle);

  size_t size() const { return registrars_.size(); }

 private:
  RegistrarTable() = default;
  static void OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef handle);

  std::map<FlutterDesktopPluginRegistrarRef, std::unique_ptr<PluginRegistrarWindows>> registrars_;
};

}  // namespace flutter

#endif  // VELORA_WINDOW_PLUGIN_REGISTRAR_H_
