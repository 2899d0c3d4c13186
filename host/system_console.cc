// The console platform calls of a real Windows process.
#include <windows.h>

#include <io.h>
#include <cstdint>
#include <cstdio>
#include <iostream>

#include "flutter_windows.h"
#include "host/debug_console.h"

namespace velora {

namespace {

class SystemConsolePlatform : public ConsolePlatform {
 public:
  bool AttachParentConsole() override { return AttachConsole(ATTACH_PARENT_PROCESS) != 0; }
  bool DebuggerPresent() override { return IsDebuggerPresent() != 0; }
  bool AllocateConsole() override { return AllocConsole() != 0; }
  bool StdoutConnected() override { return Connected(stdout); }
  bool StderrConnected() override { return Connected(stderr); }
  bool ReopenStdout() override { return Reopen(stdout); }
  bool ReopenStderr() override { return Reopen(stderr); }
  void DuplicateStdoutOnto(int descriptor) override { _dup2(_fileno(stdout), descriptor); }
  void SyncLibraryStreams() override { std::ios_base::sync_with_stdio(true); }
  void ResyncEngineStreams() override { FlutterDesktopResyncOutputStreams(); }

 private:
  // The C runtime gives an unconnected stream no descriptor (-2), or a
  // descriptor without an operating-system handle behind it (-1 or -2).
  static bool Connected(FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0) {
      return false;
    }
    const intptr_t handle = _get_osfhandle(descriptor);
    return handle != -1 && handle != -2;
  }
  static bool Reopen(FILE* stream) {
    FILE* reopened = nullptr;
    return freopen_s(&reopened, "CONOUT$", "w", stream) == 0;
  }
};

}  // namespace

ConsolePlatform& SystemConsole() {
  static SystemConsolePlatform platform;
  return platform;
}

}  // namespace velora
