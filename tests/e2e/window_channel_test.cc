// The "velora/window" channel through the real executable: bytes on the
// wire for good and bad arguments, and the window state after each call.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"

namespace velora {
namespace {

using test::HexOfText;
using test::RunScenario;
using test::ScenarioRun;

constexpr char kTrue[] = "0001";
constexpr char kFalse[] = "0002";
constexpr char kNull[] = "0000";

std::string ShortString(const std::string& text) {
  char size[3];
  std::snprintf(size, sizeof size, "%02x", static_cast<unsigned>(text.size()));
  return std::string("07") + size + HexOfText(text);
}

std::string ErrorEnvelope(const std::string& code, const std::string& message) {
  return "01" + ShortString(code) + ShortString(message) + "00";
}

// The transcript lines of `children` steps, split per step.
std::vector<std::vector<std::string>> ChildListings(const ScenarioRun& run) {
  std::vector<std::vector<std::string>> listings;
  std::vector<std::string> current;
  for (const std::string& line : run.transcript) {
    if (line.rfind("child ", 0) == 0) {
      current.push_back(line);
    } else if (line.rfind("children ", 0) == 0) {
      listings.push_back(current);
      current.clear();
    }
  }
  return listings;
}

TEST(WindowChannelTest, NativeVideoModeLaysOutTheHostAboveTheView) {
  const ScenarioRun run = RunScenario(
      "call velora/window resizeWindow {\"width\": 1280, \"height\": 720}\n"  // 1
      "call velora/window createVideoHost\n"                                  // 2
      "call velora/window createVideoHost\n"                                  // 3
      "children\n"                                                            // 4
      "call velora/window setNativeVideoMode {\"active\": true, \"topHeightPx\": 40, "
      "\"barHeightPx\": 80, \"rightPaddingPx\": 300}\n"  // 5
      "children\n"                                       // 6
      "call velora/window setVideoHostBounds {\"x\": 0, \"y\": 40, \"w\": 5000, \"h\": "
      "5000}\n"     // 7
      "children\n"  // 8
      "call velora/window setNativeVideoMode {\"active\": true, \"topHeightPx\": 40, "
      "\"barHeightPx\": 80, \"rightPaddingPx\": 300}\n"              // 9
      "call velora/window setNativeVideoMode {\"active\": false}\n"  // 10
      "call velora/window setVideoHostBounds {\"x\": 0, \"y\": 40, \"w\": 5000, \"h\": "
      "5000}\n"                                                        // 11
      "children\n"                                                     // 12
      "call velora/window setVideoHostVisible {\"visible\": false}\n"  // 13
      "children\n"                                                     // 14
      "call velora/window setVideoHostVisible\n"                       // 15
      "children\n"                                                     // 16
      "childmsg VideoHostWindow 0x0084 0 0\n"                          // 17
      "call velora/window destroyVideoHost\n"                          // 18
      "children\n"                                                     // 19
      "call velora/window setVideoHostBounds\n"                        // 20
      "call velora/window setVideoHostVisible {\"visible\": true}\n"   // 21
      "call velora/window destroyVideoHost\n"                          // 22
      "window\n"                                                       // 23
      "close\n");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.Response(1), kTrue);
  // The client area the resize gave (1280 x 720 at 100 %, as much of it as
  // fits on a smaller or scaled screen); the layout is in its pixels.
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 1u);
  int width = 0;
  int height = 0;
  ASSERT_EQ(std::sscanf(windows[0].c_str() + windows[0].find(" client="), " client=%dx%d", &width,
                        &height),
            2);
  const auto extent = [](int w, int h) { return std::to_string(w) + "x" + std::to_string(h); };
  const std::string client = extent(width, height);
  // Native mode: below the 40-pixel top, above the 80-pixel bar, left of
  // the 300-pixel padding.
  const std::string in_mode = extent(width - 300, height - 40 - 80);

  // One host, the same handle twice, as a 64-bit integer.
  const std::string handle = run.Response(2);
  ASSERT_EQ(handle.size(), 20u);
  EXPECT_EQ(handle.substr(0, 4), "0004");
  EXPECT_EQ(run.Response(3), handle);

  const auto listings = ChildListings(run);
  ASSERT_EQ(listings.size(), 7u);
  const std::string view = "class=FLUTTERVIEW visible=1 rect=0,0 " + client;
  EXPECT_EQ(listings[0],
            (std::vector<std::string>{"child 0 class=VideoHostWindow visible=1 rect=0,0 1x1",
                                      "child 1 " + view}));
  EXPECT_EQ(listings[1][0], "child 0 class=VideoHostWindow visible=1 rect=0,40 " + in_mode);
  EXPECT_EQ(listings[2][0], "child 0 class=VideoHostWindow visible=1 rect=0,40 " + in_mode);
  // Mode off, right padding still 300: only the placing limit applies.
  const std::string placed = extent(width - 300, 5000);
  EXPECT_EQ(listings[3][0], "child 0 class=VideoHostWindow visible=1 rect=0,40 " + placed);
  EXPECT_EQ(listings[4][0], "child 0 class=VideoHostWindow visible=0 rect=0,40 " + placed);
  // Shown with top and bar back at 0: the whole client area.
  EXPECT_EQ(listings[5][0], "child 0 class=VideoHostWindow visible=1 rect=0,0 " + client);
  EXPECT_EQ(listings[5][1], "child 1 " + view);
  EXPECT_EQ(listings[6], (std::vector<std::string>{"child 0 " + view}));

