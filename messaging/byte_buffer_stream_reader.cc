#include "messaging/byte_buffer_stream_reader.h"

#include <cstring>

namespace flutter {

ByteBufferStreamReader::ByteBufferStreamReader(const uint8_t* bytes, size_t size)
    : bytes_(bytes), size_(size) {}

ByteBufferStreamReader::~ByteBufferStreamReader() = default;

uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    ReportInvalidRead();
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* destination, size_t length) {
  // Alignment may have moved past the end; even a read of nothing fails there.
  if (position_ > size_ || length > size_ - position_) {
    ReportInvalidRead();
    return;
  }
  if (length > 0) {  // memcpy with a null pointer is undefined even for 0 bytes.
    std::memcpy(destination, bytes_ + position_, length);
    position_ += length;
  }
}

void ByteBufferStreamReader::SkipToAlignment(size_t alignment) {
  size_t remainder = position_ % alignment;
  if (remainder != 0) {
    position_ += alignment - remainder;
  }
}

size_t ByteBufferStreamReader::BytesRemaining() const {
  return position_ < size_ ? size_ - position_ : 0;
}

const uint8_t* ByteBufferStreamReader::ReadInPlace(size_t length) {
  if (position_ > size_ || length > size_ - position_) {
    return nullptr;
  }
  const uint8_t* start = bytes_ + position_;
  position_ += length;
  return start;
}

}  // namespace flutter
