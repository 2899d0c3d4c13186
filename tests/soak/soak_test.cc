// The soak: many thousands of mixed calls on both channels through the real
// executable under Wine, from a generator that also knows every answer and
// every line the host must write. Checks that each call gets exactly the
// expected answer once, that the run log, the GPU plugin log and standard
// error grow only by the lines the calls call for, and that working set,
// private bytes, kernel handles, GDI and USER objects and windows are as many
// at the end as after the warm-up, within the tolerances below.
//
// The number of calls is VELORA_SOAK_CALLS (default kDefaultCalls); the
// figures of a run are printed and recorded as test properties. With
// VELORA_SOAK_SCENARIO=PATH the generated scenario is also written there, to
// be run again by hand.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"
#include "tests/hostile/hostile_table.h"
#include "tests/support/platform_probe.h"
#include "tests/support/win_test_support.h"
#include "tools/host_process.h"

namespace velora::test {
namespace {

constexpr int kDefaultCalls = 100000;

// Growth allowed from the sample after the warm-up to the half-way one and
// to the last one. Private bytes (committed private memory: the heaps the
// host and the stand-in allocate from): the host keeps nothing per call; a
// leak of 100 bytes per call would be 10 MB at 100k calls. The working set
// also holds Wine's and Mesa's memory outside those heaps, which grows by
// some 50-90 KB with each Direct3D device Wine makes and drops. Handles and
// GDI objects: Wine makes a few on first use of rarer paths (full screen, a
// Direct3D device); a leak of one per thousand calls would be 100.
constexpr long long kPrivateToleranceBytes = 2ll << 20;
constexpr long long kWorkingSetToleranceBytes = 8ll << 20;
constexpr long kHandleTolerance = 8;
constexpr long kGdiTolerance = 8;
constexpr long kUserTolerance = 0;
constexpr long kWindowTolerance = 0;

// ---- expected bytes, spelled out here rather than taken from the codec ----

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

std::string Size(size_t n) {
  if (n < 254) return std::string(1, static_cast<char>(n));
  std::string out(1, '\xfe');
  out.push_back(static_cast<char>(n & 0xff));
  out.push_back(static_cast<char>(n >> 8));
  return out;  // the answers here are all short
}

std::string Str(const std::string& text) {
  return "\x07" + Size(text.size()) + text;
}

std::string Int64(int64_t value) {
  std::string out("\x04");
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xff));
  return out;
}

const std::string kTrue = "0001";
const std::string kFalse = "0002";
const std::string kNull = "0000";
const std::string kEmpty = "";

std::string Error(const std::string& code, const std::string& message) {
  return Hex("\x01" + Str(code) + Str(message) + std::string(1, '\0'));
}

std::string CreateAnswer(const std::string& handle, int64_t id) {
  return Hex(std::string("\x00\x0d\x02", 3) + Str("sharedHandle") + Str(handle) + Str("textureId") +
             Int64(id));
}

std::string UpdateAnswer(const std::string& handle) {
  return Hex(std::string("\x00\x0d\x01", 3) + Str("sharedHandle") + Str(handle));
}

std::string WindowEvent(const std::string& type) {
  return Hex(Str("windowEvent") + "\x0d\x01" + Str("type") + Str(type));
}

// ---- the generator and its model of the host ----

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  int32_t Between(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(Next() % static_cast<uint64_t>(int64_t{hi} - lo + 1));
  }
  bool OneIn(uint32_t n) { return Below(n) == 0; }

 private:
  uint64_t state_;
};

struct IntArg {
  std::string text;  // empty: the key is left out
  std::optional<int32_t> value;  // what the host reads, if anything
};

