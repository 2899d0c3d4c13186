// The video host against real Win32 (under Wine): creation, z-order,
// painting, hit tests, the native-mode size limit and the restored
// window procedure.
#include "window_channel/video_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velora {
namespace {

// Registered before the host's own registration would run, so it becomes
// the procedure the host subclasses and restores.
std::vector<UINT>* recorded = nullptr;
std::vector<bool>* restored_at_destroy = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (recorded != nullptr) {
    recorded->push_back(message);
  }
  if (message == WM_DESTROY && restored_at_destroy != nullptr) {
    restored_at_destroy->push_back(GetWindowLongPtrW(hwnd, GWLP_WNDPROC) ==
                                   reinterpret_cast<LONG_PTR>(&RecordingProc));
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

class VideoHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW host_class = {};
    host_class.style = CS_HREDRAW | CS_VREDRAW;
    host_class.lpfnWndProc = RecordingProc;
    host_class.hInstance = GetModuleHandleW(nullptr);
    host_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    host_class.lpszClassName = kVideoHostClassName;
    RegisterClassW(&host_class);
    WNDCLASSW parent_class = {};
    parent_class.lpfnWndProc = DefWindowProcW;
    parent_class.hInstance = GetModuleHandleW(nullptr);
    parent_class.lpszClassName = L"VideoHostTestParent";
    RegisterClassW(&parent_class);
    parent_ = CreateWindowExW(0, L"VideoHostTestParent", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              0, 0, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT client = {0, 0, 1280, 720};
    AdjustWindowRectEx(&client, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(parent_, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(parent_, SW_SHOWNA);  // children are visible only in a visible parent
    // A sibling beneath, standing for the Flutter view.
    view_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1280, 720, parent_,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  RECT HostRect(HWND host) const {
    RECT rect = {};
    GetWindowRect(host, &rect);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  HWND parent_ = nullptr;
  HWND view_ = nullptr;
};

TEST_F(VideoHostTest, CreatedOnceAsATopmostOnePixelChild) {
  VideoHost host;
  const HWND hwnd = host.Create(parent_);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(host.Create(parent_), hwnd);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), 0x56000000u);
  EXPECT_EQ(GetWindow(parent_, GW_CHILD), hwnd);
  EXPECT_EQ(GetWindow(hwnd, GW_HWNDNEXT), view_);
  const RECT rect = HostRect(hwnd);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 1);
  EXPECT_EQ(rect.bottom, 1);
  EXPECT_TRUE(IsWindowVisible(hwnd));

  EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(0, 0)), HTTRANSPARENT);

  // Without a parent there is nothing to create.
  VideoHost orphan;
  EXPECT_EQ(orphan.Create(nullptr), nullptr);
}

TEST_F(VideoHostTest, PlacingShowingAndTheNativeModeLimit) {
  NativeVideoState mode{true, 40, 80, 300};
  VideoHost host;
  host.SetMode(mode);
  const HWND hwnd = host.Create(parent_);
  host.Place(0, 40, 5000, 5000);
  RECT rect = HostRect(hwnd);
  EXPECT_EQ(rect.right - rect.left, 980);
  EXPECT_EQ(rect.bottom - rect.top, 600);

  mode.active = false;  // the right padding still limits placing
  host.SetMode(mode);
  host.Place(0, 40, 5000, 5000);
  rect = HostRect(hwnd);
  EXPECT_EQ(rect.right - rect.left, 980);
  EXPECT_EQ(rect.bottom - rect.top, 5000);
  host.Place(2000, 0, 10, 10);
  rect = HostRect(hwnd);
  EXPECT_EQ(rect.right - rect.left, 1);
  host.Place(5, 6, 0, 7);
  rect = HostRect(hwnd);
  EXPECT_EQ(rect.right - rect.left, 0);
  EXPECT_EQ(rect.left, 5);

  host.Show(false);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  rect = HostRect(hwnd);
  EXPECT_EQ(rect.left, 5);  // hiding never moves it
  mode.active = true;
  host.SetMode(mode);
  host.Show(true);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  rect = HostRect(hwnd);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right - rect.left, 980);  // full width asked, limited by the mode
  EXPECT_EQ(rect.bottom - rect.top, 600);
  EXPECT_EQ(GetWindow(parent_, GW_CHILD), hwnd);
}

TEST_F(VideoHostTest, PaintsBlackAndPassesOtherMessagesOn) {
  std::vector<UINT> messages;
  recorded = &messages;
  VideoHost host;
  const HWND hwnd = host.Create(parent_);
  host.Place(0, 0, 50, 50);

  const HDC screen = GetDC(hwnd);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 50, 50);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all = {0, 0, 50, 50};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
  EXPECT_EQ(GetPixel(memory, 25, 25) & 0xFFFFFF, 0u);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, screen);

  messages.clear();
  SendMessageW(hwnd, WM_USER + 7, 0, 0);
  SendMessageW(hwnd, WM_NCHITTEST, 0, 0);
  // The private message reached the previous procedure; the hit test and
  // the erase did not.
  EXPECT_EQ(messages, std::vector<UINT>{WM_USER + 7});
  recorded = nullptr;
}

TEST_F(VideoHostTest, DestroyRestoresThePreviousProcedureFirst) {
  std::vector<bool> restored;
  restored_at_destroy = &restored;
  VideoHost host;
  const HWND hwnd = host.Create(parent_);
  EXPECT_NE(GetWindowLongPtrW(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
  host.Destroy();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(host.hwnd(), nullptr);
  EXPECT_EQ(restored, std::vector<bool>{true});
  // Without a host these do nothing.
  host.Place(1, 2, 3, 4);
  host.Show(true);
  host.Destroy();
  restored_at_destroy = nullptr;
}

}  // namespace
}  // namespace velora
