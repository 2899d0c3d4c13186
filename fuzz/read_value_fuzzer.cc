// Reads any bytes as one value, then checks that what was read is stable:
// writing it and reading that back must give the same bytes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/standard_codec_serializer.h"

namespace {

using flutter::ByteBufferStreamReader;
using flutter::ByteBufferStreamWriter;
using flutter::EncodableValue;
using flutter::StandardCodecSerializer;

std::vector<uint8_t> Write(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::Shared().WriteValue(value, &writer);
  return bytes;
}

EncodableValue Read(const uint8_t* data, size_t size) {
  ByteBufferStreamReader reader(data, size);
  return StandardCodecSerializer::Shared().ReadValue(&reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> first = Write(Read(data, size));
  std::vector<uint8_t> second = Write(Read(first.data(), first.size()));
  if (first != second) {
    std::abort();
  }
  return 0;
}
