#include "host/debug_console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velora {
namespace {

class RecordingConsole : public ConsolePlatform {
 public:
  bool parent = false;
  bool debugger = false;
  bool allocates = true;
  bool stdout_reopens = true;
  bool stderr_reopens = true;
  std::vector<std::string> calls;

  bool AttachParentConsole() override { return Log("attach", parent); }
  bool DebuggerPresent() override { return Log("debugger?", debugger); }
  bool AllocateConsole() override { return Log("alloc", allocates); }
  bool ReopenStdout() override { return Log("reopen stdout", stdout_reopens); }
  bool ReopenStderr() override { return Log("reopen stderr", stderr_reopens); }
  void DuplicateStdoutOnto(int descriptor) override {
    calls.push_back("dup stdout onto " + std::to_string(descriptor));
  }
  void SyncLibraryStreams() override { calls.push_back("sync"); }
  void ResyncEngineStreams() override { calls.push_back("engine resync"); }

 private:
  bool Log(const char* name, bool result) {
    calls.push_back(std::string(name) + (result ? " ok" : " fails"));
    return result;
  }
};

using Calls = std::vector<std::string>;

TEST(DebugConsoleTest, ParentConsoleMeansNothingElseHappens) {
  RecordingConsole console;
  console.parent = true;
  console.debugger = true;
  ApplyConsoleRule(console);
  EXPECT_EQ(console.calls, Calls{"attach ok"});
}

TEST(DebugConsoleTest, WithoutADebuggerNoConsoleIsMade) {
  RecordingConsole console;
  ApplyConsoleRule(console);
  EXPECT_EQ(console.calls, (Calls{"attach fails", "debugger? fails"}));
}

TEST(DebugConsoleTest, UnderADebuggerTheStreamsMoveToANewConsole) {
  RecordingConsole console;
  console.debugger = true;
  ApplyConsoleRule(console);
  EXPECT_EQ(console.calls, (Calls{"attach fails", "debugger? ok", "alloc ok", "reopen stdout ok",
                                  "reopen stderr ok", "sync", "engine resync"}));
}

TEST(DebugConsoleTest, ReopenFailuresFallBackToDescriptorCopies) {
  RecordingConsole console;
  console.stdout_reopens = false;
  console.stderr_reopens = false;
  OpenDebugConsole(console);
  EXPECT_EQ(console.calls,
            (Calls{"alloc ok", "reopen stdout fails", "dup stdout onto 1", "reopen stderr fails",
                   "dup stdout onto 2", "sync", "engine resync"}));

  RecordingConsole refused;
  refused.allocates = false;
  OpenDebugConsole(refused);
  EXPECT_EQ(refused.calls, Calls{"alloc fails"});
}

}  // namespace
}  // namespace velora