int32_t Low32(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

struct Texture {
  std::string handle;
  int32_t width = 0;
  int32_t height = 0;
};

struct NativeMode {
  bool active = false;
  int32_t top = 0;
  int32_t bar = 0;
  int32_t right = 0;
  bool operator==(const NativeMode& o) const {
    return active == o.active && top == o.top && bar == o.bar && right == o.right;
  }
};

class SoakScript {
 public:
  struct Call {
    int line = 0;
    std::string answer;  // hex; '.' matches any digit
    int same_as_line = 0;  // a video host handle equal to that call's answer
  };

  SoakScript(std::vector<HostileRow> hostile, uint64_t seed)
      : hostile_(std::move(hostile)), rng_(seed) {}

  void Generate(int calls) {
    const int warm = calls < 40000 ? calls / 10 : 4000;
    // Full-screen changes and Direct3D devices cost Wine a good part of a
    // second each, so they come a fixed number of times, spread out.
    constexpr int kFullScreenTrips = 6;
    constexpr int kOwnTextures = 12;
    int trips = 0;
    int own = 0;
    int op = 0;
    Sample();  // at the start, for the record
    while (static_cast<int>(calls_.size()) < calls) {
      const int done = static_cast<int>(calls_.size());
      if (done >= warm && resource_lines_.size() == 1) Sample();
      if (done >= calls / 2 && resource_lines_.size() == 2) Sample();
      if (done >= static_cast<int64_t>(calls) * trips / kFullScreenTrips) {
        ++trips;
        FullScreenThereAndBack();
      } else if (done >= static_cast<int64_t>(calls) * own / kOwnTextures) {
        ++own;
        OwnTexture();
      } else if (op < 2 * kOpKinds) {
        // The first rounds go through every kind in turn, so that everything
        // has run before the first sample.
        RunOp(op % kOpKinds);
      } else {
        RunOp(PickByWeight(rng_.Below(WeightTotal())));
      }
      ++op;
    }
    Sample();
    Step("close");
  }

  void WriteScenario(const std::string& path) const {
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
      std::fwrite(scenario_.data(), 1, scenario_.size(), out);
      std::fclose(out);
    }
  }

  const std::string& scenario() const { return scenario_; }
  const std::vector<Call>& calls() const { return calls_; }
  const std::vector<std::string>& run_log() const { return run_log_; }
  const std::vector<std::string>& gpu_log() const { return gpu_log_; }
  const std::vector<std::string>& stderr_lines() const { return stderr_; }
  const std::vector<int>& resource_lines() const { return resource_lines_; }
  const std::multiset<std::string>& host_sends() const { return host_sends_; }
  std::map<std::string, int> mix() const { return mix_; }

 private:
  static constexpr int kOpKinds = 22;
  // Relative frequency of each kind of operation, in the order of RunOp.
  static constexpr int kWeights[kOpKinds] = {
      60,   // 0 isFullscreen
      0,    // 1 full screen there and back (scheduled in Generate)
      40,   // 2 createVideoHost
      25,   // 3 destroyVideoHost
      90,   // 4 setVideoHostBounds
      70,   // 5 setNativeVideoMode
      50,   // 6 setVideoHostVisible
      40,   // 7 setTitle
      15,   // 8 resizeWindow
      20,   // 9 unknown window method
      3,    // 10 a move/size loop's start and end
      2,    // 11 the same with sends refused
      90,   // 12 create with a caller handle
      0,    // 13 create of an own texture (scheduled in Generate)
      150,  // 14 update
      40,   // 15 update with bad arguments or unknown ids
      80,   // 16 dispose
      20,   // 17 dispose with bad arguments or unknown ids
      10,   // 18 frames through the export
      3,    // 19 registration refused (0 or a negative id)
      20,   // 20 unknown GPU method
      170,  // 21 a stateless row of the hostile table
  };
  static uint32_t WeightTotal() {
    uint32_t total = 0;
    for (int weight : kWeights) total += static_cast<uint32_t>(weight);
    return total;
  }

  int Step(const std::string& text) {
    scenario_ += text + "\n";
    return ++line_;
  }
  void Expect(const std::string& text, const std::string& answer, const char* kind) {
    calls_.push_back(Call{Step(text), answer, 0});
    ++mix_[kind];
  }
  void Window(const std::string& method, const std::string& args, const std::string& answer,
              const char* kind) {
    Expect("call velora/window " + method + (args.empty() ? "" : " " + args), answer, kind);
  }
  void Gpu(const std::string& method, const std::string& args, const std::string& answer,
           const char* kind) {
    Expect("call velora/gpu_texture " + method + (args.empty() ? "" : " " + args), answer, kind);
  }

  void Sample() {
    DestroyHost();
    resource_lines_.push_back(Step("resources"));
  }

  void DestroyHost() {
    Window("destroyVideoHost", "", kTrue, "destroyVideoHost");
    host_line_ = 0;
  }

  static int PickByWeight(uint32_t pick) {
    int kind = 0;
    for (uint32_t left = pick; kind < kOpKinds - 1 && left >= static_cast<uint32_t>(kWeights[kind]);
         ++kind) {
      left -= static_cast<uint32_t>(kWeights[kind]);
    }
    return kind;
  }

  void RunOp(int kind) {
    switch (kind) {
      case 0: IsFullscreen(); break;
      case 1: FullScreenThereAndBack(); break;
      case 2: CreateHost(); break;
      case 3: DestroyHost(); break;
      case 4: Window("setVideoHostBounds", BoundsArgs(), kTrue, "setVideoHostBounds"); break;
      case 5: NativeVideoMode(); break;
      case 6: Window("setVideoHostVisible", VisibleArgs(), kTrue, "setVideoHostVisible"); break;
      case 7: Window("setTitle", TitleArgs(), kNull, "setTitle"); break;
      case 8: Resize(); break;
      case 9: Window(UnknownMethod(), rng_.OneIn(2) ? "{\"x\": 1}" : "", kEmpty, "unknown window method"); break;
      case 10: SizeMoveLoop(false); break;
      case 11: SizeMoveLoop(true); break;
      case 12: CreateWithCallerHandle(); break;
      case 13: OwnTexture(); break;
      case 14: Update(); break;
      case 15: BadUpdate(); break;
      case 16: Dispose(); break;
      case 17: BadDispose(); break;
      case 18: Frames(); break;
      case 19: OddRegistration(); break;
      case 20: Gpu(UnknownMethod(), "", kEmpty, "unknown GPU method"); break;
      default: HostileRowOp(); break;
    }
  }

  // Where the platform cannot share a Direct3D 11 texture (Wine), these fail
  // after making a device and a texture, which must be released again. Where
  // it can, the texture is disposed again at once, as its handle is known
  // only to the host.
  void OwnTexture() {
    const bool sized = rng_.OneIn(2);
    const std::string args = sized ? "{\"width\": 64, \"height\": 32}" : "";
    if (!own_textures_share_) {
      Gpu("create", args, kOwnTextureRefused, "create own");
      gpu_log_.push_back("HandleCreate begin");
      return;
    }
    const int64_t id = next_id_++;
    Gpu("create", args, OwnTextureCreatedAnswer(id), "create own");
    const std::vector<std::string> log = OwnTextureCreatedLog(id, sized ? 64 : 1920, sized ? 32 : 1080);
    gpu_log_.insert(gpu_log_.end(), log.begin(), log.end());
    Gpu("dispose", "{\"textureId\": " + IdText(id, false) + "}", kTrue, "dispose");
  }

  void IsFullscreen() {
    static const char* kArgs[] = {"", "7", "{\"a\": [1, 2]}", "\"x\""};
    Window("isFullscreen", kArgs[rng_.Below(4)], kFalse, "isFullscreen");
  }

  void FullScreenThereAndBack() {
    Window("toggleFullscreen", "", kTrue, "toggleFullscreen");
    run_log_.push_back("Entered fullscreen");
    Window("isFullscreen", "", kTrue, "isFullscreen");
    Window("toggleFullscreen", "[1]", kTrue, "toggleFullscreen");
    run_log_.push_back("Exited fullscreen");
  }

  void CreateHost() {
    const int line = line_ + 1;
    if (host_line_ != 0) {
      calls_.push_back(Call{Step("call velora/window createVideoHost"), "0004" + std::string(16, '.'),
                            host_line_});
      ++mix_["createVideoHost"];
    } else {
      Window("createVideoHost", rng_.OneIn(3) ? "null" : "", "0004" + std::string(16, '.'),
             "createVideoHost");
      host_line_ = line;
    }
  }

  IntArg RandomInt(int32_t lo, int32_t hi) {
    switch (rng_.Below(12)) {
      case 0: return IntArg{};
      case 1: {
        const int64_t value = static_cast<int64_t>(rng_.Next());
        return IntArg{std::to_string(value) + "L", Low32(value)};
      }
      case 2: return IntArg{"1.5", std::nullopt};
      case 3: return IntArg{"\"7\"", std::nullopt};
      case 4: return IntArg{"null", std::nullopt};
      case 5: return IntArg{"[3]", std::nullopt};
      default: {
        const int32_t value = rng_.Between(lo, hi);
        return IntArg{std::to_string(value), value};
      }
    }
  }

  static void AddEntry(std::string& map, const char* key, const std::string& text) {
    if (text.empty()) return;
    map += std::string(map.size() > 1 ? ", " : "") + "\"" + key + "\": " + text;
  }

  std::string BoundsArgs() {
    if (rng_.OneIn(10)) return rng_.OneIn(2) ? "" : "[1, 2, 3, 4]";
    std::string map = "{";
    AddEntry(map, "x", RandomInt(-200, 2000).text);
    AddEntry(map, "y", RandomInt(-200, 1200).text);
    AddEntry(map, "w", RandomInt(-10, 2500).text);
    AddEntry(map, "h", RandomInt(-10, 1500).text);
    return map + "}";
  }

  std::string VisibleArgs() {
    static const char* kArgs[] = {"", "{\"visible\": true}", "{\"visible\": false}",
                                  "{\"visible\": 0}", "{\"visible\": \"no\"}", "[false]"};
    return kArgs[rng_.Below(6)];
  }

  std::string TitleArgs() {
    static const char* kArgs[] = {"", "{\"title\": \"Velora\"}", "{\"title\": \"\"}",
                                  "{\"title\": \"caf\\xc3\\xa9 \\xe2\\x96\\xb6\"}",
                                  "{\"title\": \"\\xff\\xfe bad\"}", "{\"title\": 42}",
                                  "{\"title\": \"a\\x00b\"}", "\"title\""};
    const uint32_t pick = rng_.Below(9);
    if (pick < 8) return kArgs[pick];
    return "{\"title\": \"" + std::string(300 + rng_.Below(700), 'v') + "\"}";
  }

  void NativeVideoMode() {
    NativeMode next = mode_;
    std::string args;
    if (rng_.OneIn(12)) {
      args = rng_.OneIn(2) ? "" : "[true, 40]";
      next.active = false;
      next.top = 0;
      next.bar = 0;
    } else {
      static const char* kActive[] = {"true", "false", "", "1", "\"true\"", "null", "true"};
      const char* active = kActive[rng_.Below(7)];
      const bool extreme = rng_.OneIn(20);
      const IntArg top = extreme ? IntArg{"2147483647", 2147483647} : RandomInt(-20, 300);
      const IntArg bar = extreme ? IntArg{"-2147483648", INT32_MIN} : RandomInt(-20, 300);
      const IntArg right = RandomInt(-20, 800);
      args = "{";
      AddEntry(args, "active", active);
      AddEntry(args, "topHeightPx", top.text);
      AddEntry(args, "barHeightPx", bar.text);
      AddEntry(args, "rightPaddingPx", right.text);
      args += "}";
      next.active = std::string(active) == "true";
      next.top = top.value.value_or(0);
      next.bar = bar.value.value_or(0);
      if (right.value) next.right = *right.value;
    }
    Window("setNativeVideoMode", args, kTrue, "setNativeVideoMode");
    if (!(next == mode_)) {
      char line[256];
      std::snprintf(line, sizeof line,
                    "setNativeVideoMode: active %d->%d top %d->%d bar %d->%d right %d->%d",
                    mode_.active ? 1 : 0, next.active ? 1 : 0, mode_.top, next.top, mode_.bar,
                    next.bar, mode_.right, next.right);
      run_log_.push_back(line);
    }
    mode_ = next;
  }

  void Resize() {
    switch (rng_.Below(8)) {
      case 0:
        Window("resizeWindow", rng_.OneIn(2) ? "" : "[800, 600]",
               Error("invalid_argument", "arguments must be a map"), "resizeWindow");
        break;
      case 1:
        Window("resizeWindow", rng_.OneIn(2) ? "{\"height\": 500}" : "{\"width\": \"800\"}",
               Error("invalid_argument", "width is required"), "resizeWindow");
        break;
      case 2:
        Window("resizeWindow", "{\"width\": " + std::to_string(rng_.Between(640, 1400)) + "}", kTrue,
               "resizeWindow");
        break;
      default:
        Window("resizeWindow",
               "{\"width\": " + std::to_string(rng_.Between(640, 1400)) +
                   (rng_.OneIn(3) ? ".75" : "") +
                   ", \"height\": " + std::to_string(rng_.Between(400, 1000)) +
                   (rng_.OneIn(4) ? "L" : "") + "}",
               kTrue, "resizeWindow");
        break;
    }
  }

  std::string UnknownMethod() {
    static const char* kNames[] = {"ToggleFullscreen", "isfullscreen", "create_video_host",
                                   "setTitle ", "", "x", "createGpuTexture2", "Update", "DISPOSE",
                                   "windowEvent"};
    const std::string name = kNames[rng_.Below(10)];
    return name.empty() || name.back() == ' ' ? "zz" + std::to_string(rng_.Below(1000)) : name;
  }

  // The move/size loop the user drags: "windowEvent" at its start and end,
  // then the end-of-loop lines of the run log.
  void SizeMoveLoop(bool refused) {
    if (refused) Step("refusesends 1");
    Step("post 0x231");
    Step("post 0x232");
    // A timer comes only once the posted messages are handled, so the
    // steps after this see the loop ended.
    Step("sleep 1");
    if (refused) {
      Step("refusesends 0");
    } else {
      host_sends_.insert("host-send velora/window " + WindowEvent("enterSizeMove"));
      host_sends_.insert("host-send velora/window " + WindowEvent("exitSizeMove"));
    }
    ++mix_[refused ? "move/size loop, sends refused" : "move/size loop"];
    run_log_.push_back(
        "~flutter_view resize \\(WM_EXITSIZEMOVE\\): client=(\\d+)x(\\d+) => "
        "flutter_view_client=\\1x\\2");
    run_log_.push_back("WM_EXITSIZEMOVE: ForceRedraw()");
    run_log_.push_back("child_windows (WM_EXITSIZEMOVE):");
    int index = 0;
    if (host_line_ != 0) {
      run_log_.push_back("~  #" + std::to_string(index++) +
                         " hwnd=[0-9A-F]{16} cls=VideoHostWindow vis=[01] rect=-?\\d+,-?\\d+ "
                         "-?\\d+x-?\\d+ tag=video_host");
    }
    run_log_.push_back("~  #" + std::to_string(index) +
                       " hwnd=[0-9A-F]{16} cls=FLUTTERVIEW vis=1 rect=0,0 \\d+x\\d+ tag=flutter_view");
  }

  // A handle as the caller sends it, and its decimal text.
  std::pair<std::string, std::string> RandomHandle() {
    switch (rng_.Below(5)) {
      case 0: {
        const int32_t value = static_cast<int32_t>(rng_.Next());
        return {std::to_string(value), std::to_string(static_cast<uint64_t>(int64_t{value}))};
      }
      case 1: {
        const int64_t value = static_cast<int64_t>(rng_.Next());
        return {std::to_string(value) + "L", std::to_string(static_cast<uint64_t>(value))};
      }
      case 2: {
        const uint64_t value = rng_.Next();
        return {"\" " + std::to_string(value) + "x\"", std::to_string(value)};
      }
      default: {
        const uint64_t value = 1 + rng_.Below(1000000);
        return {"\"" + std::to_string(value) + "\"", std::to_string(value)};
      }
    }
  }

  void CreateWithCallerHandle() {
    if (textures_.size() >= 24) {
      Dispose();
      return;
    }
    const auto [handle_text, handle] = RandomHandle();
    Texture texture{handle, 1920, 1080};
    std::string args = "{";
    AddEntry(args, "sharedHandle", handle_text);
    const IntArg width = RandomInt(1, 4096);
    const IntArg height = RandomInt(1, 4096);
    AddEntry(args, "width", width.text);
    AddEntry(args, "height", height.text);
    args += "}";
    // Only the int32 alternative counts for the size.
    if (width.value && width.text.back() != 'L') texture.width = *width.value;
    if (height.value && height.text.back() != 'L') texture.height = *height.value;
    const int64_t id = next_id_++;
    Gpu(rng_.OneIn(2) ? "create" : "createGpuTexture", args, CreateAnswer(handle, id), "create");
    LogDone("HandleCreate", id, texture);
    textures_[id] = texture;
  }

  void LogDone(const char* handler, int64_t id, const Texture& texture) {
    gpu_log_.push_back(std::string(handler) + " begin");
    char line[160];
    std::snprintf(line, sizeof line, "%s done textureId=%lld handle=%s w=%d h=%d", handler,
                  static_cast<long long>(id), texture.handle.c_str(), texture.width,
                  texture.height);
    gpu_log_.push_back(line);
  }

  std::optional<int64_t> LiveId() {
    if (textures_.empty()) return std::nullopt;
    auto it = textures_.begin();
    std::advance(it, rng_.Below(static_cast<uint32_t>(textures_.size())));
    return it->first;
  }

  static std::string IdText(int64_t id, bool wide) {
    return std::to_string(id) + (wide ? "L" : "");
  }

  void Update() {
    const std::optional<int64_t> id = LiveId();
    if (!id) {
      CreateWithCallerHandle();
      return;
    }
    Texture& texture = textures_[*id];
    std::string args = "{";
    AddEntry(args, "textureId", IdText(*id, rng_.OneIn(3) || *id < INT32_MIN));
    const IntArg width = RandomInt(1, 4096);
    const IntArg height = RandomInt(1, 4096);
    AddEntry(args, "width", width.text);
    AddEntry(args, "height", height.text);
    if (width.value && width.text.back() != 'L') texture.width = *width.value;
    if (height.value && height.text.back() != 'L') texture.height = *height.value;
    switch (rng_.Below(4)) {
      case 0: {
        const auto [handle_text, handle] = RandomHandle();
        AddEntry(args, "sharedHandle", handle_text);
        texture.handle = handle;
        break;
      }
      case 1:
        AddEntry(args, "sharedHandle", rng_.OneIn(2) ? "\"zz\"" : "2.5");
        break;
      default:
        break;
    }
    args += "}";
    Gpu(rng_.OneIn(2) ? "update" : "updateGpuTextureSize", args, UpdateAnswer(texture.handle),
        "update");
    LogDone("HandleUpdate", *id, texture);
  }

  void BadUpdate() {
    gpu_log_.push_back("HandleUpdate begin");
    switch (rng_.Below(4)) {
      case 0:
        Gpu("update", rng_.OneIn(2) ? "" : "[1]", Error("bad_args", "Expected map"), "update, bad");
        break;
      case 1:
        Gpu("update", rng_.OneIn(2) ? "{}" : "{\"textureId\": \"1\"}",
            Error("bad_args", "Missing textureId"), "update, bad");
        break;
      default:
        // Ids the stand-in never hands out.
        Gpu("update", "{\"textureId\": " + std::to_string(-1 - static_cast<int64_t>(rng_.Below(500))) +
                          ", \"width\": 5}",
            Error("not_found", "Texture not found"), "update, unknown id");
        break;
    }
  }

  void Dispose() {
    const std::optional<int64_t> id = LiveId();
    if (!id) {
      CreateWithCallerHandle();
      return;
    }
    Gpu(rng_.OneIn(2) ? "dispose" : "disposeGpuTexture",
        "{\"textureId\": " + IdText(*id, rng_.OneIn(3) || *id < INT32_MIN) + "}", kTrue, "dispose");
    textures_.erase(*id);
  }

  void BadDispose() {
    switch (rng_.Below(3)) {
      case 0:
        Gpu("dispose", rng_.OneIn(2) ? "" : "7", Error("bad_args", "Expected map"), "dispose, bad");
        break;
      case 1:
        Gpu("dispose", "{\"textureId\": 1.0}", Error("bad_args", "Missing textureId"),
            "dispose, bad");
        break;
      default:
        Gpu("dispose", "{\"textureId\": " + std::to_string(-1 - static_cast<int64_t>(rng_.Below(500))) + "}",
            kTrue, "dispose, unknown id");
        break;
    }
  }

  void Frames() {
    const std::optional<int64_t> live = LiveId();
    const int64_t id = live && !rng_.OneIn(5) ? *live : 900000 + rng_.Below(1000);
    const uint32_t count = 1 + rng_.Below(300);
    Step("frames " + std::to_string(id) + " " + std::to_string(count));
    ++mix_["frames step"];
    for (uint32_t i = 0; i < count; ++i) {
      ++mark_count_;
      if (mark_count_ <= 10 || mark_count_ % 120 == 0) {
        gpu_log_.push_back("MarkFrameAvailable tid=" + std::to_string(id));
      }
    }
  }

  void OddRegistration() {
    const auto [handle_text, handle] = RandomHandle();
    // The engine's "no texture" (0) or a negative id: refused, nothing kept.
    const int64_t id = rng_.OneIn(2) ? 0 : -1000000 - static_cast<int64_t>(odd_ids_++);
    Step("nexttextureid " + std::to_string(id));
    Gpu("create", "{\"sharedHandle\": " + handle_text + "}",
        Error("register_failed", "RegisterTexture returned " + std::to_string(id)),
        id == 0 ? "create, registration refused" : "create, negative id refused");
    gpu_log_.push_back("HandleCreate begin");
  }

  void HostileRowOp() {
    if (hostile_.empty()) return;
    const HostileRow& row = hostile_[rng_.Below(static_cast<uint32_t>(hostile_.size()))];
    calls_.push_back(Call{Step(row.step), row.answer, 0});
    ++mix_["hostile table row"];
    stderr_.insert(stderr_.end(), row.stderr_lines.begin(), row.stderr_lines.end());
    gpu_log_.insert(gpu_log_.end(), row.gpu_log.begin(), row.gpu_log.end());
  }

  std::vector<HostileRow> hostile_;
  Rng rng_;
  std::string scenario_;
  int line_ = 0;
  std::vector<Call> calls_;
  std::vector<std::string> run_log_;
  std::vector<std::string> gpu_log_;
  std::vector<std::string> stderr_;
  std::vector<int> resource_lines_;
  std::multiset<std::string> host_sends_;
  std::map<std::string, int> mix_;
  int host_line_ = 0;
  NativeMode mode_;
  std::map<int64_t, Texture> textures_;
  int64_t next_id_ = 1;
  uint64_t odd_ids_ = 0;
  const bool own_textures_share_ = PlatformSharesTextures();
  int64_t mark_count_ = 0;
};

