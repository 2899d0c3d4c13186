// The crash report and the minidump of a real fault on the platform thread
// (and of a stack overflow there), and the command line reaching the engine
// byte for byte, through the real executable.
#include <windows.h>

#include <dbghelp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using test::HexOfText;
using test::RunScenario;
using test::ScenarioRun;

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Narrow(const std::wstring& text) {
  return std::filesystem::path(text).u8string();
}

// What a minidump holds that these cases look at, read with every offset
// checked against the file's size.
struct DumpModule {
  uint64_t base = 0;
  uint32_t size = 0;
  std::wstring path;
};
struct DumpContents {
  bool valid = false;  // the signature, and every stream read lies inside the file
  uint32_t exception_thread = 0;
  uint32_t exception_code = 0;
  uint64_t exception_address = 0;
  std::vector<uint32_t> threads;
  std::vector<DumpModule> modules;

  const DumpModule* ModuleNamed(const std::wstring& file_name) const {
    for (const DumpModule& module : modules) {
      const size_t slash = module.path.find_last_of(L'\\');
      const std::wstring name =
          slash == std::wstring::npos ? module.path : module.path.substr(slash + 1);
      if (_wcsicmp(name.c_str(), file_name.c_str()) == 0) {
        return &module;
      }
    }
    return nullptr;
  }
  bool InsideAModule(uint64_t address) const {
    for (const DumpModule& module : modules) {
      if (address >= module.base && address - module.base < module.size) {
        return true;
      }
    }
    return false;
  }
};

template <typename T>
bool ReadAt(const std::string& bytes, uint64_t offset, T* out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
    return false;
  }
  std::memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}

// "MDMP" as the file's first four bytes (the header's value is a
// multi-character constant).
constexpr ULONG32 kDumpSignature = 0x504D444Du;

DumpContents ReadDump(const std::string& bytes) {
  DumpContents dump;
  MINIDUMP_HEADER header;
  if (!ReadAt(bytes, 0, &header) || header.Signature != kDumpSignature) {
    return dump;
  }
  bool complete = true;
  for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
    MINIDUMP_DIRECTORY entry;
    if (!ReadAt(bytes, header.StreamDirectoryRva + uint64_t{i} * sizeof entry, &entry)) {
      return dump;
    }
    const uint64_t at = entry.Location.Rva;
    if (entry.StreamType == ExceptionStream) {
      MINIDUMP_EXCEPTION_STREAM exception;
      complete = complete && ReadAt(bytes, at, &exception);
      dump.exception_thread = exception.ThreadId;
      dump.exception_code = exception.ExceptionRecord.ExceptionCode;
      dump.exception_address = exception.ExceptionRecord.ExceptionAddress;
    } else if (entry.StreamType == ThreadListStream) {
      ULONG32 count = 0;
      complete = complete && ReadAt(bytes, at, &count);
      for (ULONG32 t = 0; complete && t < count; ++t) {
        MINIDUMP_THREAD thread;
        complete = ReadAt(bytes, at + sizeof count + uint64_t{t} * sizeof thread, &thread);
        dump.threads.push_back(thread.ThreadId);
      }
    } else if (entry.StreamType == ModuleListStream) {
      ULONG32 count = 0;
      complete = complete && ReadAt(bytes, at, &count);
      for (ULONG32 m = 0; complete && m < count; ++m) {
        MINIDUMP_MODULE module;
        ULONG32 name_bytes = 0;
        complete = ReadAt(bytes, at + sizeof count + uint64_t{m} * sizeof module, &module) &&
                   ReadAt(bytes, module.ModuleNameRva, &name_bytes) &&
                   module.ModuleNameRva + uint64_t{sizeof name_bytes} + name_bytes <= bytes.size();
        if (complete) {
          std::wstring path(name_bytes / sizeof(wchar_t), L'\0');
          std::memcpy(path.data(), bytes.data() + module.ModuleNameRva + sizeof name_bytes,
                      path.size() * sizeof(wchar_t));
          dump.modules.push_back(DumpModule{module.BaseOfImage, module.SizeOfImage, path});
        }
      }
    }
  }
  dump.valid = complete;
  return dump;
}

