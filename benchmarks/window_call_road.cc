#include "window_call_road.h"

#include <memory>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"

namespace velora {

std::vector<uint8_t> BoundsCallMessage() {
  using flutter::EncodableValue;
  flutter::MethodCall<EncodableValue> call(
      "setVideoHostBounds", std::make_unique<EncodableValue>(flutter::EncodableValueMap{
                                {EncodableValue("x"), EncodableValue(int32_t{120})},
                                {EncodableValue("y"), EncodableValue(int32_t{64})},
                                {EncodableValue("w"), EncodableValue(int32_t{1280})},
                                {EncodableValue("h"), EncodableValue(int32_t{720})},
                            }));
  return *flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
}

void AnswerBare(FlutterDesktopMessengerRef messenger,
                const FlutterDesktopMessage* message,
                void* /*user_data*/) {
  static const uint8_t kReply[] = {0x00, 0x01};
  FlutterDesktopMessengerRef reference = FlutterDesktopMessengerAddRef(messenger);
  FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(reference);
  if (FlutterDesktopMessengerIsAvailable(reference)) {
    FlutterDesktopMessengerSendResponse(reference, message->response_handle, kReply, sizeof kReply);
  }
  FlutterDesktopMessengerUnlock(locked);
  FlutterDesktopMessengerRelease(reference);
}

}  // namespace velora
