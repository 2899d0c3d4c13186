#ifndef MESSAGING_BYTE_BUFFER_STREAM_READER_H_
#define MESSAGING_BYTE_BUFFER_STREAM_READER_H_

#include <cstddef>
#include <cstdint>

#include "messaging/byte_stream_reader.h"

namespace flutter {

// Reads a message in place from a buffer that the caller owns and keeps alive
// for the reader's lifetime. Never copies the message.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size);
  ~ByteBufferStreamReader() override;

  ByteBufferStreamReader(const ByteBufferStreamReader&) = delete;
  ByteBufferStreamReader& operator=(const ByteBufferStreamReader&) = delete;

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* destination, size_t length) override;
  void SkipToAlignment(size_t alignment) override;
  size_t BytesRemaining() const override;
  const uint8_t* ReadInPlace(size_t length) override;

  // Index of the next byte to read; may pass the end after an alignment skip.
  size_t position() const { return position_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace flutter

#endif  // MESSAGING_BYTE_BUFFER_STREAM_READER_H_
