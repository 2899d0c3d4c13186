#include "window/flutter_window_target.h"

#include <windows.h>

#include "window/flutter_window.h"

namespace velora {

namespace {

// UTF-8 to UTF-16 as the platform converts it: invalid sequences become the
// replacement character, text stops at an embedded NUL.
std::wstring Utf8ToWide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) {
    return std::wstring();
  }
  std::wstring wide(static_cast<size_t>(length - 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  return wide;
}

}  // namespace

bool FlutterWindowTarget::ToggleFullScreen() {
  return window_->ToggleFullScreen();
}

bool FlutterWindowTarget::IsFullScreen() const {
  return window_->IsFullScreen();
}

std::optional<int64_t> FlutterWindowTarget::CreateVideoHost() {
  const HWND host = window_->CreateVideoHost();
  if (host == nullptr) {
    return std::nullopt;
  }
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(host));
}

void FlutterWindowTarget::DestroyVideoHost() {
  window_->DestroyVideoHost();
}

void FlutterWindowTarget::PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) {
  window_->PlaceVideoHost(x, y, w, h);
}

void FlutterWindowTarget::ShowVideoHost(bool visible) {
  window_->ShowVideoHost(visible);
}

void FlutterWindowTarget::ApplyNativeVideoMode(bool active,
                                               int32_t top_height,
                                               int32_t bar_height,
                                               std::optional<int32_t> right_padding) {
  window_->ApplyNativeVideoMode(active, top_height, bar_height, right_padding);
}

void FlutterWindowTarget::SetTitleUtf8(const std::string& title) {
  window_->SetWindowTitle(Utf8ToWide(title));
}

void FlutterWindowTarget::ResizeLogical(uint32_t width, uint32_t height) {
  window_->ResizeLogical(width, height);
}

void FlutterWindowTarget::ResizeLogicalWidth(uint32_t width) {
  window_->ResizeLogicalWidth(width);
}

bool FlutterWindowTarget::SetSingleInstance(bool enabled) {
  return window_->SetSingleInstance(enabled);
}

void FlutterWindowTarget::SetKeepAwake(bool enabled, bool display) {
  window_->SetKeepAwake(enabled, display);
}

void FlutterWindowTarget::SetAlwaysOnTop(bool enabled) {
  window_->SetAlwaysOnTop(enabled);
}

}  // namespace velora
