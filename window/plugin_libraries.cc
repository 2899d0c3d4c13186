#include "window/plugin_libraries.h"

#include "window/flutter_engine.h"

namespace flutter {

void RegisterPluginLibraries(PluginRegistry* registry) {
  DesktopDropPluginRegisterWithRegistrar(registry->RegistrarForPlugin("DesktopDropPlugin"));
  TextureRgbaRendererPluginCApiRegisterWithRegistrar(
      registry->RegistrarForPlugin("TextureRgbaRendererPluginCApi"));
}

}  // namespace flutter
