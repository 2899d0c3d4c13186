// What the engine is to run: the application bundle's paths, the Dart entry
// point and its arguments. A plain value: the entry point owns one, the
// Flutter host window keeps its own copy.
#ifndef VELORA_WINDOW_PROJECT_BUNDLE_H_
#define VELORA_WINDOW_PROJECT_BUNDLE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace velora {

struct ProjectBundle {
  std::wstring assets_dir;
  std::wstring icu_data_file;
  std::wstring aot_library_file;
  std::string entrypoint_name;               // UTF-8; empty selects the default
  std::vector<std::string> entrypoint_args;  // UTF-8
  int32_t engine_options[2] = {0, 0};        // passed through untouched
};

// Plain concatenation: nothing is resolved, normalised or checked, so a
// relative base reaches the engine as relative paths.
inline ProjectBundle MakeProjectBundle(const std::wstring& base) {
  ProjectBundle bundle;
  bundle.assets_dir = base + L"\\flutter_assets";
  bundle.icu_data_file = base + L"\\icudtl.dat";
  bundle.aot_library_file = base + L"\\app.so";
  return bundle;
}

}  // namespace velora

#endif  // VELORA_WINDOW_PROJECT_BUNDLE_H_
