#include "window/plugin_registrar.h"

#include <utility>

namespace flutter {

PluginRegistrar::PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar_handle)
    : registrar_handle_(registrar_handle),
      messenger_(std::make_unique<BinaryMessengerImpl>(
          FlutterDesktopPluginRegistrarGetMessenger(registrar_handle))),
      texture_registrar_(std::make_unique<TextureRegistrarImpl>(
          FlutterDesktopRegistrarGetTextureRegistrar(registrar_handle))) {}

PluginRegistrar::~PluginRegistrar() {
  ClearPlugins();
}

void PluginRegistrar::AdoptPlugin(std::unique_ptr<Plugin> plugin) {
  plugins_.insert(std::move(plugin));
}

void PluginRegistrar::ClearPlugins() {
  plugins_.clear();
}

PluginRegistrarWindows::PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar_handle)
    : PluginRegistrar(registrar_handle) {
  if (FlutterDesktopViewRef view = FlutterDesktopPluginRegistrarGetView(registrar_handle)) {
    view_ = std::make_unique<FlutterView>(view);
  }
}

PluginRegistrarWindows::~PluginRegistrarWindows() {
  ClearPlugins();
  view_.reset();
}

RegistrarTable& RegistrarTable::Get() {
  static RegistrarTable* table = new RegistrarTable();  // kept until the process ends
  return *table;
}

PluginRegistrarWindows* RegistrarTable::RegistrarFor(FlutterDesktopPluginRegistrarRef handle) {
  // An existing wrapper stands; building a second one first would only be
  // thrown away, since making a wrapper has no effect on the embedder.
  auto entry = registrars_.find(handle);
  if (entry == registrars_.end()) {
    entry = registrars_.emplace(handle, std::make_unique<PluginRegistrarWindows>(handle)).first;
  }
  FlutterDesktopPluginRegistrarSetDestructionHandler(handle, OnRegistrarDestroyed);
  return entry->second.get();
}

void RegistrarTable::OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef handle) {
  Get().registrars_.erase(handle);
}

}  // namespace flutter
