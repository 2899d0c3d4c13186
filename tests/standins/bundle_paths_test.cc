#include "standins/embedder/bundle_paths.h"

#include <gtest/gtest.h>

namespace velora::standin {
namespace {

// The host hands the engine "data\..." relative paths: they must count from
// the executable's folder, whatever the current directory is.
TEST(BundlePaths, RelativePathsJoinTheExecutableFolder) {
  EXPECT_EQ(
      ResolveBundlePath(L"C:\\Users\\a\\AppData\\Local\\Programs\\Ondexa", L"data\\icudtl.dat"),
      L"C:\\Users\\a\\AppData\\Local\\Programs\\Ondexa\\data\\icudtl.dat");
  EXPECT_EQ(ResolveBundlePath(L"C:\\", L"data\\app.so"), L"C:\\data\\app.so");
  EXPECT_EQ(ResolveBundlePath(L"Z:\\tmp/x/", L"data\\flutter_assets"),
            L"Z:\\tmp/x/data\\flutter_assets");
}

TEST(BundlePaths, AbsoluteAndEmptyPathsStandAsGiven) {
  const std::wstring dir = L"C:\\app";
  EXPECT_EQ(ResolveBundlePath(dir, L"D:\\bundle\\icudtl.dat"), L"D:\\bundle\\icudtl.dat");
  EXPECT_EQ(ResolveBundlePath(dir, L"D:relative"), L"D:relative");
  EXPECT_EQ(ResolveBundlePath(dir, L"\\rooted\\app.so"), L"\\rooted\\app.so");
  EXPECT_EQ(ResolveBundlePath(dir, L"\\\\server\\share\\app.so"), L"\\\\server\\share\\app.so");
  EXPECT_EQ(ResolveBundlePath(dir, L"/unix/style"), L"/unix/style");
  EXPECT_EQ(ResolveBundlePath(dir, L""), L"");
  // Without a folder to count from, the path is left to the system.
  EXPECT_EQ(ResolveBundlePath(L"", L"data\\app.so"), L"data\\app.so");
}

TEST(BundlePaths, FolderOfAModulePath) {
  EXPECT_EQ(FolderOf(L"C:\\app\\velora.exe"), L"C:\\app");
  EXPECT_EQ(FolderOf(L"Z:\\tmp/unzipped/velora.exe"), L"Z:\\tmp/unzipped");
  EXPECT_EQ(FolderOf(L"velora.exe"), L"");
}

}  // namespace
}  // namespace velora::standin
