#include "messaging/byte_buffer_stream_writer.h"

#include <algorithm>

namespace flutter {

ByteBufferStreamWriter::ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

ByteBufferStreamWriter::~ByteBufferStreamWriter() = default;

void ByteBufferStreamWriter::WriteByte(uint8_t byte) {
  buffer_->push_back(byte);
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* source, size_t length) {
  if (length > 0) {
    buffer_->insert(buffer_->end(), source, source + length);
  }
}

void ByteBufferStreamWriter::PadToAlignment(size_t alignment) {
  size_t remainder = buffer_->size() % alignment;
  if (remainder != 0) {
    buffer_->insert(buffer_->end(), alignment - remainder, 0);
  }
}

void ByteBufferStreamWriter::Reserve(size_t length) {
  const size_t needed = buffer_->size() + length;
  if (needed > buffer_->capacity()) {
    // At least doubling, so that many announcements in a row still grow the
    // buffer geometrically.
    buffer_->reserve(std::max(needed, 2 * buffer_->capacity()));
  }
}

}  // namespace flutter
