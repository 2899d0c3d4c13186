// docs/channels.md, the Dart team's reference, names exactly the methods the
// two handlers serve and the event types the host sends, gives each method
// an example call, and names the session object as the host has it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gpu_texture/gpu_texture_plugin.h"
#include "host/single_instance.h"
#include "window_channel/window_channel_handler.h"
#include "window_channel/window_events.h"

namespace velora {
namespace {

using Names = std::set<std::string>;

// The quoted names of a heading: ### "create", "createGpuTexture"
Names QuotedNames(const std::string& heading) {
  Names names;
  size_t open = heading.find('"');
  while (open != std::string::npos) {
    const size_t close = heading.find('"', open + 1);
    if (close == std::string::npos) {
      break;
    }
    names.insert(heading.substr(open + 1, close - open - 1));
    open = heading.find('"', close + 1);
  }
  return names;
}

struct Reference {
  std::string text;
  // Per channel: each method heading's names and the text below it.
  std::map<std::string, std::vector<std::pair<Names, std::string>>> methods;
  Names event_types;
};

Reference ReadReference() {
  Reference reference;
  std::ifstream in(VELORA_CHANNEL_REFERENCE);
  std::stringstream text;
  text << in.rdbuf();
  reference.text = text.str();
  std::string channel;
  bool events = false;
  std::vector<std::pair<Names, std::string>>* methods = nullptr;
  std::string line;
  std::istringstream lines(reference.text);
  while (std::getline(lines, line)) {
    if (line.rfind("## ", 0) == 0) {
      methods = nullptr;
      events = line.rfind("## Events on ", 0) == 0;
      if (line.rfind("## Channel \"", 0) == 0) {
        channel = *QuotedNames(line).begin();
        methods = &reference.methods[channel];
      }
    } else if (line.rfind("### ", 0) == 0) {
      if (events && line.rfind("### type \"", 0) == 0) {
        reference.event_types.merge(QuotedNames(line));
      } else if (methods != nullptr) {
        methods->emplace_back(QuotedNames(line), std::string());
      }
    } else if (methods != nullptr && !methods->empty()) {
      methods->back().second += line + "\n";
    }
  }
  return reference;
}

Names Served(const std::vector<std::string>& names) {
  return Names(names.begin(), names.end());
}

Names Documented(const Reference& reference, const std::string& channel) {
  Names names;
  const auto found = reference.methods.find(channel);
  if (found != reference.methods.end()) {
    for (const auto& [heading, body] : found->second) {
      names.insert(heading.begin(), heading.end());
    }
  }
  return names;
}

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; *text != L'\0'; ++text) {
    narrow.push_back(static_cast<char>(*text));  // the names are ASCII
  }
  return narrow;
}

TEST(ChannelReferenceTest, NamesExactlyTheServedMethodsAndSentEvents) {
  const Reference reference = ReadReference();
  ASSERT_FALSE(reference.text.empty()) << VELORA_CHANNEL_REFERENCE;
  // A served method missing from the reference, or a documented one that is
  // not served, shows up in the difference.
  EXPECT_EQ(Documented(reference, kWindowChannelName), Served(WindowChannelMethodNames()));
  EXPECT_EQ(Documented(reference, kGpuTextureChannelName), Served(GpuTexturePlugin::MethodNames()));
  EXPECT_EQ(reference.methods.size(), 2u);
  EXPECT_EQ(reference.event_types,
            Names(std::begin(kWindowEventTypes), std::end(kWindowEventTypes)));
}

TEST(ChannelReferenceTest, EveryMethodHasAnExampleCallAndItsRowInTheSummary) {
  const Reference reference = ReadReference();
  for (const auto& [channel, methods] : reference.methods) {
    for (const auto& [names, body] : methods) {
      const std::string first = *names.begin();
      bool example = false;
      for (const std::string& name : names) {
        example = example || body.find("invokeMethod('" + name + "'") != std::string::npos;
      }
      EXPECT_TRUE(example) << channel << " " << first << ": no example call";
      EXPECT_NE(body.find("Answer"), std::string::npos) << channel << " " << first;
      EXPECT_NE(body.find("Errors"), std::string::npos) << channel << " " << first;
      EXPECT_NE(reference.text.find("| \"" + first + "\""), std::string::npos)
          << channel << " " << first << ": no summary row";
    }
  }
}

TEST(ChannelReferenceTest, NamesTheSessionObjectAndTheHandOverAsTheHostHasThem) {
  const Reference reference = ReadReference();
  EXPECT_NE(reference.text.find("    " + Narrow(kSessionObjectName) + "\n"), std::string::npos);
  EXPECT_NE(reference.text.find("\"" + Narrow(kServingWindowClass) + "\""), std::string::npos);
  for (uint32_t value : {kSecondLaunchTag, kSecondLaunchAccepted}) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(value));
    EXPECT_NE(reference.text.find(hex), std::string::npos) << hex;
  }
}

}  // namespace
}  // namespace velora
