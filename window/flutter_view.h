// The engine's view: a child window the host embeds as its content.
#ifndef VELORA_WINDOW_FLUTTER_VIEW_H_
#define VELORA_WINDOW_FLUTTER_VIEW_H_

#include "flutter_windows.h"

namespace flutter {

class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  HWND NativeWindow() const { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;  // not owned
};

}  // namespace flutter

#endif  // VELORA_WINDOW_FLUTTER_VIEW_H_
