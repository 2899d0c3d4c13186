#ifndef MESSAGING_BYTE_BUFFER_STREAM_WRITER_H_
#define MESSAGING_BYTE_BUFFER_STREAM_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "messaging/byte_stream_writer.h"

namespace flutter {

// Appends a message to a vector that the caller owns; the vector's length is
// the write position, so alignment counts from the vector's start.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer);
  ~ByteBufferStreamWriter() override;

  ByteBufferStreamWriter(const ByteBufferStreamWriter&) = delete;
  ByteBufferStreamWriter& operator=(const ByteBufferStreamWriter&) = delete;

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* source, size_t length) override;
  void PadToAlignment(size_t alignment) override;
  void Reserve(size_t length) override;

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // MESSAGING_BYTE_BUFFER_STREAM_WRITER_H_
