// The "velora/window" method table against a recording window: defaults,
// argument kinds, results and errors.
#include "window_channel/window_channel_handler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace velora {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;
using flutter::MethodCall;
using flutter::MethodResult;

class RecordingWindow : public WindowChannelTarget {
 public:
  std::vector<std::string> calls;
  bool full_screen = false;
  bool host_fails = false;
  bool hands_over = false;

  bool ToggleFullScreen() override {
    calls.push_back("toggle");
    full_screen = !full_screen;
    return true;
  }
  bool IsFullScreen() const override { return full_screen; }
  std::optional<int64_t> CreateVideoHost() override {
    calls.push_back("create");
    if (host_fails)
      return std::nullopt;
    return int64_t{0x123456789};
  }
  void DestroyVideoHost() override { calls.push_back("destroy"); }
  void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) override {
    calls.push_back("place " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(w) + "x" + std::to_string(h));
  }
  void ShowVideoHost(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
  void ApplyNativeVideoMode(bool active,
                            int32_t top,
                            int32_t bar,
                            std::optional<int32_t> right) override {
    calls.push_back("mode " + std::to_string(active) + " " + std::to_string(top) + " " +
                    std::to_string(bar) + " " + (right ? std::to_string(*right) : "keep"));
  }
  void SetTitleUtf8(const std::string& title) override { calls.push_back("title [" + title + "]"); }
  void ResizeLogical(uint32_t width, uint32_t height) override {
    calls.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
  }
  void ResizeLogicalWidth(uint32_t width) override {
    calls.push_back("resize-width " + std::to_string(width));
  }
  bool SetSingleInstance(bool enabled) override {
    calls.push_back(enabled ? "single-instance on" : "single-instance off");
    return !(enabled && hands_over);
  }
  void SetKeepAwake(bool enabled, bool display) override {
    calls.push_back(std::string("keep-awake ") + (enabled ? "on" : "off") +
                    (display ? " display" : ""));
  }
  void SetAlwaysOnTop(bool enabled) override {
    calls.push_back(enabled ? "topmost" : "not topmost");
  }
};

// What the result was answered with, as text.
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  explicit RecordingResult(std::vector<std::string>* answers) : answers_(answers) {}

 protected:
  void OnSuccess(const EncodableValue* value) override {
    std::string text = "success ";
    if (value == nullptr || value->IsNull()) {
      text += "null";
    } else if (const bool* flag = std::get_if<bool>(value)) {
      text += *flag ? "true" : "false";
    } else if (const int64_t* number = std::get_if<int64_t>(value)) {
      text += "int64 " + std::to_string(*number);
    } else {
      text += "other";
    }
    answers_->push_back(text);
  }
  void OnError(const std::string& code,
               const std::string& message,
               const EncodableValue* details) override {
    answers_->push_back("error " + code + " / " + message + (details ? " +details" : ""));
  }
  void OnNotImplemented() override { answers_->push_back("not implemented"); }

 private:
  std::vector<std::string>* answers_;
};

struct Outcome {
  std::vector<std::string> answers;
  std::vector<std::string> calls;
};

Outcome Call(const std::string& method,
             std::unique_ptr<EncodableValue> arguments,
             RecordingWindow& window) {
  Outcome outcome;
  window.calls.clear();
  MethodCall<EncodableValue> call(method, std::move(arguments));
  HandleWindowChannelCall(window, call, std::make_unique<RecordingResult>(&outcome.answers));
  outcome.calls = window.calls;
  return outcome;
}

Outcome Call(const std::string& method, EncodableValue arguments) {
  RecordingWindow window;
  return Call(method, std::make_unique<EncodableValue>(std::move(arguments)), window);
}

Outcome CallWithMap(const std::string& method, EncodableValueMap map) {
  return Call(method, EncodableValue(std::move(map)));
}

using Strings = std::vector<std::string>;

