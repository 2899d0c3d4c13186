// DPI queries of the stand-in embedder: the system's answer for the monitor,
// unless a test fixes the DPI through the environment.
#include <shellscalingapi.h>
#include <windows.h>

#include <cstdlib>

#include "flutter_windows.h"
#include "standins/embedder/standin_settings.h"

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  char text[16] = {};
  const DWORD length =
      GetEnvironmentVariableA(velora::standin::kDpiOverrideVariable, text, sizeof text);
  if (length > 0 && length < sizeof text) {
    if (auto dpi = velora::standin::ParseDpiOverride(text)) {
      return *dpi;
    }
  }
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  if (monitor != nullptr &&
      SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y)) && dpi_x != 0) {
    return dpi_x;
  }
  return 96;
}

void FlutterDesktopResyncOutputStreams(void) {
  // The stand-in writes through the C runtime the host shares, so there is
  // nothing of its own to re-bind.
}
