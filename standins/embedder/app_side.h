// The app side of the stand-in: plays the Dart application on the platform
// thread. Driven by the scenario named in the entry-point arguments
// (--scenario=PATH), it talks to the host over its channels, inspects and
// pokes the top-level window, and writes everything it sees to the
// transcript (--transcript=PATH), bytes in hex.
#ifndef VELORA_STANDINS_EMBEDDER_APP_SIDE_H_
#define VELORA_STANDINS_EMBEDDER_APP_SIDE_H_

#include <windows.h>

#include <cstdio>
#include <string>

#include "standins/embedder/app_program.h"
#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/demo_app.h"
#include "standins/embedder/scenario/scenario.h"

namespace velora::standin {

class AppSide : public AppProgram {
 public:
  static AppSide& Get();

  // The engine runs: read the arguments, open the transcript, produce the
  // first frame (unless the scenario says "noframe") and start the steps.
  void Start(FlutterDesktopEngine* engine, HWND timer_window) override;
  void Stop(FlutterDesktopEngine* engine) override;

  void OnTimer(UINT_PTR id) override;
  void OnViewInput(UINT message, int x, int y) override;
  // Draws what the app shows in the Flutter view.
  void Paint(HDC dc, const RECT& client) override;

  void OnViewResized() override;

  // One line of the transcript (a line end is added).
  void Record(const std::string& line);
  // The top-level window's state as one transcript line.
  void RecordWindow();

 private:
  AppSide() = default;
  void RunNextStep();
  void RunStep(const ScenarioStep& step);
  // Measurements and injected faults: resources, refusesends, nexttextureid, frames.
  void RunProbeStep(const ScenarioStep& step);
  void ScheduleNextStep(UINT milliseconds);
  HWND TopLevel() const;
  void RecordChildren();
  void RecordMonitor();
  void RecordEngine();
  // Whether a gate step may go on: opened, or waited for long enough.
  bool GatePassed(const ScenarioStep& step);

  FlutterDesktopEngine* engine_ = nullptr;
  HWND timer_window_ = nullptr;
  std::FILE* transcript_ = nullptr;
  Scenario scenario_;
  size_t next_step_ = 0;
  ULONGLONG gate_deadline_ = 0;  // while a gate step waits
  HWND zorder_probe_ = nullptr;
  bool execstate_at_end_ = false;
  DemoApp demo_{*this};
};

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_APP_SIDE_H_
