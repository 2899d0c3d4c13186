// The table of hostile inputs (hostile_inputs.txt beside this file): bad
// messages for both channels with the answers, standard-error lines and log
// lines they must produce. Parsed here, run through the real executable by
// hostile_input_test.cc and mixed into the soak.
#ifndef VELORA_TESTS_HOSTILE_HOSTILE_TABLE_H_
#define VELORA_TESTS_HOSTILE_HOSTILE_TABLE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velora::test {

struct HostileRow {
  int table_line = 0;
  std::string channel;
  // One scenario step: "send CHANNEL HEX" or "call CHANNEL METHOD [VALUE]".
  std::string step;
  // Hex of the reply; empty for the empty reply; '.' matches any digit.
  // (Patterns made in code may also hold '*'; see HexMatches.)
  std::string answer;
  std::vector<std::string> stderr_lines;
  std::vector<std::string> run_log;
  std::vector<std::string> gpu_log;
  std::string note;
  // True when the answer does not depend on what earlier rows did, so the
  // row may run anywhere out of full screen (the soak mixes these in): no
  // run-log lines, no video host or full-screen changes, no native mode, no
  // successful resize, no "isFullscreen" answered true; on the GPU channel
  // only empty answers, "bad_args" and "texture_error".
  bool stateless = false;
};

// The rows in table order, or nothing with the reason in `error`.
std::optional<std::vector<HostileRow>> ParseHostileTable(const std::string& text,
                                                         std::string* error);

// Expands "(HEX)*N" groups and drops blanks; nothing for malformed text.
std::optional<std::string> ExpandHex(const std::string& text);

// Whether `actual` (lower-case hex) matches `expected`, where '.' in
// `expected` stands for any one digit and '*' for any run of digits.
bool HexMatches(const std::string& expected, const std::string& actual);

// "create" of a texture of the host's own: Wine cannot share a Direct3D 11
// texture (GetSharedHandle answers E_NOTIMPL), so there it answers
// kOwnTextureRefused and logs only "HandleCreate begin"; Windows shares it.
extern const char kOwnTextureRefused[];
// The answer and the GPU log lines where it is shared under `id`: a handle
// of digits nobody knows in advance, the size asked for.
std::string OwnTextureCreatedAnswer(int64_t id);
std::vector<std::string> OwnTextureCreatedLog(int64_t id, int width, int height);

// The first difference between expected and actual lines, or "" when they
// agree. An expected line starting with "~" is a regular expression (the
// rest of the line) that the actual line must match.
std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual);

}  // namespace velora::test

#endif  // VELORA_TESTS_HOSTILE_HOSTILE_TABLE_H_
