// Marks the stand-in's C++ control API for export from flutter_windows.dll,
// so that Windows tests can drive the one stand-in instance inside the DLL
// that the host code under test talks to. Elsewhere it expands to nothing.
#ifndef VELORA_STANDINS_EMBEDDER_CORE_STANDIN_EXPORT_H_
#define VELORA_STANDINS_EMBEDDER_CORE_STANDIN_EXPORT_H_

#if defined(_WIN32) && defined(FLUTTER_DESKTOP_LIBRARY)
#define VELORA_STANDIN_EXPORT __declspec(dllexport)
#else
#define VELORA_STANDIN_EXPORT
#endif

#endif  // VELORA_STANDINS_EMBEDDER_CORE_STANDIN_EXPORT_H_
