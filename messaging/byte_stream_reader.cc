#include "messaging/byte_stream_reader.h"

#include "messaging/diagnostic_line.h"

namespace flutter {

ByteStreamReader::~ByteStreamReader() = default;

const uint8_t* ByteStreamReader::ReadInPlace(size_t length) {
  (void)length;  // Readers without a contiguous buffer have nothing to lend.
  return nullptr;
}

void ByteStreamReader::ReportInvalidRead() {
  WriteDiagnosticLine("Invalid read in StandardCodecByteStreamReader");
}

}  // namespace flutter