TEST(WindowChannelHandlerTest, FullScreenAndUnknownNames) {
  RecordingWindow window;
  Outcome toggle = Call("toggleFullscreen", nullptr, window);
  EXPECT_EQ(toggle.answers, Strings{"success true"});
  Outcome query = Call("isFullscreen", std::make_unique<EncodableValue>(42), window);
  EXPECT_EQ(query.answers, Strings{"success true"});
  EXPECT_TRUE(query.calls.empty());

  // Exact, case-sensitive names only.
  for (const char* name :
       {"togglefullscreen", "IsFullscreen", "setvideohostbounds", "setTitle ", "", "windowEvent",
        "setAlwaysOnTop ", "setkeepawake", "SetSingleInstance"}) {
    SCOPED_TRACE(name);
    Outcome other = Call(name, EncodableValue());
    EXPECT_EQ(other.answers, Strings{"not implemented"});
    EXPECT_TRUE(other.calls.empty());
  }
}

TEST(WindowChannelHandlerTest, VideoHostCreationAndDestruction) {
  RecordingWindow window;
  EXPECT_EQ(Call("createVideoHost", nullptr, window).answers, Strings{"success int64 4886718345"});
  window.host_fails = true;
  EXPECT_EQ(Call("createVideoHost", nullptr, window).answers,
            Strings{"error CREATE_FAILED / Failed to create video host window"});
  EXPECT_EQ(Call("destroyVideoHost", nullptr, window).answers, Strings{"success true"});
  EXPECT_EQ(window.calls, Strings{"destroy"});
}

TEST(WindowChannelHandlerTest, BoundsReadIntegersOnlyAndKeepDefaults) {
  EXPECT_EQ(Call("setVideoHostBounds", EncodableValue()).calls, Strings{"place 0,0 1x1"});
  EXPECT_EQ(Call("setVideoHostBounds", EncodableValue(EncodableValueList{1, 2})).calls,
            Strings{"place 0,0 1x1"});
  Outcome full = CallWithMap("setVideoHostBounds", {{"x", 10}, {"y", 20}, {"w", 640}, {"h", 360}});
  EXPECT_EQ(full.calls, Strings{"place 10,20 640x360"});
  EXPECT_EQ(full.answers, Strings{"success true"});

  // Doubles, strings, bools, null and lists are not integers.
  EXPECT_EQ(CallWithMap("setVideoHostBounds",
                        {{"x", 10.0}, {"y", "20"}, {"w", true}, {"h", EncodableValue()}})
                .calls,
            Strings{"place 0,0 1x1"});
  // int64 gives its low 32 bits as signed.
  EXPECT_EQ(CallWithMap("setVideoHostBounds", {{"w", int64_t{(1LL << 32) + 5}},
                                               {"h", int64_t{0xFFFFFFFFLL}},
                                               {"x", int64_t{-1}},
                                               {"y", int64_t{0x80000000LL}}})
                .calls,
            Strings{"place -1,-2147483648 5x-1"});
  // Keys compare as strings, not as other kinds.
  EXPECT_EQ(
      CallWithMap("setVideoHostBounds", {{EncodableValue(std::vector<uint8_t>{'x'}), 5}}).calls,
      Strings{"place 0,0 1x1"});
}

TEST(WindowChannelHandlerTest, NativeModeDefaultsAndRightPaddingRule) {
  EXPECT_EQ(
      CallWithMap(
          "setNativeVideoMode",
          {{"active", true}, {"topHeightPx", 40}, {"barHeightPx", 80}, {"rightPaddingPx", 300}})
          .calls,
      Strings{"mode 1 40 80 300"});
  // A missing right padding keeps the current one; missing top/bar are 0.
  EXPECT_EQ(CallWithMap("setNativeVideoMode", {{"active", true}, {"topHeightPx", 40}}).calls,
            Strings{"mode 1 40 0 keep"});
  // 1 is not a bool.
  EXPECT_EQ(CallWithMap("setNativeVideoMode", {{"active", 1}}).calls, Strings{"mode 0 0 0 keep"});
  EXPECT_EQ(CallWithMap("setNativeVideoMode", {{"rightPaddingPx", 2.5}}).calls,
            Strings{"mode 0 0 0 keep"});
  EXPECT_EQ(CallWithMap("setNativeVideoMode", {{"rightPaddingPx", int64_t{-7}}}).calls,
            Strings{"mode 0 0 0 -7"});
  Outcome null_args = Call("setNativeVideoMode", EncodableValue());
  EXPECT_EQ(null_args.calls, Strings{"mode 0 0 0 keep"});
  EXPECT_EQ(null_args.answers, Strings{"success true"});
}

