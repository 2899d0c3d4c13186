#include "tests/hostile/hostile_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace velora::test {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return std::string();
  }
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(Trim(text.substr(start, end == std::string::npos ? end : end - start)));
    if (end == std::string::npos) {
      return parts;
    }
    start = end + 1;
  }
}

// The codes of the standard-error column, as the lines they stand for.
std::optional<std::string> StderrLine(const std::string& code, const std::string& channel) {
  if (code == "R") return std::string("Invalid read in StandardCodecByteStreamReader");
  if (code == "S") return std::string("Invalid method call; method name is not a string.");
  if (code == "C") return "Unable to construct method call from message on channel " + channel;
  if (code == "D") {
    return std::string("Value nested deeper than 64 levels in StandardCodecSerializer::ReadValue");
  }
  if (code.size() > 1 && code[0] == 'U') {
    const std::string number = code.substr(1);
    if (number.find_first_not_of("0123456789") == std::string::npos) {
      return "Unknown type in StandardCodecSerializer::ReadValueOfType: " + number;
    }
  }
  return std::nullopt;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// See HostileRow::stateless.
bool IsStateless(const HostileRow& row) {
  if (row.channel == "velora/window") {
    return row.run_log.empty() && !Contains(row.answer, ".") &&
           !Contains(row.step, "setNativeVideoMode") && !Contains(row.step, "toggleFullscreen") &&
           !Contains(row.step, "createVideoHost") && !Contains(row.step, "destroyVideoHost") &&
           !(Contains(row.step, "resizeWindow") && row.answer == "0001") &&
           !(Contains(row.step, "isFullscreen") && row.answer == "0001");
  }
  // The GPU channel's successes and "not_found" depend on the live ids.
  return row.answer.empty() || row.answer.rfind("01070862616", 0) == 0 ||  // "bad_args"
         row.answer.rfind("01070d74657874", 0) == 0;                       // "texture_error"
}

}  // namespace

std::optional<std::string> ExpandHex(const std::string& text) {
  std::string hex;
  size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == ' ' || c == '\t') {
      ++at;
    } else if (c == '(') {
      const size_t close = text.find(')', at);
      if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != '*') {
        return std::nullopt;
      }
      std::optional<std::string> group = ExpandHex(text.substr(at + 1, close - at - 1));
      size_t end = close + 2;
      while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
      if (!group || end == close + 2) {
        return std::nullopt;
      }
      const long count = std::strtol(text.substr(close + 2, end - close - 2).c_str(), nullptr, 10);
      for (long i = 0; i < count; ++i) hex += *group;
      at = end;
    } else if (std::isxdigit(static_cast<unsigned char>(c))) {
      hex.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      ++at;
    } else {
      return std::nullopt;
    }
  }
  if (hex.size() % 2 != 0) {
    return std::nullopt;
  }
  return hex;
}

bool HexMatches(const std::string& expected, const std::string& actual) {
  // Glob matching: after a mismatch, the last '*' seen takes one digit more.
  constexpr size_t kNoStar = std::string::npos;
  size_t e = 0;
  size_t a = 0;
  size_t star = kNoStar;
  size_t star_taken_to = 0;
  while (a < actual.size()) {
    if (e < expected.size() && expected[e] == '*') {
      star = e++;
      star_taken_to = a;
    } else if (e < expected.size() && (expected[e] == '.' || expected[e] == actual[a])) {
      ++e;
      ++a;
    } else if (star != kNoStar) {
      e = star + 1;
      a = ++star_taken_to;
    } else {
      return false;
    }
  }
  while (e < expected.size() && expected[e] == '*') {
    ++e;
  }
  return e == expected.size();
}

const char kOwnTextureRefused[] =
    "01070d746578747572655f6572726f72"                    // "texture_error"
    "071f4661696c656420746f2063726561746520736861726564"  // "Failed to create shared"
    "207465787475726500";                                 // " texture", no details

