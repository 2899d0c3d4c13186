#include "window_channel/window_arguments.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

const EncodableValueMap* ArgumentMap(const EncodableValue* arguments) {
  return arguments != nullptr ? std::get_if<EncodableValueMap>(arguments) : nullptr;
}

std::optional<int32_t> FindIntArgument(const EncodableValueMap& map, const char* key) {
  const EncodableValue* entry = flutter::FindValue(map, key);
  if (entry == nullptr) {
    return std::nullopt;
  }
  if (const int32_t* small = std::get_if<int32_t>(entry)) {
    return *small;
  }
  if (const int64_t* large = std::get_if<int64_t>(entry)) {
    // The low 32 bits as two's complement; well defined since C++20 and on
    // every compiler we build with.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(*large)));
  }
  return std::nullopt;
}

void ReadIntArgument(const EncodableValueMap& map, const char* key, int32_t& value) {
  if (std::optional<int32_t> found = FindIntArgument(map, key)) {
    value = *found;
  }
}

void ReadNumberArgument(const EncodableValueMap& map, const char* key, double& value, bool& found) {
  const EncodableValue* entry = flutter::FindValue(map, key);
  if (entry == nullptr) {
    return;
  }
  if (const double* real = std::get_if<double>(entry)) {
    value = *real;
    found = true;
  } else if (const int32_t* small = std::get_if<int32_t>(entry)) {
    value = *small;
    found = true;
  } else if (const int64_t* large = std::get_if<int64_t>(entry)) {
    value = static_cast<double>(*large);
    found = true;
  }
}

std::optional<bool> ReadBoolArgument(const EncodableValueMap& map, const char* key) {
  const EncodableValue* entry = flutter::FindValue(map, key);
  if (entry == nullptr) {
    return std::nullopt;
  }
  if (const bool* flag = std::get_if<bool>(entry)) {
    return *flag;
  }
  return std::nullopt;
}

const std::string* ReadStringArgument(const EncodableValueMap& map, const char* key) {
  const EncodableValue* entry = flutter::FindValue(map, key);
  return entry != nullptr ? std::get_if<std::string>(entry) : nullptr;
}

}  // namespace velora
