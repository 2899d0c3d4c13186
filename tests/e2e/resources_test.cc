// The executable's resources: icon group 101, the manifest and the version
// record, read from the built file the way the loader reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/host_process.h"

namespace velora {
namespace {

class ExecutableImage {
 public:
  ExecutableImage() {
    const std::wstring path = tools::BinaryDir() + L"\\velora.exe";
    module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~ExecutableImage() {
    if (module_ != nullptr) {
      FreeLibrary(module_);
    }
  }
  HMODULE get() const { return module_; }

  std::string Resource(LPCWSTR type, LPCWSTR name) const {
    HRSRC info = FindResourceW(module_, name, type);
    if (info == nullptr) {
      return {};
    }
    HGLOBAL data = LoadResource(module_, info);
    const char* bytes = static_cast<const char*>(LockResource(data));
    return std::string(bytes, SizeofResource(module_, info));
  }

 private:
  HMODULE module_ = nullptr;
};

// An image drawn for each size the shell and the window frame use (the small
// icon at 100 % and 150 %, the large one, Explorer's views), 32 bits each.
TEST(ResourcesTest, IconGroupHoldsAThirtyTwoBitImageForEverySizeInUse) {
  ExecutableImage image;
  ASSERT_NE(image.get(), nullptr);
  const std::string group = image.Resource(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(101));
  // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
  ASSERT_GE(group.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(group[2]), 1);  // an icon
  const int count = static_cast<unsigned char>(group[4]);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;
    const int width = static_cast<unsigned char>(entry[0]);
    EXPECT_EQ(static_cast<unsigned char>(entry[1]), width);        // square
    EXPECT_EQ(static_cast<unsigned char>(entry[6]), 32) << width;  // bits per pixel
    sizes.push_back(width == 0 ? 256 : width);
    // Each image loads at its own size.
    const HICON icon = static_cast<HICON>(
        LoadImageW(image.get(), MAKEINTRESOURCEW(101), IMAGE_ICON, sizes.back(), sizes.back(), 0));
    EXPECT_NE(icon, nullptr) << sizes.back();
    DestroyIcon(icon);
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));
  // The window class loads it the same way.
  EXPECT_NE(LoadIconW(image.get(), MAKEINTRESOURCEW(101)), nullptr);
}

TEST(ResourcesTest, ManifestDeclaresPerMonitorV2AsInvokerAndWindows10) {
  ExecutableImage image;
  const std::string manifest = image.Resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find(">PerMonitorV2<"), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
}

TEST(ResourcesTest, VersionRecordIsOneZeroZeroOne) {
  const std::wstring path = tools::BinaryDir() + L"\\velora.exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, L"1.0.0+1");
}

}  // namespace
}  // namespace velora
