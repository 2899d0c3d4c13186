#include "standins/embedder/scenario/scenario.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/scenario/value_text.h"

namespace velora::standin {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// Splits off the first space-separated word.
std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  const size_t end = rest.find_first_of(" \t");
  std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : Trim(rest.substr(end));
  return word;
}

std::optional<uint64_t> ParseNumber(std::string_view word) {
  if (word.empty())
    return std::nullopt;
  const std::string text(word);
  errno = 0;
  char* end = nullptr;
  const bool negative = text[0] == '-';
  const unsigned long long value = std::strtoull(text.c_str() + (negative ? 1 : 0), &end, 0);
  if (*end != '\0' || errno == ERANGE)
    return std::nullopt;
  return negative ? static_cast<uint64_t>(0) - value : static_cast<uint64_t>(value);
}

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view text, std::string* error) {
  Scenario scenario;
  int line_number = 0;
  auto fail = [&](const std::string& why) {
    if (error != nullptr) {
      *error = "line " + std::to_string(line_number) + ": " + why;
    }
    return std::nullopt;
  };
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++line_number;
    if (line.empty() || line.front() == '#')
      continue;

    ScenarioStep step;
    step.line = line_number;
    step.text = std::string(line);
    std::string_view rest = line;
    const std::string_view verb = NextWord(rest);
    if (verb == "noframe") {
      scenario.auto_first_frame = false;
      continue;
    }
    if (verb == "repeatframes") {
      scenario.repeat_next_frame_callback = true;
      continue;
    }
    if (verb == "call") {
      step.kind = ScenarioStep::Kind::kCall;
      step.channel = std::string(NextWord(rest));
      const std::string method(NextWord(rest));
      if (step.channel.empty() || method.empty())
        return fail("call needs a channel and a method");
      std::unique_ptr<flutter::EncodableValue> arguments;
      if (!rest.empty()) {
        std::string why;
        std::optional<flutter::EncodableValue> value = ParseValueText(rest, &why);
        if (!value)
          return fail(why);
        arguments = std::make_unique<flutter::EncodableValue>(std::move(*value));
      }
      flutter::MethodCall<flutter::EncodableValue> call(method, std::move(arguments));
      step.bytes = *flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
    } else if (verb == "send") {
      step.kind = ScenarioStep::Kind::kSend;
      step.channel = std::string(NextWord(rest));
      std::optional<std::vector<uint8_t>> bytes = FromHex(rest);
      if (step.channel.empty() || !bytes)
        return fail("send needs a channel and hex bytes");
      step.bytes = std::move(*bytes);
    } else if (verb == "post" || verb == "sendmsg" || verb == "childmsg") {
      step.kind = verb == "post"      ? ScenarioStep::Kind::kPost
                  : verb == "sendmsg" ? ScenarioStep::Kind::kSendMessage
                                      : ScenarioStep::Kind::kChildMessage;
      if (step.kind == ScenarioStep::Kind::kChildMessage) {
        step.channel = std::string(NextWord(rest));
        if (step.channel.empty())
          return fail("childmsg needs a window class");
      }
      const std::optional<uint64_t> message = ParseNumber(NextWord(rest));
      if (!message)
        return fail("a message number is needed");
      step.message = static_cast<uint32_t>(*message);
      if (!rest.empty()) {
        const std::optional<uint64_t> wparam = ParseNumber(NextWord(rest));
        if (!wparam)
          return fail("bad wparam");
        step.wparam = *wparam;
      }
      if (!rest.empty()) {
        const std::optional<uint64_t> lparam = ParseNumber(NextWord(rest));
        if (!lparam)
          return fail("bad lparam");
        step.lparam = static_cast<int64_t>(*lparam);
      }
    } else if (verb == "offered") {
      step.kind = ScenarioStep::Kind::kOffered;
      const std::optional<uint64_t> message = ParseNumber(NextWord(rest));
      if (!message)
        return fail("a message number is needed");
      step.message = static_cast<uint32_t>(*message);
    } else if (verb == "sleep") {
      step.kind = ScenarioStep::Kind::kSleep;
      const std::optional<uint64_t> ms = ParseNumber(NextWord(rest));
      if (!ms || *ms > 600000)
        return fail("sleep needs milliseconds (at most 600000)");
      step.milliseconds = static_cast<uint32_t>(*ms);
    } else if (verb == "window") {
      step.kind = ScenarioStep::Kind::kWindow;
    } else if (verb == "children") {
      step.kind = ScenarioStep::Kind::kChildren;
    } else if (verb == "monitor") {
      step.kind = ScenarioStep::Kind::kMonitor;
    } else if (verb == "engine") {
      step.kind = ScenarioStep::Kind::kEngine;
    } else if (verb == "frame") {
      step.kind = ScenarioStep::Kind::kFrame;
    } else if (verb == "close") {
      step.kind = ScenarioStep::Kind::kClose;
    } else if (verb == "crash") {
      step.kind = ScenarioStep::Kind::kCrash;
    } else if (verb == "resources") {
      step.kind = ScenarioStep::Kind::kResources;
    } else if (verb == "zorder") {
      step.kind = ScenarioStep::Kind::kZOrder;
    } else if (verb == "execstate") {
      step.kind = ScenarioStep::Kind::kExecState;
    } else if (verb == "gate") {
      step.kind = ScenarioStep::Kind::kGate;
      step.channel = std::string(NextWord(rest));
      if (step.channel.empty())
        return fail("gate needs a name");
    } else if (verb == "refusesends") {
      step.kind = ScenarioStep::Kind::kRefuseSends;
      const std::optional<uint64_t> flag = ParseNumber(NextWord(rest));
      if (!flag || *flag > 1)
        return fail("refusesends needs 0 or 1");
      step.number = static_cast<int64_t>(*flag);
    } else if (verb == "nexttextureid" || verb == "frames") {
      step.kind =
          verb == "frames" ? ScenarioStep::Kind::kFrames : ScenarioStep::Kind::kNextTextureId;
      const std::optional<uint64_t> id = ParseNumber(NextWord(rest));
      if (!id)
        return fail("a texture id is needed");
      step.number = static_cast<int64_t>(*id);
      if (step.kind == ScenarioStep::Kind::kFrames) {
        const std::optional<uint64_t> count = ParseNumber(NextWord(rest));
        if (!count || *count > 10000000)
          return fail("frames needs a count (at most 10000000)");
        step.count = static_cast<uint32_t>(*count);
      }
    } else {
      return fail("unknown step '" + std::string(verb) + "'");
    }
    if (!rest.empty() && step.kind != ScenarioStep::Kind::kCall &&
        step.kind != ScenarioStep::Kind::kSend) {
      return fail("unexpected text after the step");
    }
    scenario.steps.push_back(std::move(step));
  }
  return scenario;
}

}  // namespace velora::standin
