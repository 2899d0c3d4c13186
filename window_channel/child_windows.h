// Lists the child windows of a window in the run log: class, visibility,
// rectangle and which known child each one is, topmost first.
#ifndef VELORA_WINDOW_CHANNEL_CHILD_WINDOWS_H_
#define VELORA_WINDOW_CHANNEL_CHILD_WINDOWS_H_

#include <cstddef>
#include <cstdint>

namespace velora {

constexpr int kMaxChildWindowLines = 12;
constexpr std::size_t kChildHeadingCapacity = 256;
constexpr std::size_t kChildLineCapacity = 512;

struct ChildWindowInfo {
  int index = 0;
  const void* hwnd = nullptr;
  const char* class_name = "";  // empty means unknown
  bool visible = false;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  const char* tag = "-";
};

// "child_windows (%s):" with the tag, or "?" without one.
void FormatChildHeading(const char* tag, char (&line)[kChildHeadingCapacity]);
// "  #%d hwnd=%p cls=%s vis=%d rect=%d,%d %dx%d tag=%s", cut to the buffer.
void FormatChildLine(const ChildWindowInfo& child, char (&line)[kChildLineCapacity]);

}  // namespace velora

#ifdef _WIN32
#include <windows.h>

namespace velora {

// One heading and at most twelve lines; `view` is tagged "flutter_view",
// `host` "video_host", any other child "-". Nothing for a null parent.
void LogChildWindows(HWND parent, HWND view, HWND host, const char* tag);

}  // namespace velora
#endif

#endif  // VELORA_WINDOW_CHANNEL_CHILD_WINDOWS_H_
