#include "host/debug_console.h"

namespace velora {

namespace {

// Reopens the chosen streams on the console, then lets the library's and
// the engine's streams follow. A stream that cannot be reopened gets a copy
// of standard output's descriptor: error output goes wherever standard
// output goes.
void PointStreamsAtConsole(ConsolePlatform& platform, bool reopen_stdout, bool reopen_stderr) {
  if (reopen_stdout && !platform.ReopenStdout()) {
    platform.DuplicateStdoutOnto(1);
  }
  if (reopen_stderr && !platform.ReopenStderr()) {
    platform.DuplicateStdoutOnto(2);
  }
  platform.SyncLibraryStreams();
  platform.ResyncEngineStreams();
}

}  // namespace

void ApplyConsoleRule(ConsolePlatform& platform) {
  if (platform.AttachParentConsole()) {
    // A GUI process gets no streams from the console it attaches to; the
    // ones a redirection connected keep their redirection.
    const bool reopen_stdout = !platform.StdoutConnected();
    const bool reopen_stderr = !platform.StderrConnected();
    if (reopen_stdout || reopen_stderr) {
      PointStreamsAtConsole(platform, reopen_stdout, reopen_stderr);
    }
    return;
  }
  if (platform.DebuggerPresent()) {
    OpenDebugConsole(platform);
  }
}

void OpenDebugConsole(ConsolePlatform& platform) {
  if (!platform.AllocateConsole()) {
    return;
  }
  PointStreamsAtConsole(platform, true, true);
}

}  // namespace velora
