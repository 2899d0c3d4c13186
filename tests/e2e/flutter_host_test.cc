// The Flutter host window through the real executable: the view as the
// client-filling child, the plugin libraries and their channels, the first
// frame, the engine's inputs, and a refused view controller.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"

namespace velora {
namespace {

using test::HexOfText;
using test::RunScenario;
using test::ScenarioRun;

TEST(FlutterHostTest, ViewFillsTheClientAreaAndThePluginLibrariesAnswer) {
  const ScenarioRun run = RunScenario(
      "window\n"                           // 1
      "children\n"                         // 2
      "engine\n"                           // 3
      "call desktop_drop ping\n"           // 4
      "call texture_rgba_renderer ping\n"  // 5
      "close\n");
  ASSERT_EQ(run.exit_code, 0);

  // The only child is the view, filling the client area.
  const std::vector<std::string> children = run.LinesStartingWith("child ");
  ASSERT_EQ(children.size(), 1u);
  const std::string window = run.LinesStartingWith("window ").at(0);
  const std::string client = window.substr(window.find("client=") + 7,
                                           window.find(" title=") - window.find("client=") - 7);
  EXPECT_EQ(children[0], "child 0 class=FLUTTERVIEW visible=1 rect=0,0 " + client);

  // Registrars in registration order: the two libraries, then the GPU plugin.
  const std::vector<std::string> registrars = run.LinesStartingWith("registrar ");
  ASSERT_EQ(registrars.size(), 3u);
  EXPECT_EQ(registrars[0].rfind("registrar DesktopDropPlugin ", 0), 0u);
  EXPECT_EQ(registrars[1].rfind("registrar TextureRgbaRendererPluginCApi ", 0), 0u);
  EXPECT_EQ(registrars[2], "registrar GpuTexturePlugin handler_installs=1");

  // Each plugin answers on its own channel with its name.
  EXPECT_EQ(run.Response(4),
            "0007"
            "11" +
                HexOfText("DesktopDropPlugin"));
  EXPECT_EQ(run.Response(5),
            "0007"
            "1d" +
                HexOfText("TextureRgbaRendererPluginCApi"));

  // One redraw forced at creation; the first frame noted exactly once.
  EXPECT_EQ(run.LinesStartingWith("counts ").at(0), "counts force_redraws=1 font_reloads=0");
  int frames = 0;
  for (const std::string& line : run.run_log) {
    frames += line == "next frame callback";
  }
  EXPECT_EQ(frames, 1);
}

// An engine that calls the registered next-frame callback after every frame:
// the host's own callable still runs once, so the window is shown and the
// line written once.
TEST(FlutterHostTest, TheFirstFrameIsNotedOnceWhenTheEngineRepeatsTheCallback) {
  const ScenarioRun run = RunScenario(
      "repeatframes\n"
      "frame\n"
      "frame\n"
      "frame\n"
      "window\n"
      "close\n");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.LinesStartingWith("frame").size(), 3u);
  EXPECT_NE(run.LinesStartingWith("window ").at(0).find(" visible=1 "), std::string::npos);
  int frames = 0;
  for (const std::string& line : run.run_log) {
    frames += line == "next frame callback";
  }
  EXPECT_EQ(frames, 1);
}

TEST(FlutterHostTest, TheEngineGetsTheBundlePathsAndTheArgumentsUnchanged) {
  const ScenarioRun run = RunScenario("engine\nclose\n", {}, L"alpha \"\" \"with space\"");
  const std::string engine = run.LinesStartingWith("engine ").at(0);
  EXPECT_NE(engine.find("assets=" + HexOfText("data\\flutter_assets") + " "), std::string::npos);
  EXPECT_NE(engine.find("icu=" + HexOfText("data\\icudtl.dat") + " "), std::string::npos);
  EXPECT_NE(engine.find("aot=" + HexOfText("data\\app.so") + " "), std::string::npos);
  EXPECT_NE(engine.find("entrypoint_null=0 entrypoint= "), std::string::npos);
  EXPECT_NE(engine.find("argc=5 argv_null=0 options=0,0 args="), std::string::npos);
  // The last three arguments, after the scenario's own two.
  EXPECT_EQ(
      engine.substr(engine.size() -
                    std::string("," + HexOfText("alpha") + ",," + HexOfText("with space")).size()),
      "," + HexOfText("alpha") + ",," + HexOfText("with space"));
}

TEST(FlutterHostTest, RefusedViewControllerEndsStartUpWithExitCodeOne) {
  const ScenarioRun run = RunScenario("close\n", {L"VELORA_STANDIN_REFUSE_VIEW_CONTROLLER=1"});
  EXPECT_EQ(run.exit_code, 1);
  // Standard error is a text stream: the line ends in CR LF.
  EXPECT_NE(run.stderr_text.find("Failed to create view controller.\r\n"), std::string::npos)
      << run.stderr_text;
  // No message loop; tearing the window object down destroys the window
  // that was made before the hook failed.
  const std::vector<std::string> expected = {"window.Create failed", "WM_DESTROY"};
  EXPECT_EQ(run.run_log, expected);
  // The engine never ran, so the app side never started.
  EXPECT_TRUE(run.transcript.empty());
}

}  // namespace
}  // namespace velora
