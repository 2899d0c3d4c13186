#include "window_channel/window_channel_handler.h"

#include <string_view>

#include "window/geometry.h"
#include "window_channel/window_arguments.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

namespace {

using Result = flutter::MethodResult<EncodableValue>;

// Errors of this channel never carry details.
constexpr char kInvalidArgument[] = "invalid_argument";

void ToggleFullscreen(WindowChannelTarget& window, const EncodableValueMap*, Result& result) {
  result.Success(EncodableValue(window.ToggleFullScreen()));
}

void IsFullscreen(WindowChannelTarget& window, const EncodableValueMap*, Result& result) {
  result.Success(EncodableValue(window.IsFullScreen()));
}

void CreateVideoHost(WindowChannelTarget& window, const EncodableValueMap*, Result& result) {
  if (std::optional<int64_t> handle = window.CreateVideoHost()) {
    result.Success(EncodableValue(*handle));
  } else {
    result.Error("CREATE_FAILED", "Failed to create video host window");
  }
}

void DestroyVideoHost(WindowChannelTarget& window, const EncodableValueMap*, Result& result) {
  window.DestroyVideoHost();
  result.Success(EncodableValue(true));
}

void SetVideoHostBounds(WindowChannelTarget& window,
                        const EncodableValueMap* arguments,
                        Result& result) {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 1;
  int32_t h = 1;
  if (arguments != nullptr) {
    ReadIntArgument(*arguments, "x", x);
    ReadIntArgument(*arguments, "y", y);
    ReadIntArgument(*arguments, "w", w);
    ReadIntArgument(*arguments, "h", h);
  }
  window.PlaceVideoHost(x, y, w, h);
  result.Success(EncodableValue(true));
}

void SetNativeVideoMode(WindowChannelTarget& window,
                        const EncodableValueMap* arguments,
                        Result& result) {
  bool active = false;
  int32_t top = 0;
  int32_t bar = 0;
  std::optional<int32_t> right;
  if (arguments != nullptr) {
    active = ReadBoolArgument(*arguments, "active").value_or(false);
    ReadIntArgument(*arguments, "barHeightPx", bar);
    ReadIntArgument(*arguments, "topHeightPx", top);
    right = FindIntArgument(*arguments, "rightPaddingPx");
  }
  window.ApplyNativeVideoMode(active, top, bar, right);
  result.Success(EncodableValue(true));
}

void SetVideoHostVisible(WindowChannelTarget& window,
                         const EncodableValueMap* arguments,
                         Result& result) {
  bool visible = true;
  if (arguments != nullptr) {
    visible = ReadBoolArgument(*arguments, "visible").value_or(true);
  }
  window.ShowVideoHost(visible);
  result.Success(EncodableValue(true));
}

void SetTitle(WindowChannelTarget& window, const EncodableValueMap* arguments, Result& result) {
  if (arguments != nullptr) {
    if (const std::string* title = ReadStringArgument(*arguments, "title")) {
      window.SetTitleUtf8(*title);
    }
  }
  result.Success();
}

void ResizeWindow(WindowChannelTarget& window, const EncodableValueMap* arguments, Result& result) {
  if (arguments == nullptr) {
    result.Error(kInvalidArgument, "arguments must be a map");
    return;
  }
  double width = 0;
  double height = 0;
  bool has_width = false;
  bool has_height = false;
  ReadNumberArgument(*arguments, "width", width, has_width);
  ReadNumberArgument(*arguments, "height", height, has_height);
  if (!has_width) {
    result.Error(kInvalidArgument, "width is required");
    return;
  }
  // NaN, infinities and values outside the unsigned range saturate.
  if (has_height) {
    window.ResizeLogical(TruncateToUint32(width), TruncateToUint32(height));
  } else {
    window.ResizeLogicalWidth(TruncateToUint32(width));
  }
  result.Success(EncodableValue(true));
}

// The "enabled" every switch needs; nothing, after answering the error, when
// the arguments are no map or it is missing or no bool.
std::optional<bool> ReadEnabled(const EncodableValueMap* arguments, Result& result) {
  std::optional<bool> enabled;
  if (arguments != nullptr) {
    enabled = ReadBoolArgument(*arguments, "enabled");
  }
  if (!enabled) {
    result.Error(kInvalidArgument, "enabled must be a bool");
  }
  return enabled;
}

void SetSingleInstance(WindowChannelTarget& window,
                       const EncodableValueMap* arguments,
                       Result& result) {
  if (const std::optional<bool> enabled = ReadEnabled(arguments, result)) {
    result.Success(EncodableValue(window.SetSingleInstance(*enabled)));
  }
}

void SetKeepAwake(WindowChannelTarget& window, const EncodableValueMap* arguments, Result& result) {
  if (const std::optional<bool> enabled = ReadEnabled(arguments, result)) {
    window.SetKeepAwake(*enabled, ReadBoolArgument(*arguments, "display").value_or(true));
    result.Success(EncodableValue(true));
  }
}

void SetAlwaysOnTop(WindowChannelTarget& window,
                    const EncodableValueMap* arguments,
                    Result& result) {
  if (const std::optional<bool> enabled = ReadEnabled(arguments, result)) {
    window.SetAlwaysOnTop(*enabled);
    result.Success(EncodableValue(true));
  }
}

struct Method {
  std::string_view name;
  // `arguments` is null when the call's argument is not a map.
  void (*handle)(WindowChannelTarget& window, const EncodableValueMap* arguments, Result& result);
};

// Compared in this order, by exact bytes; the first match answers.
constexpr Method kMethods[] = {
    {"toggleFullscreen", ToggleFullscreen},
    {"isFullscreen", IsFullscreen},
    {"createVideoHost", CreateVideoHost},
    {"destroyVideoHost", DestroyVideoHost},
    {"setVideoHostBounds", SetVideoHostBounds},
    {"setNativeVideoMode", SetNativeVideoMode},
    {"setVideoHostVisible", SetVideoHostVisible},
    {"setTitle", SetTitle},
    {"resizeWindow", ResizeWindow},
    {"setSingleInstance", SetSingleInstance},
    {"setKeepAwake", SetKeepAwake},
    {"setAlwaysOnTop", SetAlwaysOnTop},
};

}  // namespace

void HandleWindowChannelCall(WindowChannelTarget& window,
                             const flutter::MethodCall<EncodableValue>& call,
                             std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
  const std::string_view name = call.MethodName();
  for (const Method& method : kMethods) {
    if (name == method.name) {
      method.handle(window, ArgumentMap(call.Arguments()), *result);
      return;
    }
  }
  result->NotImplemented();
}

std::vector<std::string> WindowChannelMethodNames() {
  std::vector<std::string> names;
  for (const Method& method : kMethods) {
    names.emplace_back(method.name);
  }
  return names;
}

}  // namespace velora