TEST(WindowChannelHandlerTest, VisibilityDefaultsToShown) {
  EXPECT_EQ(Call("setVideoHostVisible", EncodableValue()).calls, Strings{"show"});
  EXPECT_EQ(CallWithMap("setVideoHostVisible", {{"visible", false}}).calls, Strings{"hide"});
  EXPECT_EQ(CallWithMap("setVideoHostVisible", {{"visible", 0}}).calls, Strings{"show"});
  EXPECT_EQ(CallWithMap("setVideoHostVisible", {{"visible", "false"}}).answers,
            Strings{"success true"});
}

TEST(WindowChannelHandlerTest, TitleTakesStringsOnlyAndAnswersNull) {
  Outcome set = CallWithMap("setTitle", {{"title", "Ondexa \xE2\x80\x94 film"}});
  EXPECT_EQ(set.calls, Strings{"title [Ondexa \xE2\x80\x94 film]"});
  EXPECT_EQ(set.answers, Strings{"success null"});
  EXPECT_EQ(CallWithMap("setTitle", {{"title", ""}}).calls, Strings{"title []"});
  for (EncodableValue bad : {EncodableValue(), EncodableValue(5), EncodableValue(true)}) {
    Outcome ignored = CallWithMap("setTitle", {{"title", bad}});
    EXPECT_TRUE(ignored.calls.empty());
    EXPECT_EQ(ignored.answers, Strings{"success null"});
  }
  Outcome none = Call("setTitle", EncodableValue());
  EXPECT_TRUE(none.calls.empty());
  EXPECT_EQ(none.answers, Strings{"success null"});
}

TEST(WindowChannelHandlerTest, ResizeNeedsAMapAndAWidthAndSaturates) {
  EXPECT_EQ(Call("resizeWindow", EncodableValue()).answers,
            Strings{"error invalid_argument / arguments must be a map"});
  EXPECT_EQ(Call("resizeWindow", EncodableValue(800)).answers,
            Strings{"error invalid_argument / arguments must be a map"});
  Outcome height_only = CallWithMap("resizeWindow", {{"height", 300}});
  EXPECT_EQ(height_only.answers, Strings{"error invalid_argument / width is required"});
  EXPECT_TRUE(height_only.calls.empty());
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", "800"}}).answers,
            Strings{"error invalid_argument / width is required"});

  Outcome both = CallWithMap("resizeWindow", {{"width", 800.9}, {"height", 600}});
  EXPECT_EQ(both.calls, Strings{"resize 800x600"});
  EXPECT_EQ(both.answers, Strings{"success true"});
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", 800}}).calls, Strings{"resize-width 800"});
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", int64_t{1024}}, {"height", "x"}}).calls,
            Strings{"resize-width 1024"});

  // Out of range, NaN and infinities saturate instead of being undefined.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", nan}, {"height", inf}}).calls,
            Strings{"resize 0x4294967295"});
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", -5.0}, {"height", 1e30}}).calls,
            Strings{"resize 0x4294967295"});
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", int64_t{1} << 40}}).calls,
            Strings{"resize-width 4294967295"});
  EXPECT_EQ(CallWithMap("resizeWindow", {{"width", -inf}}).calls, Strings{"resize-width 0"});
}

}  // namespace
}  // namespace velora

