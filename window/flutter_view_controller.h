// Puts the engine's view into a window of a given size. The embedder's
// controller owns the engine from creation on; this wrapper shares the
// engine wrapper for its messenger and callbacks.
#ifndef VELORA_WINDOW_FLUTTER_VIEW_CONTROLLER_H_
#define VELORA_WINDOW_FLUTTER_VIEW_CONTROLLER_H_

#include <memory>
#include <optional>

#include "flutter_windows.h"
#include "window/flutter_engine.h"
#include "window/flutter_view.h"
#include "window/project_bundle.h"

namespace flutter {

class FlutterViewController {
 public:
  // Width and height in physical pixels.
  FlutterViewController(int width, int height, const velora::ProjectBundle& bundle);
  virtual ~FlutterViewController();

  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  FlutterEngine* Engine() const { return engine_.get(); }
  // None when the embedder refused to create the controller.
  FlutterView* View() const { return view_.get(); }

  void ForceRedraw();
  // The engine's answer when it handles the top-level message itself.
  std::optional<LRESULT> HandleTopLevelMessage(HWND hwnd,
                                               UINT message,
                                               WPARAM wparam,
                                               LPARAM lparam);

 private:
  FlutterDesktopViewControllerRef controller_handle_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // VELORA_WINDOW_FLUTTER_VIEW_CONTROLLER_H_