  // Hit tests fall through.
  EXPECT_NE(std::find(run.transcript.begin(), run.transcript.end(), "result 17 -1"),
            run.transcript.end());
  for (int line : {5, 7, 9, 10, 11, 13, 15, 18, 20, 21, 22}) {
    EXPECT_EQ(run.Response(line), kTrue) << "line " << line;
  }

  // One line per change, none for the repeat.
  std::vector<std::string> mode_lines;
  for (const std::string& line : run.run_log) {
    if (line.rfind("setNativeVideoMode", 0) == 0)
      mode_lines.push_back(line);
  }
  EXPECT_EQ(mode_lines, (std::vector<std::string>{
                            "setNativeVideoMode: active 0->1 top 0->40 bar 0->80 right 0->300",
                            "setNativeVideoMode: active 1->0 top 40->0 bar 80->0 right 300->300"}));
}

TEST(WindowChannelTest, TopLevelMethodsAndTheirErrorsOnTheWire) {
  const ScenarioRun run = RunScenario(
      "call velora/window isFullscreen\n"                                              // 1
      "window\n"                                                                       // 2
      "call velora/window toggleFullscreen\n"                                          // 3
      "call velora/window isFullscreen {\"any\": 1}\n"                                 // 4
      "window\n"                                                                       // 5
      "call velora/window toggleFullscreen\n"                                          // 6
      "window\n"                                                                       // 7
      "call velora/window setTitle {\"title\": \"Neu \\xc3\\xa9\"}\n"                  // 8
      "call velora/window setTitle {\"title\": 5}\n"                                   // 9
      "call velora/window setTitle\n"                                                  // 10
      "window\n"                                                                       // 11
      "call velora/window resizeWindow\n"                                              // 12
      "call velora/window resizeWindow [800, 600]\n"                                   // 13
      "call velora/window resizeWindow {\"height\": 300}\n"                            // 14
      "call velora/window resizeWindow {\"width\": 800.9, \"height\": 600}\n"          // 15
      "window\n"                                                                       // 16
      "call velora/window resizeWindow {\"width\": 900L}\n"                            // 17
      "window\n"                                                                       // 18
      "call velora/window resizeWindow {\"width\": nan, \"height\": -inf}\n"           // 19
      "call velora/window TOGGLEFULLSCREEN\n"                                          // 20
      "call velora/window togglefullscreen\n"                                          // 21
      "send velora/window 0300000000\n"                                                // 22
      "send velora/window 07\n"                                                        // 23
      "call velora/window isFullscreen\n"                                              // 24
      "call velora/window resizeWindow {\"width\": 1e300, \"height\": 4294967295L}\n"  // 25
      "call velora/window isFullscreen\n"                                              // 26
      "monitor\n"                                                                      // 27
      "close\n",
      // The logical sizes below are client sizes at 100 %.
      {L"VELORA_STANDIN_DPI=96"});
  ASSERT_EQ(run.exit_code, 0);
  const test::MonitorRecord monitor = run.Monitor();
  ASSERT_TRUE(monitor.recorded);
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 6u);
  auto field = [](const std::string& line, const std::string& name) {
    const size_t start = line.find(name + "=") + name.size() + 1;
    return line.substr(start, line.find(' ', start) - start);
  };

  EXPECT_EQ(run.Response(1), kFalse);
  EXPECT_EQ(run.Response(3), kTrue);
  EXPECT_EQ(run.Response(4), kTrue);
  EXPECT_EQ(field(windows[1], "rect"), monitor.RectText());  // the whole monitor
  EXPECT_EQ(run.Response(6), kTrue);
  EXPECT_EQ(field(windows[2], "rect"), field(windows[0], "rect"));
  EXPECT_EQ(field(windows[2], "style"), field(windows[0], "style"));
  EXPECT_EQ(field(windows[2], "exstyle"), field(windows[0], "exstyle"));

  EXPECT_EQ(run.Response(8), kNull);
  EXPECT_EQ(run.Response(9), kNull);
  EXPECT_EQ(run.Response(10), kNull);
  EXPECT_EQ(windows[3].substr(windows[3].find("title=") + 6), HexOfText("Neu \xc3\xa9"));

  EXPECT_EQ(run.Response(12), ErrorEnvelope("invalid_argument", "arguments must be a map"));
  EXPECT_EQ(run.Response(13), ErrorEnvelope("invalid_argument", "arguments must be a map"));
  EXPECT_EQ(run.Response(14), ErrorEnvelope("invalid_argument", "width is required"));
  EXPECT_EQ(run.Response(15), kTrue);
  EXPECT_EQ(field(windows[4], "client"), "800x600");
  EXPECT_EQ(run.Response(17), kTrue);
  EXPECT_EQ(field(windows[5], "client"), "900x600");
  EXPECT_EQ(run.Response(19), kTrue);  // saturated, not undefined

  // Unknown names and undecodable messages: the empty reply.
  EXPECT_EQ(run.Response(20), "");
  EXPECT_EQ(run.Response(21), "");
  EXPECT_EQ(run.Response(22), "");
  EXPECT_EQ(run.Response(23), "");
  EXPECT_NE(run.stderr_text.find("Unable to construct method call from message on channel "
                                 "velora/window\r\n"),
            std::string::npos)
      << run.stderr_text;
  // The host is still answering afterwards.
  EXPECT_EQ(run.Response(24), kFalse);
  // Sizes far beyond the screen are clamped before the frame is added.
  EXPECT_EQ(run.Response(25), kTrue);
  EXPECT_EQ(run.Response(26), kFalse);
}

