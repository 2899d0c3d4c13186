#ifndef MESSAGING_BYTE_STREAM_WRITER_H_
#define MESSAGING_BYTE_STREAM_WRITER_H_

#include <cstddef>
#include <cstdint>

namespace flutter {

// A sink of message bytes for the standard codec. One writer serves one
// message; alignment is relative to the message's first byte.
class ByteStreamWriter {
 public:
  ByteStreamWriter() = default;
  virtual ~ByteStreamWriter();
  ByteStreamWriter(const ByteStreamWriter&) = delete;
  ByteStreamWriter& operator=(const ByteStreamWriter&) = delete;

  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* source, size_t length) = 0;
  // Appends zero bytes until the length is a multiple of `alignment`.
  virtual void PadToAlignment(size_t alignment) = 0;
  // Announces that about `length` more bytes follow, before a large value,
  // so that a writer with a growing buffer grows it once. A hint only; by
  // default nothing.
  virtual void Reserve(size_t length);
};

}  // namespace flutter

#endif  // MESSAGING_BYTE_STREAM_WRITER_H_
