// What a media player expects of its window, through the real executable:
// one window when the Dart side asks for it (later launches hand over their
// arguments), a system that stays awake, media keys, and always on top.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"
#include "tests/e2e/scenario_harness.h"
#include "tests/support/platform_probe.h"
#include "window_channel/window_events.h"

namespace velora {
namespace {

using test::Gate;
using test::HexOfText;
using test::RunScenario;
using test::ScenarioProcess;
using test::ScenarioRun;

constexpr char kTrue[] = "0001";
constexpr char kFalse[] = "0002";
// {"type": "secondInstance", ...} and the rest: "windowEvent" as the host sends it.
std::string EventLine(flutter::EncodableValueMap event) {
  flutter::MethodCall<flutter::EncodableValue> call(
      kWindowEventMethod, std::make_unique<flutter::EncodableValue>(std::move(event)));
  const std::unique_ptr<std::vector<uint8_t>> bytes =
      flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
  return "host-send velora/window " + HexOfText(std::string(bytes->begin(), bytes->end()));
}

std::vector<std::string> Concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::string Utf8(const std::wstring& wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<size_t>(size - 1) : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// A folder with a non-ASCII name for a launch to start in.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"velora Caf\u00e9 " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() { RemoveDirectoryW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A launch that was handed over: exit code 0, no engine (so no window), and
// only the hand-over line in the run log.
void ExpectHandedOver(const ScenarioRun& run, unsigned long server) {
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(run.transcript.empty()) << run.transcript.front();
  EXPECT_EQ(run.run_log, std::vector<std::string>{"second launch: handed to the running host pid=" +
                                                  std::to_string(server)});
}

// A launch that ran a host of its own, to its normal end.
void ExpectOwnHost(const ScenarioRun& run) {
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.IndexOf("engine-running"), -1);
  EXPECT_NE(run.IndexOf("engine-ended"), -1);
  EXPECT_NE(std::find(run.run_log.begin(), run.run_log.end(), "entering message loop"),
            run.run_log.end());
}

TEST(SingleInstanceE2eTest, AnEnabledHostTakesLaterLaunchesAndADisabledOneDoesNot) {
  Gate handed("handed");
  Gate disabled("disabled");
  ScenarioProcess first(
      "call velora/window setSingleInstance {\"enabled\": true}\n"  // 1
      "call velora/window setSingleInstance {\"enabled\": true}\n"  // 2: already serving
      "post 0x0112 0xF020\n"                                        // 3: minimise
      "sleep 100\n"                                                 // 4
      "window\n"                                                    // 5
      + handed.Step() +
      "\n"                                                           // 6
      "window\n"                                                     // 7
      "call velora/window setSingleInstance {\"enabled\": false}\n"  // 8
      + disabled.Step() +
      "\n"  // 9
      "close\n");
  ASSERT_TRUE(first.WaitForLine("window "));

  // Two launches at once, one with arguments a file manager would pass,
  // started in a folder with a non-ASCII name.
  TempFolder folder;
  const std::wstring film = L"C:\\Vid\u00e9os\\Caf\u00e9 \u2014 Film.mkv";
  ScenarioProcess second("close\n", {}, L"\"" + film + L"\" \"\" --start=12", folder.path());
  ScenarioProcess third("close\n", {}, L"--third");
  const std::vector<std::string> second_arguments =
      Concat(second.HarnessArguments(),
             {"C:\\Vid\xC3\xA9os\\Caf\xC3\xA9 \xE2\x80\x94 Film.mkv", "", "--start=12"});
  const std::vector<std::string> third_arguments = Concat(third.HarnessArguments(), {"--third"});
  const ScenarioRun second_run = second.Finish();
  const ScenarioRun third_run = third.Finish();
  ExpectHandedOver(second_run, first.pid());
  ExpectHandedOver(third_run, first.pid());
  const std::string second_event =
      EventLine(SecondInstanceEvent({second_arguments, Utf8(folder.path())}));
  const std::string third_event =
      EventLine(SecondInstanceEvent({third_arguments, Utf8(tools::BinaryDir())}));
  EXPECT_TRUE(first.WaitForLine(second_event, 10000));
  EXPECT_TRUE(first.WaitForLine(third_event, 10000));
  handed.Open();

  // Disabled again: a launch runs a host of its own beside the first.
  ASSERT_TRUE(first.WaitForLine("response 8 "));
  ExpectOwnHost(ScenarioProcess("close\n", {}, L"--fourth").Finish());
  disabled.Open();

  const ScenarioRun run = first.Finish();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.Response(1), kTrue);
  EXPECT_EQ(run.Response(2), kTrue);
  EXPECT_EQ(run.Response(8), kTrue);
  // Exactly the two events (the only maps of three entries), each once.
  EXPECT_EQ(std::count(run.transcript.begin(), run.transcript.end(), second_event), 1);
  EXPECT_EQ(std::count(run.transcript.begin(), run.transcript.end(), third_event), 1);
  EXPECT_EQ(run.LinesStartingWith("host-send velora/window 070b77696e646f774576656e740d03").size(),
            2u);
  // Minimised before the launches, restored by them.
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 2u);
  auto style = [](const std::string& line) {
    const size_t at = line.find(" style=") + 7;
    return std::stoul(line.substr(at, line.find(' ', at) - at), nullptr, 16);
  };
  EXPECT_NE(style(windows[0]) & WS_MINIMIZE, 0u) << windows[0];
  EXPECT_EQ(style(windows[1]) & WS_MINIMIZE, 0u) << windows[1];
  EXPECT_NE(style(windows[1]) & WS_VISIBLE, 0u) << windows[1];
}

