#include "standins/embedder/app_probes.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <thread>

namespace velora::standin {
namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<unsigned long*>(count);
  return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND hwnd, LPARAM count) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId()) {
    ++*reinterpret_cast<unsigned long*>(count);
    EnumChildWindows(hwnd, CountChild, count);
  }
  return TRUE;
}

}  // namespace

std::string ResourcesLine() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  unsigned long windows = 0;
  EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&windows));
  char line[256];
  std::snprintf(line, sizeof line,
                "resources ws=%llu private=%llu handles=%lu gdi=%lu user=%lu windows=%lu",
                static_cast<unsigned long long>(memory.WorkingSetSize),
                static_cast<unsigned long long>(memory.PrivateUsage),
                static_cast<unsigned long>(handles), static_cast<unsigned long>(gdi),
                static_cast<unsigned long>(user), windows);
  return line;
}

bool MarkFramesFromRendererThread(int64_t id, uint32_t count) {
  using MarkFrame = void (*)(int64_t);
  const auto mark = reinterpret_cast<MarkFrame>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(nullptr), "gpu_texture_mark_frame_available")));
  if (mark == nullptr) {
    return false;
  }
  std::thread renderer([mark, id, count] {
    for (uint32_t i = 0; i < count; ++i) {
      mark(id);
    }
  });
  renderer.join();
  return true;
}

}  // namespace velora::standin