std::vector<uint64_t> ReportFrames(const std::vector<std::string>& lines) {
  std::vector<uint64_t> frames;
  for (size_t i = 2; i < lines.size(); ++i) {
    frames.push_back(std::stoull(lines[i].substr(lines[i].rfind(' ') + 1), nullptr, 16));
  }
  return frames;
}

// The report of one crash, whole: the exception line given, the frame count
// and one well-formed line per frame, nothing stale.
void ExpectWholeReport(const std::string& report, const std::string& exception_line) {
  EXPECT_EQ(report.find("STALE"), std::string::npos);
  const std::vector<std::string> lines = CrLfLines(report);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], exception_line);
  unsigned frames = 0;
  ASSERT_EQ(std::sscanf(lines[1].c_str(), "STACK frames=%u", &frames), 1) << lines[1];
  EXPECT_GE(frames, 1u);
  EXPECT_LE(frames, 32u);
  ASSERT_EQ(lines.size(), 2u + frames);
  for (unsigned i = 0; i < frames; ++i) {
    const std::string prefix = "  #" + std::to_string(i) + " ";
    const std::string& line = lines[2 + i];
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const std::string pointer = line.substr(prefix.size());
    EXPECT_EQ(pointer.size(), 16u) << line;
    EXPECT_EQ(pointer.find_first_not_of("0123456789ABCDEF"), std::string::npos) << line;
  }
}

// The dump beside a report of the same crash: the faulting thread among the
// dump's threads, the host and the stand-ins in its module list, every
// return address of the report inside one of its modules, and the system's
// own dbghelp.
void ExpectDumpOfTheReportedCrash(const std::string& dump_bytes,
                                  const std::string& report,
                                  uint32_t code) {
  const DumpContents dump = ReadDump(dump_bytes);
  ASSERT_TRUE(dump.valid) << "dump of " << dump_bytes.size() << " bytes";
  EXPECT_EQ(dump_bytes.find("STALE"), std::string::npos);
  EXPECT_EQ(dump.exception_code, code);
  EXPECT_NE(std::find(dump.threads.begin(), dump.threads.end(), dump.exception_thread),
            dump.threads.end());
  for (const wchar_t* name : {L"velora.exe", L"flutter_windows.dll", L"app.so", L"dbghelp.dll"}) {
    EXPECT_NE(dump.ModuleNamed(name), nullptr) << "no module " << Narrow(name);
  }
  // Every return address up to the end of the walk (a null frame; what
  // follows it under Wine is not an address) lies in a module; the fault's
  // own address, which the walk passes through the exception's context, need
  // not.
  size_t checked = 0;
  for (uint64_t frame : ReportFrames(CrLfLines(report))) {
    if (frame == 0) {
      break;
    }
    if (frame != dump.exception_address) {
      EXPECT_TRUE(dump.InsideAModule(frame)) << std::hex << frame;
      ++checked;
    }
  }
  EXPECT_GE(checked, 2u);
  wchar_t system_dir[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system_dir, MAX_PATH), 0u);
  if (const DumpModule* dbghelp = dump.ModuleNamed(L"dbghelp.dll")) {
    EXPECT_EQ(
        _wcsicmp(dbghelp->path.c_str(), (std::wstring(system_dir) + L"\\dbghelp.dll").c_str()), 0)
        << Narrow(dbghelp->path);
  }
}

void WriteStaleFile(const std::string& path) {
  std::FILE* stale = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stale, nullptr);
  for (int i = 0; i < 20000; ++i)
    std::fputs("STALE LINE\r\n", stale);
  std::fclose(stale);
}

const std::string kAccessViolationLine = "EXCEPTION code=0xc0000005 addr=0000000000001000";

