// Settings of the stand-in embedder. Unlike the host, the stand-in may read
// its own environment, so tests can steer it.
#ifndef VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_
#define VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_

#include <cstdint>
#include <optional>

namespace velora::standin {

// Environment variable that overrides the DPI the stand-in reports for
// every monitor, e.g. "144".
constexpr char kDpiOverrideVariable[] = "VELORA_STANDIN_DPI";

// A decimal DPI from 1 to 9999, or nothing for absent or malformed text.
std::optional<uint32_t> ParseDpiOverride(const char* text);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_
