#include "standins/embedder/app_probes.h"

#include <windows.h>
// After windows.h, which they need.
#include <powrprof.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <thread>
#include <vector>

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

// Committed private memory, summed over the address space: what
// PrivateUsage reports on Windows, which Wine leaves at 0.
unsigned long long CommittedPrivateBytes() {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr;
       VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      total += region.RegionSize;
    }
    if (region.RegionSize == 0) break;
  }
  return total;
}

// Kernel handles of this process from the system's handle list: what
// GetProcessHandleCount reports on Windows, which Wine leaves at 0.
long HandlesFromSystemList() {
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
    PVOID object;
    ULONG_PTR process_id;
    ULONG_PTR handle;
    ULONG access;
    USHORT back_trace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
  };
  struct List {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  constexpr ULONG kExtendedHandleInformation = 64;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<char> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG length = 0;
    const LONG status =
        query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
    if (status == kLengthMismatch) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    long own = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
      own += list->entries[i].process_id == GetCurrentProcessId();
    }
    return own;
  }
  return -1;
}

// Live GDI objects in the process's GDI handle table (a Windows-compatible
// table that Wine keeps per process and points the PEB at): what
// GetGuiResources reports on Windows, where it works, and Wine does not.
long GdiObjectsFromHandleTable() {
  struct Entry {  // GDI_HANDLE_ENTRY, 24 bytes on x64
    ULONGLONG object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONGLONG user;
  };
#if defined(_WIN64)
  constexpr size_t kPebGdiTableOffset = 0xF8;
#else
  constexpr size_t kPebGdiTableOffset = 0x94;
#endif
  constexpr int kEntries = 65536;
  using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (query == nullptr ||
      query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      basic.PebBaseAddress == nullptr) {
    return -1;
  }
  const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
  const Entry* table = *reinterpret_cast<const Entry* const*>(peb + kPebGdiTableOffset);
  if (table == nullptr) return -1;
  long live = 0;
  for (int i = 0; i < kEntries; ++i) live += table[i].type != 0;
  return live;
}

}  // namespace

std::string ResourcesLine() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  unsigned long long private_bytes = memory.PrivateUsage;
  DWORD system_handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &system_handles);
  long handles = static_cast<long>(system_handles);
  long gdi = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  long user = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  unsigned long windows = 0;
  EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&windows));
  // Where the system reports nothing (Wine's stubs), count another way and
  // say so; USER objects then stand for the windows counted.
  std::string sources;
  if (private_bytes == 0) {
    private_bytes = CommittedPrivateBytes();
    sources += " private:regions";
  }
  if (handles == 0) {
    handles = HandlesFromSystemList();
    sources += " handles:system-list";
  }
  if (gdi == 0) {
    gdi = GdiObjectsFromHandleTable();
    sources += " gdi:handle-table";
  }
  if (user == 0) {
    user = static_cast<long>(windows);
    sources += " user:windows";
  }
  char line[320];
  std::snprintf(line, sizeof line,
                "resources ws=%llu private=%llu handles=%ld gdi=%ld user=%ld windows=%lu%s%s",
                static_cast<unsigned long long>(memory.WorkingSetSize), private_bytes, handles,
                gdi, user, windows, sources.empty() ? "" : " counted-by", sources.c_str());
  return line;
}

bool GateIsOpen(const std::string& name) {
  const std::string full = "Local\\velora_gate_" + name;
  const HANDLE gate = OpenEventA(SYNCHRONIZE, FALSE, full.c_str());
  if (gate == nullptr) {
    return false;
  }
  const bool open = WaitForSingleObject(gate, 0) == WAIT_OBJECT_0;
  CloseHandle(gate);
  return open;
}

std::string ZOrderLine(HWND host, HWND& probe) {
  const HWND front = GetForegroundWindow();
  if (probe == nullptr) {
    static constexpr wchar_t kProbeClass[] = L"VeloraZOrderProbe";
    WNDCLASSW probe_class = {};
    probe_class.lpfnWndProc = DefWindowProcW;
    probe_class.hInstance = GetModuleHandleW(nullptr);
    probe_class.lpszClassName = kProbeClass;
    RegisterClassW(&probe_class);
    probe = CreateWindowExW(0, kProbeClass, L"z-order probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                            40, 240, 160, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  SetWindowPos(probe, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  bool above = false;
  for (HWND below = GetWindow(host, GW_HWNDNEXT); below != nullptr;
       below = GetWindow(below, GW_HWNDNEXT)) {
    above = above || below == probe;
  }
  const bool topmost = (GetWindowLongW(host, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  const char* in_front = front == host ? "host" : front == probe ? "probe" : "other";
  char line[96];
  std::snprintf(line, sizeof line, "zorder topmost=%d above-probe=%d foreground=%s",
                topmost ? 1 : 0, above ? 1 : 0, in_front);
  return line;
}

std::string ExecutionStateLine(const char* prefix) {
  const EXECUTION_STATE thread = SetThreadExecutionState(ES_CONTINUOUS);
  if ((thread & ES_CONTINUOUS) != 0) {
    SetThreadExecutionState(thread);
  }
  ULONG system = 0;
  const bool known =
      CallNtPowerInformation(SystemExecutionState, nullptr, 0, &system, sizeof system) == 0;
  char line[96];
  if (known) {
    std::snprintf(line, sizeof line, "%s thread=0x%08lx system=0x%08lx", prefix,
                  static_cast<unsigned long>(thread), static_cast<unsigned long>(system));
  } else {
    std::snprintf(line, sizeof line, "%s thread=0x%08lx system=none", prefix,
                  static_cast<unsigned long>(thread));
  }
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