namespace velora {
namespace {

// The three switches share one rule: "enabled" must be there as a bool,
// otherwise the error names it and nothing is done.
TEST(WindowChannelHandlerTest, SwitchesNeedABoolEnabledAndChangeNothingWithout) {
  const EncodableValue bad_arguments[] = {
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(EncodableValueList{true}),
      EncodableValue(EncodableValueMap{}),
      EncodableValue(EncodableValueMap{{"enabled", EncodableValue()}}),
      EncodableValue(EncodableValueMap{{"enabled", 1}}),
      EncodableValue(EncodableValueMap{{"enabled", int64_t{1}}}),
      EncodableValue(EncodableValueMap{{"enabled", 1.0}}),
      EncodableValue(EncodableValueMap{{"enabled", "true"}}),
      EncodableValue(EncodableValueMap{{"enabled", EncodableValueList{true}}}),
      EncodableValue(EncodableValueMap{{"enabled", std::vector<uint8_t>{1}}}),
      EncodableValue(EncodableValueMap{{"Enabled", true}, {"display", true}}),
  };
  for (const char* method : {"setSingleInstance", "setKeepAwake", "setAlwaysOnTop"}) {
    for (const EncodableValue& arguments : bad_arguments) {
      SCOPED_TRACE(method);
      const Outcome outcome = Call(method, arguments);
      EXPECT_EQ(outcome.answers, Strings{"error invalid_argument / enabled must be a bool"});
      EXPECT_TRUE(outcome.calls.empty());
    }
  }
}

TEST(WindowChannelHandlerTest, SwitchesApplyWhatTheyAreGiven) {
  Outcome on = CallWithMap("setAlwaysOnTop", {{"enabled", true}, {"extra", 5}});
  EXPECT_EQ(on.calls, Strings{"topmost"});
  EXPECT_EQ(on.answers, Strings{"success true"});
  EXPECT_EQ(CallWithMap("setAlwaysOnTop", {{"enabled", false}}).calls, Strings{"not topmost"});

  // "display" defaults to true; other kinds count as absent.
  EXPECT_EQ(CallWithMap("setKeepAwake", {{"enabled", true}}).calls,
            Strings{"keep-awake on display"});
  EXPECT_EQ(CallWithMap("setKeepAwake", {{"enabled", true}, {"display", false}}).calls,
            Strings{"keep-awake on"});
  EXPECT_EQ(CallWithMap("setKeepAwake", {{"enabled", true}, {"display", 0}}).calls,
            Strings{"keep-awake on display"});
  Outcome off = CallWithMap("setKeepAwake", {{"enabled", false}, {"display", "no"}});
  EXPECT_EQ(off.calls, Strings{"keep-awake off display"});
  EXPECT_EQ(off.answers, Strings{"success true"});

  // The answer says whether this host serves; false when it handed over.
  RecordingWindow window;
  EXPECT_EQ(Call("setSingleInstance",
                 std::make_unique<EncodableValue>(EncodableValueMap{{"enabled", true}}), window)
                .answers,
            Strings{"success true"});
  window.hands_over = true;
  const Outcome handed =
      Call("setSingleInstance",
           std::make_unique<EncodableValue>(EncodableValueMap{{"enabled", true}}), window);
  EXPECT_EQ(handed.answers, Strings{"success false"});
  EXPECT_EQ(handed.calls, Strings{"single-instance on"});
  EXPECT_EQ(Call("setSingleInstance",
                 std::make_unique<EncodableValue>(EncodableValueMap{{"enabled", false}}), window)
                .answers,
            Strings{"success true"});
}

TEST(WindowChannelHandlerTest, TheTableNamesEveryMethodItServes) {
  const Strings names = WindowChannelMethodNames();
  EXPECT_EQ(names,
            (Strings{"toggleFullscreen", "isFullscreen", "createVideoHost", "destroyVideoHost",
                     "setVideoHostBounds", "setNativeVideoMode", "setVideoHostVisible", "setTitle",
                     "resizeWindow", "setSingleInstance", "setKeepAwake", "setAlwaysOnTop"}));
  // Each listed name is answered by something other than "not implemented".
  for (const std::string& name : names) {
    EXPECT_NE(Call(name, EncodableValue()).answers, Strings{"not implemented"}) << name;
  }
}

}  // namespace
}  // namespace velora
