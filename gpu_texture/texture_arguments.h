// Readers of the GPU texture channel's arguments and the text form of shared
// handles. Arguments of a wrong kind count as absent; nothing here reports.
#ifndef VELORA_GPU_TEXTURE_TEXTURE_ARGUMENTS_H_
#define VELORA_GPU_TEXTURE_TEXTURE_ARGUMENTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "messaging/encodable_value.h"

namespace velora {

// The handle a caller passes as "sharedHandle": a 32-bit integer widened with
// its sign and taken as unsigned, a 64-bit integer bit for bit, or a string
// read as unsigned decimal (ParseUnsignedDecimal). Anything else: nothing.
std::optional<uint64_t> ParseHandleArgument(const flutter::EncodableValue& value);

// Reads text as the C library's unsigned decimal conversion does: leading
// white space skipped, one optional sign (a minus negates modulo 2^64),
// digits up to the first non-digit, the rest ignored. Nothing when no digit
// follows or the value exceeds 18446744073709551615.
std::optional<uint64_t> ParseUnsignedDecimal(std::string_view text);

// Capacity of FormatHandle's buffer: 20 digits at most, plus the terminator.
constexpr std::size_t kHandleTextCapacity = 32;

// The value as "%llu" writes it: no sign, no leading zeros, "0" for zero.
std::string FormatHandle(uint64_t value);
inline std::string FormatHandle(const void* handle) {
  return FormatHandle(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle)));
}

// "width" and "height": only the 32-bit integer alternative counts.
std::optional<int32_t> ReadInt32Argument(const flutter::EncodableValueMap& map,
                                         std::string_view key);

// "textureId": the 32-bit alternative widened with its sign, or the 64-bit one.
std::optional<int64_t> ReadTextureIdArgument(const flutter::EncodableValueMap& map);

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_TEXTURE_ARGUMENTS_H_
