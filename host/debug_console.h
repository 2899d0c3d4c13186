// The console of the host: a run started from a console writes its
// diagnostics there, and a run under a debugger without a parent console
// gets a console of its own. The standard streams (the C runtime's, the
// library's and the engine's) are pointed at the console, except those a
// redirection has already connected.
#ifndef VELORA_HOST_DEBUG_CONSOLE_H_
#define VELORA_HOST_DEBUG_CONSOLE_H_

namespace velora {

// The platform calls involved, behind a seam so that the rule is tested
// where no debugger or console can be arranged.
class ConsolePlatform {
 public:
  virtual ~ConsolePlatform() = default;
  virtual bool AttachParentConsole() = 0;
  virtual bool DebuggerPresent() = 0;
  virtual bool AllocateConsole() = 0;
  // Whether the C stream has a file or device behind it (a redirection, or
  // handles inherited at start-up); a GUI process started from a console
  // has none, even after attaching to it.
  virtual bool StdoutConnected() = 0;
  virtual bool StderrConnected() = 0;
  // Reopen the C stream on "CONOUT$" with mode "w"; true on success.
  virtual bool ReopenStdout() = 0;
  virtual bool ReopenStderr() = 0;
  // Duplicate standard output's descriptor onto `descriptor` (1 or 2).
  virtual void DuplicateStdoutOnto(int descriptor) = 0;
  virtual void SyncLibraryStreams() = 0;
  virtual void ResyncEngineStreams() = 0;
};

// Start-up's console rule: attach to the parent's console and point the
// streams that are not connected at it; only when attaching fails and a
// debugger is present, open a console of our own.
void ApplyConsoleRule(ConsolePlatform& platform);

void OpenDebugConsole(ConsolePlatform& platform);

#ifdef _WIN32
// The real platform.
ConsolePlatform& SystemConsole();
#endif

}  // namespace velora

#endif  // VELORA_HOST_DEBUG_CONSOLE_H_
