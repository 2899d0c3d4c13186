// Stand-in for desktop_drop_plugin.dll.
#include "standins/plugins/plugin_channel.h"
#include "window/plugin_libraries.h"

void DesktopDropPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  velora::standin::InstallNamedChannel(registrar, "desktop_drop", "DesktopDropPlugin");
}
