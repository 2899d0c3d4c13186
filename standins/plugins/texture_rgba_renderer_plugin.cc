// Stand-in for texture_rgba_renderer_plugin.dll.
#include "standins/plugins/plugin_channel.h"
#include "window/plugin_libraries.h"

void TextureRgbaRendererPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  velora::standin::InstallNamedChannel(registrar, "texture_rgba_renderer",
                                       "TextureRgbaRendererPluginCApi");
}