TEST(WindowChannelTest, MoveSizeLoopEventsAndTheEngineFirst) {
  const ScenarioRun run = RunScenario(
      "call velora/window createVideoHost\n"  // 1
      "offered 0x0005\n"                      // 2
      "sendmsg 0x0231\n"                      // 3
      "sendmsg 0x0232\n"                      // 4
      "sleep 100\n"                           // 5
      "offered 0x0005\n"                      // 6
      "sendmsg 0x001D\n"                      // 7
      "engine\n"                              // 8
      "sendmsg 0x0010\n",                     // 9: claimed close
      {L"VELORA_STANDIN_CLAIM_MESSAGES=0x1D=7,0x10=5"});
  EXPECT_EQ(run.exit_code, 0);

  const std::string enter = "host-send velora/window " + ShortString("windowEvent") + "0d01" +
                            ShortString("type") + ShortString("enterSizeMove");
  const std::string exit = "host-send velora/window " + ShortString("windowEvent") + "0d01" +
                           ShortString("type") + ShortString("exitSizeMove");
  const int enter_at = run.IndexOf(enter);
  const int exit_at = run.IndexOf(exit);
  ASSERT_GE(enter_at, 0);
  ASSERT_GT(exit_at, enter_at);

  // Exactly one WM_SIZE posted at the end of the loop.
  const std::vector<std::string> sizes = run.LinesStartingWith("offered 0x0005 ");
  ASSERT_EQ(sizes.size(), 2u);
  const int before = std::stoi(sizes[0].substr(15));
  const int after = std::stoi(sizes[1].substr(15));
  EXPECT_EQ(after - before, 1);

  // Run log: resize line, redraw, the listing with the host above the view.
  std::vector<std::string> tail;
  bool started = false;
  for (const std::string& line : run.run_log) {
    started = started || line.rfind("flutter_view resize", 0) == 0;
    if (started && tail.size() < 5)
      tail.push_back(line);
  }
  ASSERT_EQ(tail.size(), 5u);
  EXPECT_EQ(tail[0].rfind("flutter_view resize (WM_EXITSIZEMOVE): client=", 0), 0u);
  const std::string sizes_text = tail[0].substr(tail[0].find("client=") + 7);
  const std::string client = sizes_text.substr(0, sizes_text.find(' '));
  EXPECT_EQ(tail[0].substr(tail[0].find("=> ") + 3), "flutter_view_client=" + client);
  EXPECT_EQ(tail[1], "WM_EXITSIZEMOVE: ForceRedraw()");
  EXPECT_EQ(tail[2], "child_windows (WM_EXITSIZEMOVE):");
  EXPECT_EQ(tail[3].rfind("  #0 hwnd=", 0), 0u);
  EXPECT_NE(tail[3].find(" cls=VideoHostWindow vis=1 rect=0,0 1x1 tag=video_host"),
            std::string::npos);
  EXPECT_NE(tail[4].find(" cls=FLUTTERVIEW vis=1 rect=0,0 " + client + " tag=flutter_view"),
            std::string::npos);

  // WM_FONTCHANGE reaches the engine's font reload; the engine's claim is
  // what the window procedure answers.
  EXPECT_NE(run.IndexOf("result 7 7"), -1);
  EXPECT_EQ(run.LinesStartingWith("counts ").at(0), "counts force_redraws=2 font_reloads=1");
  // A claimed WM_CLOSE still reaches the base handler, which closes (the
  // engine, and with it the transcript, ends inside that call).
  const std::vector<std::string> end(run.run_log.end() - 3, run.run_log.end());
  EXPECT_EQ(end,
            (std::vector<std::string>{"WM_CLOSE received", "WM_DESTROY", "message loop exited"}));
}

}  // namespace
}  // namespace velora
