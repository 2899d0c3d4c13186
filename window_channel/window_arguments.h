// The four ways the window channel takes values out of an argument map.
// A key holding any other kind than the reader accepts counts as absent.
#ifndef VELORA_WINDOW_CHANNEL_WINDOW_ARGUMENTS_H_
#define VELORA_WINDOW_CHANNEL_WINDOW_ARGUMENTS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "messaging/encodable_value.h"

namespace velora {

// The argument as a map, or null when it is anything else (null included).
const flutter::EncodableValueMap* ArgumentMap(const flutter::EncodableValue* arguments);

// int32 gives its value, int64 its low 32 bits read as signed; anything
// else is absent.
std::optional<int32_t> FindIntArgument(const flutter::EncodableValueMap& map, const char* key);

// FindIntArgument, replacing `value` only when an integer is there.
void ReadIntArgument(const flutter::EncodableValueMap& map, const char* key, int32_t& value);

// double, int32 or int64 as a double; `found` tells whether one was there.
void ReadNumberArgument(const flutter::EncodableValueMap& map,
                        const char* key,
                        double& value,
                        bool& found);

std::optional<bool> ReadBoolArgument(const flutter::EncodableValueMap& map, const char* key);
const std::string* ReadStringArgument(const flutter::EncodableValueMap& map, const char* key);

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_WINDOW_ARGUMENTS_H_
