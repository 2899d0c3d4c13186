#include "messaging/byte_stream_reader.h"

#include "messaging/diagnostic_line.h"

namespace flutter {

ByteStreamReader::~ByteStreamReader() = default;

void ByteStreamReader::ReportInvalidRead() {
  WriteDiagnosticLine("Invalid read in StandardCodecByteStreamReader");
}

}  // namespace flutter
