// A look-alike dbghelp.dll, planted in the current directory and on PATH of
// a crashing host: loading it leaves a marker in the current directory, and
// its MiniDumpWriteDump writes nothing.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    const HANDLE marker = CreateFileW(L"planted_dbghelp_loaded.txt", GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
      CloseHandle(marker);
    }
  }
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI
    MiniDumpWriteDump(HANDLE, DWORD, HANDLE, int, void*, void*, void*) {
  return FALSE;
}
