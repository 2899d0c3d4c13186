// A compact text form of channel values for scenario files, close to JSON:
//   null true false 7 (int32) 7L or values beyond int32 (int64) 1.5 (double)
//   "text" [list] {"key": value} u8[1,2] i32[..] i64[..] f64[..] f32[..]
// Strings take \" \\ \n \t and \xHH escapes; map keys may be any value.
#ifndef VELORA_STANDINS_EMBEDDER_SCENARIO_VALUE_TEXT_H_
#define VELORA_STANDINS_EMBEDDER_SCENARIO_VALUE_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/encodable_value.h"

namespace velora::standin {

// The value, or nothing (with a reason in `error`) for malformed text.
std::optional<flutter::EncodableValue> ParseValueText(std::string_view text, std::string* error);

// Lower-case hexadecimal without separators, and back (nothing when the
// text is not an even number of hex digits; spaces are ignored).
std::string ToHex(const uint8_t* bytes, size_t size);
inline std::string ToHex(const std::vector<uint8_t>& bytes) {
  return ToHex(bytes.data(), bytes.size());
}
std::optional<std::vector<uint8_t>> FromHex(std::string_view text);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_SCENARIO_VALUE_TEXT_H_
