#include "window/flutter_view_controller.h"

#include <iostream>

namespace flutter {

FlutterViewController::FlutterViewController(int width,
                                             int height,
                                             const velora::ProjectBundle& bundle)
    : engine_(std::make_shared<FlutterEngine>(bundle)) {
  controller_handle_ =
      FlutterDesktopViewControllerCreate(width, height, engine_->ReleaseEngineHandle());
  if (controller_handle_ == nullptr) {
    std::cerr << "Failed to create view controller." << std::endl;
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_handle_));
}

FlutterViewController::~FlutterViewController() {
  if (controller_handle_ != nullptr) {
    // Ends the view, the controller and the engine it owns.
    FlutterDesktopViewControllerDestroy(controller_handle_);
  }
  view_.reset();
  engine_.reset();
}

void FlutterViewController::ForceRedraw() {
  FlutterDesktopViewControllerForceRedraw(controller_handle_);
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelMessage(HWND hwnd,
                                                                    UINT message,
                                                                    WPARAM wparam,
                                                                    LPARAM lparam) {
  LRESULT result = 0;
  if (FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_handle_, hwnd, message,
                                                           wparam, lparam, &result)) {
    return result;
  }
  return std::nullopt;
}

}  // namespace flutter
