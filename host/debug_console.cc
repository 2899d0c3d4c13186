#include "host/debug_console.h"

namespace velora {

void ApplyConsoleRule(ConsolePlatform& platform) {
  if (platform.AttachParentConsole()) {
    return;  // the parent's console already carries the streams
  }
  if (platform.DebuggerPresent()) {
    OpenDebugConsole(platform);
  }
}

void OpenDebugConsole(ConsolePlatform& platform) {
  if (!platform.AllocateConsole()) {
    return;
  }
  if (!platform.ReopenStdout()) {
    platform.DuplicateStdoutOnto(1);
  }
  // Error output follows standard output when it cannot be reopened itself.
  if (!platform.ReopenStderr()) {
    platform.DuplicateStdoutOnto(2);
  }
  platform.SyncLibraryStreams();
  platform.ResyncEngineStreams();
}

}  // namespace velora