TEST(CrashReportE2eTest, AFaultLeavesOnlyTheLatestReportAndDumpAndEndsWithoutADialog) {
  const std::string path = test::TempFilePath("velora_crash.txt").string();
  const std::string dump_path = test::TempFilePath("velora_crash.dmp").string();
  DeleteFileA(path.c_str());
  DeleteFileA(dump_path.c_str());
  for (int run_number = 0; run_number < 2; ++run_number) {
    SCOPED_TRACE(run_number);
    if (run_number == 1) {
      // Longer stale files must not survive the next crash.
      WriteStaleFile(path);
      WriteStaleFile(dump_path);
    }
    const ScenarioRun run = RunScenario("crash\n");
    EXPECT_EQ(static_cast<unsigned long>(run.exit_code), 0xC0000005ul);
    const std::string report = test::ReadBinaryFile(path);
    ExpectWholeReport(report, kAccessViolationLine);
    ExpectDumpOfTheReportedCrash(test::ReadBinaryFile(dump_path), report, 0xC0000005u);
    // The fault ended the run: no orderly close in the run log.
    for (const std::string& line : run.run_log) {
      EXPECT_NE(line, "message loop exited");
    }
  }
}

// The system's search order with the current directory before the system
// folder (SafeDllSearchMode 0, as some machines have it), for as long as the
// object lives. Where the machine's settings cannot be written (Windows
// without elevation), the order stays the default one.
class CurrentDirectoryFirst {
 public:
  CurrentDirectoryFirst() {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof old_value_;
    had_value_ = RegQueryValueExW(key_, kValue, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&old_value_), &size) == ERROR_SUCCESS;
    const DWORD off = 0;
    (void)RegSetValueExW(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off),
                         sizeof off);
  }
  ~CurrentDirectoryFirst() {
    if (key_ == nullptr) {
      return;
    }
    if (had_value_) {
      (void)RegSetValueExW(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_value_),
                           sizeof old_value_);
    } else {
      (void)RegDeleteValueW(key_, kValue);
    }
    RegCloseKey(key_);
  }
  CurrentDirectoryFirst(const CurrentDirectoryFirst&) = delete;
  CurrentDirectoryFirst& operator=(const CurrentDirectoryFirst&) = delete;

 private:
  static constexpr wchar_t kKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kValue[] = L"SafeDllSearchMode";
  HKEY key_ = nullptr;
  bool had_value_ = false;
  DWORD old_value_ = 0;
};

