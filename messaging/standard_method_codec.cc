#include "messaging/standard_method_codec.h"

#include <map>
#include <mutex>
#include <utility>

#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/diagnostic_line.h"

namespace flutter {

namespace {

constexpr uint8_t kSuccessFlag = 0;
constexpr uint8_t kErrorFlag = 1;
constexpr uint8_t kStringTag = 7;

// Writes `text` as a string value straight from the caller's string, where
// wrapping it in an EncodableValue first would copy (and often allocate) it.
void WriteStringValue(const StandardCodecSerializer& serializer,
                      const std::string& text,
                      ByteStreamWriter* stream) {
  stream->WriteByte(kStringTag);
  serializer.WriteSize(text.size(), stream);
  if (!text.empty()) {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
}

void WriteOptionalValue(const StandardCodecSerializer& serializer,
                        const EncodableValue* value,
                        ByteStreamWriter* stream) {
  if (value != nullptr) {
    serializer.WriteValue(*value, stream);
  } else {
    serializer.WriteValue(EncodableValue(), stream);
  }
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::ForSerializer(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) {
    serializer = &StandardCodecSerializer::Shared();
  }
  // Never destroyed: channels may still use their codec while the process
  // exits. The lock makes a concurrent first request harmless.
  struct Table {
    std::mutex mutex;
    std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>> codecs;
  };
  static Table* table = new Table();
  std::lock_guard<std::mutex> lock(table->mutex);
  std::unique_ptr<StandardMethodCodec>& codec = table->codecs[serializer];
  if (!codec) {
    codec.reset(new StandardMethodCodec(serializer));
  }
  return *codec;
}

StandardMethodCodec::StandardMethodCodec(const StandardCodecSerializer* serializer)
    : serializer_(serializer) {}

StandardMethodCodec::~StandardMethodCodec() = default;

std::optional<MethodCall<EncodableValue>> StandardMethodCodec::ReadCall(const uint8_t* message,
                                                                        size_t message_size) const {
  ByteBufferStreamReader reader(message, message_size);
  EncodableValue name = serializer_->ReadValue(&reader);
  std::string* method_name = std::get_if<std::string>(&name);
  if (method_name == nullptr) {
    WriteDiagnosticLine("Invalid method call; method name is not a string.");
    return std::nullopt;
  }
  return std::optional<MethodCall<EncodableValue>>(
      std::in_place, std::in_place, std::move(*method_name), serializer_->ReadValue(&reader));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeCall(
    const MethodCall<EncodableValue>& call) const {
  auto message = NewMessage();
  ByteBufferStreamWriter writer(message.get());
  WriteStringValue(*serializer_, call.MethodName(), &writer);
  WriteOptionalValue(*serializer_, call.Arguments(), &writer);
  return message;
}

void StandardMethodCodec::WriteSuccessReply(const EncodableValue* result,
                                            ByteStreamWriter* out) const {
  out->WriteByte(kSuccessFlag);
  WriteOptionalValue(*serializer_, result, out);
}

void StandardMethodCodec::WriteErrorReply(const std::string& error_code,
                                          const std::string& error_message,
                                          const EncodableValue* error_details,
                                          ByteStreamWriter* out) const {
  out->WriteByte(kErrorFlag);
  WriteStringValue(*serializer_, error_code, out);
  if (error_message.empty()) {
    serializer_->WriteValue(EncodableValue(), out);
  } else {
    WriteStringValue(*serializer_, error_message, out);
  }
  WriteOptionalValue(*serializer_, error_details, out);
}

bool StandardMethodCodec::DecodeReply(const uint8_t* reply,
                                      size_t reply_size,
                                      MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader reader(reply, reply_size);
  uint8_t flag = reader.ReadByte();
  if (flag == kSuccessFlag) {
    EncodableValue value = serializer_->ReadValue(&reader);
    if (result != nullptr) {
      if (value.IsNull()) {
        result->Success();
      } else {
        result->Success(value);
      }
    }
    return true;
  }
  if (flag != kErrorFlag) {
    return false;
  }
  EncodableValue code = serializer_->ReadValue(&reader);
  EncodableValue message = serializer_->ReadValue(&reader);
  EncodableValue details = serializer_->ReadValue(&reader);
  // An envelope that cannot become an Error call is treated like an unknown
  // flag: nothing is delivered and the caller decides what follows.
  const std::string* code_text = std::get_if<std::string>(&code);
  const std::string* message_text = std::get_if<std::string>(&message);
  if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) {
    return false;
  }
  if (result != nullptr) {
    const std::string empty;
    const std::string& text = message_text != nullptr ? *message_text : empty;
    if (details.IsNull()) {
      result->Error(*code_text, text);
    } else {
      result->Error(*code_text, text, details);
    }
  }
  return true;
}

}  // namespace flutter