// ---- checks ----

struct Resources {
  long long working_set = 0;
  long long private_bytes = 0;
  long handles = 0;
  long gdi = 0;
  long user = 0;
  long windows = 0;
};

std::optional<Resources> ParseResources(const std::string& line) {
  Resources r;
  if (std::sscanf(line.c_str(), "resources ws=%lld private=%lld handles=%ld gdi=%ld user=%ld windows=%ld",
                  &r.working_set, &r.private_bytes, &r.handles, &r.gdi, &r.user, &r.windows) != 6) {
    return std::nullopt;
  }
  return r;
}

std::string Describe(const Resources& r) {
  char text[200];
  std::snprintf(text, sizeof text,
                "working set %.1f MiB, private %.1f MiB, handles %ld, GDI %ld, USER %ld, windows %ld",
                r.working_set / 1048576.0, r.private_bytes / 1048576.0, r.handles, r.gdi, r.user,
                r.windows);
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Environment(const char* name) {
  char text[512] = {};
  const DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
  return length > 0 && length < sizeof text ? std::string(text) : std::string();
}

int SoakCalls() {
  const int calls = std::atoi(Environment("VELORA_SOAK_CALLS").c_str());
  return calls > 0 ? calls : kDefaultCalls;
}

std::vector<HostileRow> StatelessHostileRows() {
  const std::wstring dir = tools::BinaryDir();
  const std::string text = ReadBinaryFile(std::string(dir.begin(), dir.end()) + "\\hostile_inputs.txt");
  std::string error;
  std::optional<std::vector<HostileRow>> rows = ParseHostileTable(text, &error);
  EXPECT_TRUE(rows.has_value()) << error;
  std::vector<HostileRow> stateless;
  for (const HostileRow& row : rows ? *rows : std::vector<HostileRow>()) {
    // The very large messages run in the table's own test, and so do the
    // rows that make a Direct3D device (Wine takes a good part of a second
    // for one); the soak makes its own devices a fixed number of times.
    const bool makes_device = row.answer == kOwnTextureRefused;
    if (row.stateless && row.step.size() < 4096 && !makes_device) stateless.push_back(row);
  }
  return stateless;
}

TEST(SoakTest, MixedCallsOnBothChannelsKeepAnswersLogsAndResourcesFlat) {
  const int calls = SoakCalls();
  const std::vector<HostileRow> hostile = StatelessHostileRows();
  ASSERT_GT(hostile.size(), 100u);
  SoakScript script(hostile, 20240607);
  script.Generate(calls);
  if (const std::string path = Environment("VELORA_SOAK_SCENARIO"); !path.empty()) {
    script.WriteScenario(path);
  }

  const ULONGLONG start = GetTickCount64();
  const ScenarioRun run = RunScenario(script.scenario(), {}, std::wstring(), 3600 * 1000);
  const double seconds = (GetTickCount64() - start) / 1000.0;
  ASSERT_EQ(run.exit_code, 0) << run.stderr_text.substr(0, 2000);
  ASSERT_TRUE(run.LinesStartingWith("scenario-error").empty())
      << run.LinesStartingWith("scenario-error")[0];
  ASSERT_NE(run.IndexOf("engine-ended"), -1);

  // Every call answered exactly once, with the expected bytes.
  std::map<int, std::vector<std::string>> responses;
  for (const std::string& line : run.LinesStartingWith("response ")) {
    const size_t space = line.find(' ', 9);
    responses[std::atoi(line.c_str() + 9)].push_back(
        space == std::string::npos ? std::string() : line.substr(space + 1));
  }
  int wrong = 0;
  size_t answered = 0;
  for (const SoakScript::Call& call : script.calls()) {
    const auto found = responses.find(call.line);
    const size_t count = found == responses.end() ? 0 : found->second.size();
    answered += count;
    if (count != 1) {
      ADD_FAILURE() << "scenario line " << call.line << ": " << count << " answers";
      if (++wrong > 10) break;
      continue;
    }
    const std::string& answer = found->second[0];
    bool ok = HexMatches(call.answer, answer);
    if (ok && call.same_as_line != 0) {
      const auto first = responses.find(call.same_as_line);
      ok = first != responses.end() && first->second.size() == 1 && first->second[0] == answer;
    }
    if (!ok) {
      ADD_FAILURE() << "scenario line " << call.line << ": expected " << call.answer << ", got "
                    << answer;
      if (++wrong > 10) break;
    }
  }
  EXPECT_EQ(answered, script.calls().size());
  EXPECT_EQ(responses.size(), script.calls().size());

  // The logs and standard error grow only by what the calls call for.
  std::vector<std::string> run_log;
  for (const std::string& line : run.run_log) {
    if (line != "entering message loop" && line != "next frame callback" &&
        line != "WM_CLOSE received" && line != "WM_DESTROY" && line != "message loop exited") {
      run_log.push_back(line);
    }
  }
  EXPECT_EQ(FirstDifference(script.run_log(), run_log), "");
  EXPECT_EQ(run.run_log.size(), run_log.size() + 5);
  EXPECT_EQ(FirstDifference(script.gpu_log(), run.gpu_log), "");
  EXPECT_EQ(FirstDifference(script.stderr_lines(), SplitLines(run.stderr_text)), "");
  const std::vector<std::string> sends = run.LinesStartingWith("host-send ");
  EXPECT_EQ(std::multiset<std::string>(sends.begin(), sends.end()), script.host_sends());

  // Resources: after the warm-up, half way and at the end.
  const std::vector<std::string> samples = run.LinesStartingWith("resources ");
  ASSERT_EQ(samples.size(), script.resource_lines().size());
  std::vector<Resources> figures;
  for (const std::string& sample : samples) {
    const std::optional<Resources> parsed = ParseResources(sample);
    ASSERT_TRUE(parsed.has_value()) << sample;
    figures.push_back(*parsed);
  }
  ASSERT_EQ(figures.size(), 4u);  // start, after the warm-up, half way, end
  std::printf("soak: %d calls (%zu answered) in %.1f s\n", calls, answered, seconds);
  static const char* kWhen[] = {"start", "after warm-up", "half way", "end"};
  for (size_t i = 0; i < figures.size(); ++i) {
    std::printf("soak: %-13s (scenario line %6d): %s\n", kWhen[i], script.resource_lines()[i],
                Describe(figures[i]).c_str());
  }
  const size_t counted_by = samples.back().find(" counted-by ");
  if (counted_by != std::string::npos) {
    std::printf("soak: counted by %s\n", samples.back().substr(counted_by + 12).c_str());
  }
  for (const auto& [kind, count] : script.mix()) std::printf("soak: %7d %s\n", count, kind.c_str());
  RecordProperty("calls", calls);
  RecordProperty("seconds", static_cast<int>(seconds));
  const Resources& warm = figures[1];
  RecordProperty("warm", Describe(warm));
  RecordProperty("end", Describe(figures[3]));
  for (size_t i : {size_t{2}, size_t{3}}) {
    const Resources& later = figures[i];
    EXPECT_LE(later.working_set - warm.working_set, kWorkingSetToleranceBytes) << kWhen[i];
    EXPECT_LE(later.private_bytes - warm.private_bytes, kPrivateToleranceBytes) << kWhen[i];
    EXPECT_LE(later.handles - warm.handles, kHandleTolerance) << kWhen[i];
    EXPECT_LE(later.gdi - warm.gdi, kGdiTolerance) << kWhen[i];
    EXPECT_LE(later.user - warm.user, kUserTolerance) << kWhen[i];
    EXPECT_LE(later.windows - warm.windows, kWindowTolerance) << kWhen[i];
  }
}

}  // namespace
}  // namespace velora::test