// A dump that cannot be written (its name taken by a folder) costs nothing
// of the report, and the process still ends as the filter's answer ends it.
// A look-alike dbghelp.dll in the current directory and first on PATH is
// never loaded, even where the search order puts the current directory
// before the system folder: its DllMain would leave a marker there.
TEST(CrashReportE2eTest, NoDumpCostsNothingOfTheReportAndNoLookAlikeDbghelpIsLoaded) {
  const std::string path = test::TempFilePath("velora_crash.txt").string();
  const std::string dump_path = test::TempFilePath("velora_crash.dmp").string();
  DeleteFileA(dump_path.c_str());
  ASSERT_TRUE(CreateDirectoryA(dump_path.c_str(), nullptr));
  WriteStaleFile(path);
  const ScenarioRun blocked = RunScenario("crash\n");
  EXPECT_EQ(static_cast<unsigned long>(blocked.exit_code), 0xC0000005ul);
  ExpectWholeReport(test::ReadBinaryFile(path), kAccessViolationLine);
  ASSERT_TRUE(RemoveDirectoryA(dump_path.c_str()));

  const test::TempDir current_dir;
  const test::TempDir on_path_dir;
  const std::wstring current = std::filesystem::path(current_dir.path()).wstring();
  const std::wstring on_path = std::filesystem::path(on_path_dir.path()).wstring();
  const std::wstring planted = tools::BinaryDir() + L"\\planted\\dbghelp.dll";
  ASSERT_TRUE(CopyFileW(planted.c_str(), (current + L"\\dbghelp.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(planted.c_str(), (on_path + L"\\dbghelp.dll").c_str(), FALSE));
  wchar_t old_path[32767] = {};
  const DWORD old_length = GetEnvironmentVariableW(L"PATH", old_path, 32767);
  ASSERT_TRUE(SetEnvironmentVariableW(L"PATH", (on_path + L";" + old_path).c_str()));
  ScenarioRun planted_run;
  {
    const CurrentDirectoryFirst search_order;
    test::ScenarioProcess host("crash\n", {}, std::wstring(), current);
    planted_run = host.Finish();
  }
  (void)SetEnvironmentVariableW(L"PATH", old_length != 0 ? old_path : nullptr);
  EXPECT_EQ(static_cast<unsigned long>(planted_run.exit_code), 0xC0000005ul);
  EXPECT_EQ(GetFileAttributesW((current + L"\\planted_dbghelp_loaded.txt").c_str()),
            INVALID_FILE_ATTRIBUTES)
      << "the look-alike dbghelp.dll was loaded";
  const std::string report = test::ReadBinaryFile(path);
  ExpectWholeReport(report, kAccessViolationLine);
  ExpectDumpOfTheReportedCrash(test::ReadBinaryFile(dump_path), report, 0xC0000005u);
}

// The stack the filter keeps at start-up lets it report a stack overflow,
// and the dump is written beside the report.
TEST(CrashReportE2eTest, AStackOverflowLeavesAReportAndADump) {
  const std::string path = test::TempFilePath("velora_crash.txt").string();
  const std::string dump_path = test::TempFilePath("velora_crash.dmp").string();
  DeleteFileA(path.c_str());
  DeleteFileA(dump_path.c_str());
  const ScenarioRun run = RunScenario("overflow\n");
  EXPECT_EQ(static_cast<unsigned long>(run.exit_code), 0xC00000FDul);
  const std::string report = test::ReadBinaryFile(path);
  ASSERT_FALSE(report.empty()) << "no report of the stack overflow";
  EXPECT_EQ(report.rfind("EXCEPTION code=0xc00000fd addr=", 0), 0u) << report;
  ExpectDumpOfTheReportedCrash(test::ReadBinaryFile(dump_path), report, 0xC00000FDu);
}

TEST(ArgumentsE2eTest, CommandLineArgumentsReachTheEngineAsUtf8) {
  std::wstring arguments = L"a \"\" b \"C:\\Vid\u00e9os\\Caf\u00e9 \u2014 Film.mkv\" x";
  arguments.push_back(static_cast<wchar_t>(0xD800));  // an unpaired surrogate
  arguments += L"y tail\\\\\"quoted\\\"";
  const ScenarioRun run = RunScenario("engine\nclose\n", {}, arguments);
  const std::vector<std::string> engines = run.LinesStartingWith("engine ");
  ASSERT_EQ(engines.size(), 1u);
  const std::string& engine = engines[0];
  const std::string args = engine.substr(engine.find(" args=") + 6);
  std::vector<std::string> hex;
  size_t start = 0;
  while (true) {
    const size_t comma = args.find(',', start);
    hex.push_back(args.substr(start, comma - start));
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  ASSERT_EQ(hex.size(), 2u + 6u) << engine;  // the harness's own two first
  EXPECT_EQ(hex[2], HexOfText("a"));
  EXPECT_EQ(hex[3], "");
  EXPECT_EQ(hex[4], HexOfText("b"));
  EXPECT_EQ(hex[5], HexOfText("C:\\Vid\xC3\xA9os\\Caf\xC3\xA9 \xE2\x80\x94 Film.mkv"));
  EXPECT_EQ(hex[6], "");  // broken UTF-16 keeps its place, empty
  EXPECT_EQ(hex[7], HexOfText("tail\\quoted\""));
  EXPECT_NE(engine.find(" argc=8 argv_null=0 "), std::string::npos);
}

}  // namespace
}  // namespace velora
