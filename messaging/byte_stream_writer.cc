#include "messaging/byte_stream_writer.h"

namespace flutter {

ByteStreamWriter::~ByteStreamWriter() = default;

}  // namespace flutter
