#include "messaging/byte_stream_writer.h"

namespace flutter {

ByteStreamWriter::~ByteStreamWriter() = default;

void ByteStreamWriter::Reserve(size_t /*length*/) {}

}  // namespace flutter
