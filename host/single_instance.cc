#include "host/single_instance.h"

#include <algorithm>
#include <utility>

#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/encodable_value.h"
#include "messaging/standard_codec_serializer.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;

namespace {

constexpr char kArgumentsKey[] = "arguments";
constexpr char kWorkingDirectoryKey[] = "workingDirectory";
// A serving host that answers but refuses (or hangs) gets this many tries.
constexpr int kHandOverAttempts = 3;

// Holds the registry's lock for one scope, where it could be had.
class RegistryLock {
 public:
  explicit RegistryLock(InstanceRegistry& registry)
      : registry_(registry), locked_(registry.Lock()) {}
  ~RegistryLock() { Release(); }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

  void Release() {
    if (locked_) {
      registry_.Unlock();
      locked_ = false;
    }
  }

 private:
  InstanceRegistry& registry_;
  bool locked_;
};

}  // namespace

std::vector<uint8_t> EncodeSecondLaunch(const SecondLaunch& launch) {
  EncodableValueList arguments;
  arguments.reserve(launch.arguments.size());
  for (const std::string& argument : launch.arguments) {
    arguments.emplace_back(argument);
  }
  EncodableValueMap map;
  map.emplace(EncodableValue(kArgumentsKey), EncodableValue(std::move(arguments)));
  map.emplace(EncodableValue(kWorkingDirectoryKey), EncodableValue(launch.working_directory));
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::Shared().WriteValue(EncodableValue(std::move(map)), &writer);
  return bytes;
}

std::optional<SecondLaunch> DecodeSecondLaunch(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size == 0 || size > kMaxSecondLaunchBytes) {
    return std::nullopt;
  }
  flutter::ByteBufferStreamReader reader(bytes, size);
  const EncodableValue value = flutter::StandardCodecSerializer::Shared().ReadValue(&reader);
  const auto* map = std::get_if<EncodableValueMap>(&value);
  if (map == nullptr) {
    return std::nullopt;
  }
  const EncodableValue* arguments = flutter::FindValue(*map, kArgumentsKey);
  const EncodableValue* directory = flutter::FindValue(*map, kWorkingDirectoryKey);
  const auto* list = arguments != nullptr ? std::get_if<EncodableValueList>(arguments) : nullptr;
  const auto* text = directory != nullptr ? std::get_if<std::string>(directory) : nullptr;
  if (list == nullptr || text == nullptr) {
    return std::nullopt;
  }
  SecondLaunch launch;
  launch.working_directory = *text;
  launch.arguments.reserve(list->size());
  for (const EncodableValue& argument : *list) {
    const auto* string = std::get_if<std::string>(&argument);
    if (string == nullptr) {
      return std::nullopt;
    }
    launch.arguments.push_back(*string);
  }
  // The reader reads cut or padded input as zeros and empty values instead
  // of failing; only bytes that encode back to themselves were read whole,
  // with no other key and nothing after the value.
  const std::vector<uint8_t> canonical = EncodeSecondLaunch(launch);
  if (canonical.size() != size || !std::equal(canonical.begin(), canonical.end(), bytes)) {
    return std::nullopt;
  }
  return launch;
}

InstanceRegistry::HostId HandOverToServingHost(InstanceRegistry& registry,
                                               const SecondLaunch& launch) {
  const InstanceRegistry::HostId host = registry.FindServingHost();
  if (host != InstanceRegistry::kNoHost && registry.Deliver(host, launch)) {
    return host;
  }
  return InstanceRegistry::kNoHost;
}

SingleInstanceOutcome EnableSingleInstance(InstanceRegistry& registry, const SecondLaunch& launch) {
  if (registry.IsServing()) {
    return SingleInstanceOutcome::kServing;
  }
  for (int attempt = 0; attempt < kHandOverAttempts; ++attempt) {
    RegistryLock lock(registry);
    const InstanceRegistry::HostId host = registry.FindServingHost();
    if (host == InstanceRegistry::kNoHost) {
      registry.StartServing();
      return SingleInstanceOutcome::kServing;
    }
    // Not under the lock: the serving host may take a while to answer, and
    // nobody else needs to wait for that.
    lock.Release();
    if (registry.Deliver(host, launch)) {
      return SingleInstanceOutcome::kHandedOver;
    }
  }
  RegistryLock lock(registry);
  registry.StartServing();
  return SingleInstanceOutcome::kServing;
}

}  // namespace velora
