// What the stand-in engine runs as the application: the app side lives in
// the bundle's AOT library (data/app.so, a DLL despite its name) and hands
// the engine this object through one exported C function, as a real engine
// finds the Dart program in the AOT library it is given.
#ifndef VELORA_STANDINS_EMBEDDER_APP_PROGRAM_H_
#define VELORA_STANDINS_EMBEDDER_APP_PROGRAM_H_

#include <windows.h>

#include "standins/embedder/core/fake_engine.h"

namespace velora::standin {

class AppProgram {
 public:
  // The engine runs; `timer_window` receives the app's WM_TIMER messages.
  virtual void Start(FlutterDesktopEngine* engine, HWND timer_window) = 0;
  virtual void Stop(FlutterDesktopEngine* engine) = 0;
  virtual void OnTimer(UINT_PTR id) = 0;
  virtual void OnViewInput(UINT message, int x, int y) = 0;
  // Draws what the app shows in the Flutter view.
  virtual void Paint(HDC dc, const RECT& client) = 0;
  virtual void OnViewResized() = 0;

 protected:
  ~AppProgram() = default;
};

// The AOT library's export: returns its program, which lives as long as the
// library is loaded.
constexpr char kAppProgramEntry[] = "VeloraAppProgram";
using AppProgramEntry = AppProgram* (*)();

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_APP_PROGRAM_H_
