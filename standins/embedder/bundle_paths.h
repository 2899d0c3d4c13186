// How the stand-in engine reads the bundle paths it is handed, as a real
// engine does: relative paths count from the executable's folder, never from
// the current directory, so the host runs the same wherever it is started.
#ifndef VELORA_STANDINS_EMBEDDER_BUNDLE_PATHS_H_
#define VELORA_STANDINS_EMBEDDER_BUNDLE_PATHS_H_

#include <string>

namespace velora::standin {

// The folder part of a module's full path ("C:\app\velora.exe" ->
// "C:\app"); empty when the path has no separator.
std::wstring FolderOf(const std::wstring& module_path);

// `path` joined to `executable_dir` when it is relative; drive-qualified
// ("C:..."), rooted ("\...") and UNC paths stand as given. An empty path
// stays empty (no file has that name).
std::wstring ResolveBundlePath(const std::wstring& executable_dir, const std::wstring& path);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_BUNDLE_PATHS_H_
