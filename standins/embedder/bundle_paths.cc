#include "standins/embedder/bundle_paths.h"

namespace velora::standin {

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

}  // namespace

std::wstring FolderOf(const std::wstring& module_path) {
  const size_t separator = module_path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : module_path.substr(0, separator);
}

std::wstring ResolveBundlePath(const std::wstring& executable_dir, const std::wstring& path) {
  if (path.empty()) {
    return path;
  }
  const bool rooted = IsSeparator(path[0]);
  const bool drive = path.size() >= 2 && path[1] == L':';
  if (rooted || drive || executable_dir.empty()) {
    return path;
  }
  if (IsSeparator(executable_dir.back())) {
    return executable_dir + path;
  }
  return executable_dir + L"\\" + path;
}

}  // namespace velora::standin
