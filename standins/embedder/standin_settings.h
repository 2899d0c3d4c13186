// Settings of the stand-in embedder. Unlike the host, the stand-in may read
// its own environment, so tests can steer it.
#ifndef VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_
#define VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace velora::standin {

// Overrides the DPI the stand-in reports for every monitor, e.g. "144".
constexpr char kDpiOverrideVariable[] = "VELORA_STANDIN_DPI";
// "1": FlutterDesktopViewControllerCreate refuses.
constexpr char kRefuseViewControllerVariable[] = "VELORA_STANDIN_REFUSE_VIEW_CONTROLLER";
// Top-level messages the engine claims, with its result: "0x1D=7,0x231=0".
constexpr char kClaimMessagesVariable[] = "VELORA_STANDIN_CLAIM_MESSAGES";

// A decimal DPI from 1 to 9999, or nothing for absent or malformed text.
std::optional<uint32_t> ParseDpiOverride(const char* text);

// Message -> result pairs; malformed entries are skipped.
std::map<unsigned int, intptr_t> ParseClaimedMessages(const std::string& text);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_STANDIN_SETTINGS_H_
