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
  bool stdout_connected = false;
  bool stderr_connected = false;
  std::vector<std::string> calls;

  bool AttachParentConsole() override { return Log("attach", parent); }
  bool DebuggerPresent() override { return Log("debugger?", debugger); }
  bool AllocateConsole() override { return Log("alloc", allocates); }
  bool StdoutConnected() override { return Log("stdout connected?", stdout_connected); }
  bool StderrConnected() override { return Log("stderr connected?", stderr_connected); }
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

// Started from a console: a GUI process attaches but gets no streams, so
// the unconnected ones are reopened on it; a redirection keeps its file. The
// debugger is never asked and no console of our own is made.
TEST(DebugConsoleTest, ParentConsoleTakesOnlyTheStreamsNotConnected) {
  struct Case {
    const char* name;
    bool stdout_connected;
    bool stderr_connected;
    bool stderr_reopens;
    Calls tail;  // after "attach ok" and the two questions
  };
  const Case cases[] = {
      {"both redirected", true, true, true, {}},
      {"neither connected",
       false,
       false,
       true,
       {"reopen stdout ok", "reopen stderr ok", "sync", "engine resync"}},
      {"output redirected", true, false, true, {"reopen stderr ok", "sync", "engine resync"}},
      {"errors redirected", false, true, true, {"reopen stdout ok", "sync", "engine resync"}},
      {"errors follow a redirected output",
       true,
       false,
       false,
       {"reopen stderr fails", "dup stdout onto 2", "sync", "engine resync"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingConsole console;
    console.parent = true;
    console.debugger = true;
    console.stdout_connected = c.stdout_connected;
    console.stderr_connected = c.stderr_connected;
    console.stderr_reopens = c.stderr_reopens;
    ApplyConsoleRule(console);
    Calls expected = {"attach ok",
                      std::string("stdout connected? ") + (c.stdout_connected ? "ok" : "fails"),
                      std::string("stderr connected? ") + (c.stderr_connected ? "ok" : "fails")};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(console.calls, expected);
  }
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