TEST(SingleInstanceE2eTest, AKilledServingHostLeavesNothingThatStopsTheNextLaunch) {
  Gate enable("enable");
  ScenarioProcess first(enable.Step() +
                        "\n"
                        "call velora/window setSingleInstance {\"enabled\": true}\n"  // 2
                        "sleep 60000\n");
  // Not enabled yet (the default): a launch runs its own host.
  ASSERT_TRUE(first.WaitForLine("step 1 gate"));
  ExpectOwnHost(ScenarioProcess("close\n").Finish());
  enable.Open();
  ASSERT_TRUE(first.WaitForLine("response 2 " + std::string(kTrue)));
  first.Kill();
  EXPECT_EQ(first.Finish().exit_code, 1);

  // The next launch starts normally and can serve in its turn.
  const ScenarioRun next = RunScenario(
      "call velora/window setSingleInstance {\"enabled\": true}\n"
      "close\n");
  ExpectOwnHost(next);
  EXPECT_EQ(next.Response(1), kTrue);
}

TEST(SingleInstanceE2eTest, TwoLaunchesRacingEndWithOneWindowAndTheOthersArguments) {
  Gate done("done");
  const std::string scenario =
      "call velora/window setSingleInstance {\"enabled\": true}\n" + done.Step() + "\nclose\n";
  ScenarioProcess a(scenario, {}, L"--racer-a");
  ScenarioProcess b(scenario, {}, L"--racer-b");
  ASSERT_TRUE(a.WaitForLine("response 1 "));
  ASSERT_TRUE(b.WaitForLine("response 1 "));
  const std::vector<std::string> a_arguments = Concat(a.HarnessArguments(), {"--racer-a"});
  const std::vector<std::string> b_arguments = Concat(b.HarnessArguments(), {"--racer-b"});
  const std::string a_event =
      EventLine(SecondInstanceEvent({a_arguments, Utf8(tools::BinaryDir())}));
  const std::string b_event =
      EventLine(SecondInstanceEvent({b_arguments, Utf8(tools::BinaryDir())}));
  // Whichever lost hands its arguments to the winner and closes by itself.
  const bool a_serves = a.WaitForLine("response 1 " + std::string(kTrue), 0);
  const bool b_serves = b.WaitForLine("response 1 " + std::string(kTrue), 0);
  EXPECT_TRUE(a_serves || b_serves) << "never none";
  EXPECT_NE(a_serves, b_serves) << "two windows: the later one did not hand over";
  if (a_serves && !b_serves) {
    EXPECT_TRUE(a.WaitForLine(b_event, 10000));
  }
  if (b_serves && !a_serves) {
    EXPECT_TRUE(b.WaitForLine(a_event, 10000));
  }
  done.Open();
  const ScenarioRun a_run = a.Finish();
  const ScenarioRun b_run = b.Finish();
  EXPECT_EQ(a_run.exit_code, 0);
  EXPECT_EQ(b_run.exit_code, 0);
  const ScenarioRun& loser = a_serves ? b_run : a_run;
  if (a_serves != b_serves) {
    EXPECT_EQ(loser.Response(1), kFalse);
    // It closed without waiting at its gate.
    EXPECT_EQ(loser.LinesStartingWith("gate-open").size(), 0u);
    EXPECT_NE(std::find(loser.run_log.begin(), loser.run_log.end(),
                        "setSingleInstance: handed to the running host, closing"),
              loser.run_log.end());
  }
}

