#include "window_channel/child_windows.h"

#include <cstdio>
#include <cstring>

#include "host/log_file.h"
#include "host/pointer_format.h"
#include "window/geometry.h"

namespace velora {

void FormatChildHeading(const char* tag, char (&line)[kChildHeadingCapacity]) {
  std::snprintf(line, sizeof line, "child_windows (%s):", tag != nullptr ? tag : "?");
}

void FormatChildLine(const ChildWindowInfo& child, char (&line)[kChildLineCapacity]) {
  std::memset(line, 0, sizeof line);
  char hwnd[kPointerTextLength + 1];
  FormatPointer(child.hwnd, hwnd);
  const char* class_name =
      (child.class_name == nullptr || child.class_name[0] == '\0') ? "(?)" : child.class_name;
  std::snprintf(line, sizeof line, "  #%d hwnd=%s cls=%s vis=%d rect=%d,%d %dx%d tag=%s",
                child.index, hwnd, class_name, child.visible ? 1 : 0, child.left, child.top,
                child.width, child.height, child.tag);
}

#ifdef _WIN32

namespace {

// Longer class names are cut: the line shows what fits.
constexpr int kClassNameCapacity = 128;

}  // namespace

void LogChildWindows(HWND parent, HWND view, HWND host, const char* tag) {
  if (parent == nullptr) {
    return;
  }
  char heading[kChildHeadingCapacity];
  FormatChildHeading(tag, heading);
  WriteRunLog(heading);

  int count = 0;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindow(child)) {
      continue;
    }
    char class_name[kClassNameCapacity] = {};
    GetClassNameA(child, class_name, kClassNameCapacity);
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);

    ChildWindowInfo info;
    info.index = count;
    info.hwnd = child;
    info.class_name = class_name;
    info.visible = IsWindowVisible(child) != FALSE;
    info.left = rect.left;
    info.top = rect.top;
    info.width = ClampedWidthOf(rect);
    info.height = ClampedHeightOf(rect);
    info.tag = child == view ? "flutter_view" : child == host ? "video_host" : "-";
    char line[kChildLineCapacity];
    FormatChildLine(info, line);
    WriteRunLog(line);
    if (++count == kMaxChildWindowLines) {
      break;
    }
  }
}

#endif

}  // namespace velora
