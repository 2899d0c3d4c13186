#ifndef MESSAGING_BYTE_STREAM_READER_H_
#define MESSAGING_BYTE_STREAM_READER_H_

#include <cstddef>
#include <cstdint>

namespace flutter {

// A source of message bytes for the standard codec. One reader serves one
// message; alignment is relative to the message's first byte.
class ByteStreamReader {
 public:
  ByteStreamReader() = default;
  virtual ~ByteStreamReader();
  ByteStreamReader(const ByteStreamReader&) = delete;
  ByteStreamReader& operator=(const ByteStreamReader&) = delete;

  // The next byte, or 0 (with a diagnostic line) when none is left.
  virtual uint8_t ReadByte() = 0;

  // Copies the next `length` bytes into `destination`. When fewer are left it
  // writes a diagnostic line and copies nothing.
  virtual void ReadBytes(uint8_t* destination, size_t length) = 0;

  // Advances to the next multiple of `alignment`, without a bounds check.
  virtual void SkipToAlignment(size_t alignment) = 0;

  // How many bytes are left. The codec compares every announced count with it
  // before allocating, so a short message cannot demand more memory than it
  // carries.
  virtual size_t BytesRemaining() const = 0;

  // The next `length` bytes in place, advancing past them; nullptr (nothing
  // consumed, no diagnostic) exactly when they are not all there. The codec
  // builds strings and typed lists from the message in one pass this way, so
  // every reader keeps the message in one contiguous buffer.
  virtual const uint8_t* ReadInPlace(size_t length) = 0;

  // Writes the line that reports a read past the end of the message, for
  // readers and for the codec when it refuses a count.
  static void ReportInvalidRead();
};

}  // namespace flutter

#endif  // MESSAGING_BYTE_STREAM_READER_H_
