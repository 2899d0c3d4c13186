#include "window_channel/window_channel_handler.h"

#include "window/geometry.h"
#include "window_channel/window_arguments.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

namespace {

void SetVideoHostBounds(WindowChannelTarget& window, const EncodableValueMap* arguments) {
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
}

void SetNativeVideoMode(WindowChannelTarget& window, const EncodableValueMap* arguments) {
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
}

// Null details: errors of this channel never carry any.
void ResizeWindow(WindowChannelTarget& window,
                  const EncodableValueMap* arguments,
                  flutter::MethodResult<EncodableValue>& result) {
  if (arguments == nullptr) {
    result.Error("invalid_argument", "arguments must be a map");
    return;
  }
  double width = 0;
  double height = 0;
  bool has_width = false;
  bool has_height = false;
  ReadNumberArgument(*arguments, "width", width, has_width);
  ReadNumberArgument(*arguments, "height", height, has_height);
  if (!has_width) {
    result.Error("invalid_argument", "width is required");
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

}  // namespace

void HandleWindowChannelCall(WindowChannelTarget& window,
                             const flutter::MethodCall<EncodableValue>& call,
                             std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
  const std::string& method = call.MethodName();
  const EncodableValueMap* arguments = ArgumentMap(call.Arguments());

  if (method == "toggleFullscreen") {
    result->Success(EncodableValue(window.ToggleFullScreen()));
  } else if (method == "isFullscreen") {
    result->Success(EncodableValue(window.IsFullScreen()));
  } else if (method == "createVideoHost") {
    if (std::optional<int64_t> handle = window.CreateVideoHost()) {
      result->Success(EncodableValue(*handle));
    } else {
      result->Error("CREATE_FAILED", "Failed to create video host window");
    }
  } else if (method == "destroyVideoHost") {
    window.DestroyVideoHost();
    result->Success(EncodableValue(true));
  } else if (method == "setVideoHostBounds") {
    SetVideoHostBounds(window, arguments);
    result->Success(EncodableValue(true));
  } else if (method == "setNativeVideoMode") {
    SetNativeVideoMode(window, arguments);
    result->Success(EncodableValue(true));
  } else if (method == "setVideoHostVisible") {
    bool visible = true;
    if (arguments != nullptr) {
      visible = ReadBoolArgument(*arguments, "visible").value_or(true);
    }
    window.ShowVideoHost(visible);
    result->Success(EncodableValue(true));
  } else if (method == "setTitle") {
    if (arguments != nullptr) {
      if (const std::string* title = ReadStringArgument(*arguments, "title")) {
        window.SetTitleUtf8(*title);
      }
    }
    result->Success();
  } else if (method == "resizeWindow") {
    ResizeWindow(window, arguments, *result);
  } else {
    result->NotImplemented();
  }
}

}  // namespace velora
