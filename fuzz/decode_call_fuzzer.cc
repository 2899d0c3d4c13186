// Decodes any bytes as a method call; a call that comes out must encode to
// bytes that decode to the same call again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "messaging/standard_method_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer();
  auto call = codec.DecodeCall(data, size);
  if (call == nullptr) {
    return 0;
  }
  std::unique_ptr<std::vector<uint8_t>> first = codec.EncodeCall(*call);
  auto again = codec.DecodeCall(first->data(), first->size());
  if (again == nullptr || again->MethodName() != call->MethodName()) {
    std::abort();
  }
  if (*codec.EncodeCall(*again) != *first) {
    std::abort();
  }
  return 0;
}
