// Where Wine and Windows differ, a test asks at run time which one it runs
// on and asserts what that platform really does. Wine's ntdll exports
// wine_get_version; Windows' never does.
#ifndef VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_
#define VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_

#include <windows.h>

namespace velora::test {

inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_
