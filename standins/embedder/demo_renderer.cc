#include "standins/embedder/demo_renderer.h"

#include <cstdio>
#include <cstring>

#include "standins/renderer/renderer.h"

namespace velora::standin {

void DrawTestPattern(HDC dc, const RECT& area, uint64_t frame) {
  static const COLORREF kBars[] = {RGB(192, 192, 192), RGB(192, 192, 0), RGB(0, 192, 192),
                                   RGB(0, 192, 0),     RGB(192, 0, 192), RGB(192, 0, 0),
                                   RGB(0, 0, 192)};
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) {
    return;
  }
  const int bars = static_cast<int>(sizeof kBars / sizeof kBars[0]);
  for (int i = 0; i < bars; ++i) {
    RECT bar = {area.left + width * i / bars, area.top, area.left + width * (i + 1) / bars,
                area.top + height * 3 / 4};
    const HBRUSH brush = CreateSolidBrush(kBars[i]);
    FillRect(dc, &bar, brush);
    DeleteObject(brush);
  }
  RECT band = {area.left, area.top + height * 3 / 4, area.right, area.bottom};
  FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  // A white box sweeping across the lower band shows the motion.
  const int box = height / 8 > 8 ? height / 8 : 8;
  const int travel = width > box ? width - box : 1;
  const int x = area.left + static_cast<int>((frame * 12) % static_cast<uint64_t>(travel));
  RECT moving = {x, band.top + (band.bottom - band.top - box) / 2, x + box,
                 band.top + (band.bottom - band.top + box) / 2};
  FillRect(dc, &moving, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  char label[64];
  std::snprintf(label, sizeof label, "renderer frame %llu", static_cast<unsigned long long>(frame));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, area.left + 12, band.top + 8, label, static_cast<int>(std::strlen(label)));
}

void DemoRenderer::Start(HWND host, int64_t texture_id, unsigned interval_ms) {
  Stop();
  running_ = true;
  thread_ =
      std::thread([this, host, texture_id, interval_ms] { Run(host, texture_id, interval_ms); });
}

void DemoRenderer::Stop() {
  running_ = false;
  if (thread_.joinable()) {
    thread_.join();
  }
}

void DemoRenderer::Run(HWND host, int64_t texture_id, unsigned interval_ms) {
  // The renderer knows the host executable only by its export.
  const MarkFrameFunction mark = FindMarkFrameFunction();
  while (running_) {
    const uint64_t frame = frames_.fetch_add(1) + 1;
    if (host != nullptr && IsWindow(host)) {
      if (HDC dc = GetDC(host)) {
        RECT client;
        GetClientRect(host, &client);
        DrawTestPattern(dc, client, frame);
        ReleaseDC(host, dc);
      }
    }
    if (texture_id >= 0 && mark != nullptr) {
      mark(texture_id);
    }
    Sleep(interval_ms);
  }
}

}  // namespace velora::standin