// Keep-awake, media keys and always-on-top in one run: steps 1 to 9, 10 to
// 18 and 19 to 37 of the scenario.
TEST(PlayerWindowE2eTest, KeepAwakeMediaKeysAndAlwaysOnTop) {
  const ScenarioRun run = RunScenario(
      "call velora/window setKeepAwake {\"enabled\": true}\n"                      // 1
      "execstate\n"                                                                // 2
      "call velora/window setKeepAwake {\"enabled\": true, \"display\": false}\n"  // 3
      "execstate\n"                                                                // 4
      "call velora/window setKeepAwake {\"enabled\": false}\n"                     // 5
      "execstate\n"                                                                // 6
      "call velora/window setKeepAwake {\"enabled\": true, \"display\": 1}\n"      // 7
      "call velora/window setKeepAwake {\"display\": false}\n"                     // 8
      "execstate\n"                                                                // 9
      "sendmsg 0x0319 0 0x000E0000\n"               // 10 play/pause, keyboard
      "sendmsg 0x0319 0 0x802E0000\n"               // 11 play, mouse
      "sendmsg 0x0319 0 0x102F0000\n"               // 12 pause, OEM
      "sendmsg 0x0319 0 0x000D0000\n"               // 13 stop
      "sendmsg 0x0319 0 0x000B0000\n"               // 14 next track
      "childmsg FLUTTERVIEW 0x0319 0 0x000C0000\n"  // 15 previous track, through the view
      "sendmsg 0x0319 0 0x000A0000\n"               // 16 volume up
      "sendmsg 0x0319 0 0x00010000\n"               // 17 browser back
      "childmsg FLUTTERVIEW 0x0319 0 0x00080000\n"  // 18 volume mute, through the view
      "zorder\n"                                    // 19
      "window\n"                                    // 20
      "call velora/window setAlwaysOnTop {\"enabled\": true}\n"       // 21
      "window\n"                                                      // 22
      "zorder\n"                                                      // 23
      "call velora/window toggleFullscreen\n"                         // 24
      "zorder\n"                                                      // 25
      "call velora/window toggleFullscreen\n"                         // 26
      "window\n"                                                      // 27
      "zorder\n"                                                      // 28
      "call velora/window setAlwaysOnTop {\"enabled\": false}\n"      // 29
      "window\n"                                                      // 30
      "zorder\n"                                                      // 31
      "call velora/window toggleFullscreen\n"                         // 32
      "call velora/window setAlwaysOnTop {\"enabled\": true}\n"       // 33
      "call velora/window toggleFullscreen\n"                         // 34
      "zorder\n"                                                      // 35
      "call velora/window setAlwaysOnTop {\"enabled\": \"false\"}\n"  // 36
      "zorder\n"                                                      // 37
      "close\n");
  ASSERT_EQ(run.exit_code, 0);
  const std::string invalid_enabled = "01" + std::string("0710") + HexOfText("invalid_argument") +
                                      "0716" + HexOfText("enabled must be a bool") + "00";

  // Keep-awake: the state the platform reports for the platform thread.
  for (int line : {1, 3, 5, 7}) {
    EXPECT_EQ(run.Response(line), kTrue) << line;
  }
  EXPECT_EQ(run.Response(8), invalid_enabled);
  const std::vector<std::string> states = run.LinesStartingWith("execstate ");
  ASSERT_EQ(states.size(), 4u);
  auto thread = [](const std::string& line) { return line.substr(line.find("thread="), 17); };
  EXPECT_EQ(thread(states[0]), "thread=0x80000003");  // continuous, system and display
  EXPECT_EQ(thread(states[1]), "thread=0x80000001");  // the system only
  EXPECT_EQ(thread(states[2]), "thread=0x80000000");  // given back
  EXPECT_EQ(thread(states[3]), "thread=0x80000003");  // a wrong "display" is absent: on
  // The window's end gives it back too.
  const std::vector<std::string> end = run.LinesStartingWith("execstate-at-end ");
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(thread(end[0]), "thread=0x80000000");
  if (test::PlatformJoinsExecutionStates()) {
    // The system's own state joins what its threads ask for.
    const std::string system = states[0].substr(states[0].find("system=") + 7);
    ASSERT_NE(system, "none");
    EXPECT_EQ(std::stoul(system, nullptr, 16) & 0x3u, 0x3u) << states[0];
  }

  // Media keys: handled (TRUE) and sent as events; through the view, the
  // view's default handling passes the command up and answers for itself.
  for (int line = 10; line <= 14; ++line) {
    EXPECT_NE(run.IndexOf("result " + std::to_string(line) + " 1"), -1) << line;
  }
  std::vector<std::string> keys;
  for (const char* key : {"playPause", "play", "pause", "stop", "nextTrack", "previousTrack"}) {
    keys.push_back(EventLine(MediaKeyEvent(key)));
  }
  EXPECT_EQ(run.LinesStartingWith("host-send velora/window "), keys);
  // The commands left to the system are not taken: the default handling
  // answers, never the host's TRUE.
  EXPECT_EQ(run.IndexOf("result 16 1"), -1);
  EXPECT_EQ(run.IndexOf("result 17 1"), -1);
  EXPECT_EQ(run.LinesStartingWith("result 16 ").size(), 1u);
  EXPECT_EQ(run.LinesStartingWith("result 17 ").size(), 1u);

  // Always on top: the extended style and the z-order against a window of
  // the app's own, which activated as it appeared and stays in front: the
  // host is never activated.
  for (int line : {21, 24, 26, 29, 32, 33, 34}) {
    EXPECT_EQ(run.Response(line), kTrue) << line;
  }
  EXPECT_EQ(run.Response(36), invalid_enabled);
  const std::vector<std::string> orders = run.LinesStartingWith("zorder ");
  ASSERT_EQ(orders.size(), 7u);
  EXPECT_EQ(orders[0].substr(0, 30), "zorder topmost=0 above-probe=0");
  EXPECT_EQ(orders[1], "zorder topmost=1 above-probe=1 foreground=probe");
  EXPECT_EQ(orders[2], "zorder topmost=1 above-probe=1 foreground=probe");  // full screen
  EXPECT_EQ(orders[3], "zorder topmost=1 above-probe=1 foreground=probe");  // and back
  EXPECT_EQ(orders[4], "zorder topmost=0 above-probe=0 foreground=probe");
  EXPECT_EQ(orders[5], "zorder topmost=1 above-probe=1 foreground=probe");  // set in full screen
  EXPECT_EQ(orders[6], "zorder topmost=1 above-probe=1 foreground=probe");  // bad call: kept
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 4u);
  auto field = [](const std::string& line, const std::string& name) {
    const size_t start = line.find(" " + name + "=") + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
  };
  auto topmost = [&](const std::string& line) {
    return (std::stoul(field(line, "exstyle"), nullptr, 16) & WS_EX_TOPMOST) != 0;
  };
  // Neither moved nor sized by the setting, in or out of full screen.
  for (const std::string& line : windows) {
    EXPECT_EQ(field(line, "rect"), field(windows[0], "rect")) << line;
    EXPECT_EQ(field(line, "style"), field(windows[0], "style")) << line;
  }
  EXPECT_FALSE(topmost(windows[0]));
  EXPECT_TRUE(topmost(windows[1]));
  EXPECT_TRUE(topmost(windows[2]));
  EXPECT_FALSE(topmost(windows[3]));
}

}  // namespace
}  // namespace velora
