// The two plugin libraries the application ships beside the executable.
#ifndef VELORA_WINDOW_PLUGIN_LIBRARIES_H_
#define VELORA_WINDOW_PLUGIN_LIBRARIES_H_

#include "flutter_windows.h"

#if defined(_WIN32) && !defined(VELORA_PLUGIN_LIBRARY)
#define VELORA_PLUGIN_IMPORT __declspec(dllimport)
#elif defined(_WIN32)
#define VELORA_PLUGIN_IMPORT __declspec(dllexport)
#else
#define VELORA_PLUGIN_IMPORT
#endif

extern "C" {
// desktop_drop_plugin.dll
VELORA_PLUGIN_IMPORT void DesktopDropPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// texture_rgba_renderer_plugin.dll
VELORA_PLUGIN_IMPORT void TextureRgbaRendererPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
}

namespace flutter {

class PluginRegistry;

// Registers the drag-and-drop plugin, then the RGBA texture renderer
// plugin, each with its own registrar (passed on without a null test).
void RegisterPluginLibraries(PluginRegistry* registry);

}  // namespace flutter

#endif  // VELORA_WINDOW_PLUGIN_LIBRARIES_H_