std::string OwnTextureCreatedAnswer(int64_t id) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string id_hex;
  for (int i = 0; i < 8; ++i) {
    const unsigned byte = (static_cast<uint64_t>(id) >> (8 * i)) & 0xff;
    id_hex.push_back(kDigits[byte >> 4]);
    id_hex.push_back(kDigits[byte & 15]);
  }
  // {"sharedHandle": "<digits>", "textureId": id}: the handle string's
  // length and digits are the '*'.
  return "000d02" "070c73686172656448616e646c65" "07*" "0709746578747572654964" "04" + id_hex;
}

std::vector<std::string> OwnTextureCreatedLog(int64_t id, int width, int height) {
  return {"HandleCreate begin", "~HandleCreate done textureId=" + std::to_string(id) +
                                    " handle=[1-9][0-9]* w=" + std::to_string(width) +
                                    " h=" + std::to_string(height)};
}

std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual) {
  const size_t common = std::min(expected.size(), actual.size());
  for (size_t i = 0; i < common; ++i) {
    const std::string& want = expected[i];
    const bool same = want.rfind("~", 0) == 0
                          ? std::regex_match(actual[i], std::regex(want.substr(1)))
                          : want == actual[i];
    if (!same) {
      return "line " + std::to_string(i) + ": expected \"" + want + "\", got \"" + actual[i] + "\"";
    }
  }
  if (expected.size() == actual.size()) {
    return "";
  }
  return "expected " + std::to_string(expected.size()) + " lines, got " +
         std::to_string(actual.size()) +
         (actual.size() > common ? "; first extra: \"" + actual[common] + "\""
                                 : "; first missing: \"" + expected[common] + "\"");
}

std::optional<std::vector<HostileRow>> ParseHostileTable(const std::string& text,
                                                         std::string* error) {
  std::vector<HostileRow> rows;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++number;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = Split(line, '|');
    if (fields.size() != 6) return fail("six fields separated by '|' expected");
    HostileRow row;
    row.table_line = number;
    row.channel = fields[0];
    if (row.channel != "velora/window" && row.channel != "velora/gpu_texture") {
      return fail("unknown channel");
    }
    const std::string& request = fields[1];
    if (request.rfind("call ", 0) == 0) {
      row.step = "call " + row.channel + " " + Trim(request.substr(5));
    } else if (request == "empty") {
      row.step = "send " + row.channel + " ";
    } else {
      std::optional<std::string> hex = ExpandHex(request);
      if (!hex || hex->empty()) return fail("malformed request");
      row.step = "send " + row.channel + " " + *hex;
    }
    if (fields[2] != "-") {
      // Plain hex, blanks allowed; '.' wildcards are kept as they are.
      if (fields[2].find_first_not_of("0123456789abcdefABCDEF. ") != std::string::npos) {
        return fail("malformed answer");
      }
      row.answer.clear();
      for (char c : fields[2]) {
        if (c != ' ') row.answer.push_back(static_cast<char>(std::tolower(c)));
      }
      if (row.answer.size() % 2 != 0) return fail("odd number of answer digits");
    }
    if (fields[3] != "-") {
      std::istringstream codes(fields[3]);
      std::string code;
      while (codes >> code) {
        std::optional<std::string> stderr_line = StderrLine(code, row.channel);
        if (!stderr_line) return fail("unknown standard-error code " + code);
        row.stderr_lines.push_back(*stderr_line);
      }
    }
    if (fields[4] != "-") {
      for (const std::string& entry : Split(fields[4], ';')) {
        if (entry.rfind("run: ", 0) == 0) {
          row.run_log.push_back(entry.substr(5));
        } else if (entry.rfind("gpu: ", 0) == 0) {
          row.gpu_log.push_back(entry.substr(5));
        } else {
          return fail("log entries start with 'run: ' or 'gpu: '");
        }
      }
    }
    row.note = fields[5];
    row.stateless = IsStateless(row);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace velora::test
