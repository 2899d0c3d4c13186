#include "window_channel/window_arguments.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

namespace {

// The value as the alternative T, or null when it is absent or another kind.
template <typename T>
const T* As(const EncodableValue* value) {
  return value != nullptr ? std::get_if<T>(value) : nullptr;
}

}  // namespace

const EncodableValueMap* ArgumentMap(const EncodableValue* arguments) {
  return As<EncodableValueMap>(arguments);
}

std::optional<int32_t> FindIntArgument(const EncodableValueMap& map, const char* key) {
  const EncodableValue* entry = flutter::FindValue(map, key);
  if (const int32_t* small = As<int32_t>(entry)) {
    return *small;
  }
  if (const int64_t* large = As<int64_t>(entry)) {
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
  if (const double* real = As<double>(entry)) {
    value = *real;
    found = true;
  } else if (const int32_t* small = As<int32_t>(entry)) {
    value = *small;
    found = true;
  } else if (const int64_t* large = As<int64_t>(entry)) {
    value = static_cast<double>(*large);
    found = true;
  }
}

std::optional<bool> ReadBoolArgument(const EncodableValueMap& map, const char* key) {
  const bool* flag = As<bool>(flutter::FindValue(map, key));
  return flag != nullptr ? std::optional<bool>(*flag) : std::nullopt;
}

const std::string* ReadStringArgument(const EncodableValueMap& map, const char* key) {
  return As<std::string>(flutter::FindValue(map, key));
}

}  // namespace velora
