#include <windows.h>

#include "host/host_main.h"

// The command line is read again where the arguments are collected, and the
// show mode is ignored: the window shows itself after the first frame.
int APIENTRY wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  return velora::RunHost();
}
