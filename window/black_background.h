// The black the program's own windows show wherever nothing else draws: the
// top-level window behind its content and the video host behind the video.
#ifndef VELORA_WINDOW_BLACK_BACKGROUND_H_
#define VELORA_WINDOW_BLACK_BACKGROUND_H_

#include <windows.h>

namespace velora {

inline HBRUSH BlackBrush() {
  return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

// Answers WM_ERASEBKGND: the whole client area of `hwnd` black on the
// message's device context, and 1 (erased).
inline LRESULT EraseToBlack(HWND hwnd, WPARAM wparam) {
  RECT rect = {0, 0, 0, 0};
  GetClientRect(hwnd, &rect);
  FillRect(reinterpret_cast<HDC>(wparam), &rect, BlackBrush());
  return 1;
}

}  // namespace velora

#endif  // VELORA_WINDOW_BLACK_BACKGROUND_H_
