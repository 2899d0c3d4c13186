#include "codec_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/standard_codec_serializer.h"

namespace flutter {
namespace testing {

Bytes Hex(std::string_view hex) {
  Bytes bytes;
  std::istringstream in{std::string(hex)};
  std::string token;
  while (in >> token) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
  }
  return bytes;
}

Bytes Ascii(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes Join(std::initializer_list<Bytes> pieces) {
  Bytes joined;
  for (const Bytes& piece : pieces) {
    joined.insert(joined.end(), piece.begin(), piece.end());
  }
  return joined;
}

Bytes Encode(const EncodableValue& value) {
  Bytes bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::Shared().WriteValue(value, &writer);
  return bytes;
}

EncodableValue Decode(const Bytes& bytes) {
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return StandardCodecSerializer::Shared().ReadValue(&reader);
}

StderrCapture::StderrCapture() {
  ::testing::internal::CaptureStderr();
}

StderrCapture::~StderrCapture() {
  if (capturing_) {
    Lines();
  }
}

std::vector<std::string> StderrCapture::Lines() {
  capturing_ = false;
  std::string text = ::testing::internal::GetCapturedStderr();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no newline>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace testing
}  // namespace flutter

namespace flutter {

namespace {

template <typename T>
void PrintElements(const std::vector<T>& list, std::ostream* out) {
  *out << "[";
  for (size_t i = 0; i < list.size(); ++i) {
    *out << (i ? ", " : "") << +list[i];
  }
  *out << "]";
}

}  // namespace

void PrintTo(const EncodableValue& value, std::ostream* out) {
  switch (value.index()) {
    case EncodableValue::kNull:
      *out << "null";
      break;
    case EncodableValue::kBool:
      *out << (std::get<bool>(value) ? "true" : "false");
      break;
    case EncodableValue::kInt32:
      *out << "int32 " << std::get<int32_t>(value);
      break;
    case EncodableValue::kInt64:
      *out << "int64 " << std::get<int64_t>(value);
      break;
    case EncodableValue::kDouble:
      *out << "double " << std::get<double>(value);
      break;
    case EncodableValue::kString:
      *out << '"' << std::get<std::string>(value) << '"';
      break;
    case EncodableValue::kUint8List:
      *out << "uint8";
      PrintElements(std::get<std::vector<uint8_t>>(value), out);
      break;
    case EncodableValue::kInt32List:
      *out << "int32";
      PrintElements(std::get<std::vector<int32_t>>(value), out);
      break;
    case EncodableValue::kInt64List:
      *out << "int64";
      PrintElements(std::get<std::vector<int64_t>>(value), out);
      break;
    case EncodableValue::kDoubleList:
      *out << "double";
      PrintElements(std::get<std::vector<double>>(value), out);
      break;
    case EncodableValue::kList: {
      *out << "[";
      const auto& list = std::get<EncodableValueList>(value);
      for (size_t i = 0; i < list.size(); ++i) {
        *out << (i ? ", " : "");
        PrintTo(list[i], out);
      }
      *out << "]";
      break;
    }
    case EncodableValue::kMap: {
      *out << "{";
      bool first = true;
      for (const auto& entry : std::get<EncodableValueMap>(value)) {
        *out << (first ? "" : ", ");
        first = false;
        PrintTo(entry.first, out);
        *out << ": ";
        PrintTo(entry.second, out);
      }
      *out << "}";
      break;
    }
    case EncodableValue::kCustom:
      *out << "custom " << std::get<CustomValue>(value).type().name();
      break;
    case EncodableValue::kFloatList:
      *out << "float";
      PrintElements(std::get<std::vector<float>>(value), out);
      break;
  }
}

}  // namespace flutter
