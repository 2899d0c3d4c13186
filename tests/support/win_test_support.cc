#include "tests/support/win_test_support.h"

#include <fstream>
#include <sstream>

#include "host/log_file.h"

namespace velora::test {

std::filesystem::path TempFilePath(const char* file_name) {
  wchar_t dir[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, dir);
  return std::filesystem::path(dir) / file_name;
}

std::string ReadBinaryFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

namespace {

const char* OldGenerationOf(const char* file_name) {
  return std::string(file_name) == kRunLogFileName ? kRunLogOldFileName : kGpuPluginLogOldFileName;
}

// The volume and file index of the file at `path`, 0 when there is none.
std::uint64_t FileIdOf(const std::filesystem::path& path, std::uint64_t* size = nullptr) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  std::uint64_t id = 0;
  if (GetFileInformationByHandle(file, &info)) {
    id = (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 48) ^
         (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) ^ info.nFileIndexLow;
    if (size != nullptr) {
      *size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
  }
  CloseHandle(file);
  return id;
}

std::string From(const std::string& content, std::uint64_t offset) {
  return offset < content.size() ? content.substr(static_cast<size_t>(offset)) : std::string();
}

}  // namespace

LogMark MarkLog(const char* file_name) {
  LogMark mark;
  mark.file_id = FileIdOf(TempFilePath(file_name), &mark.size);
  mark.existed = mark.file_id != 0;
  return mark;
}

bool RotatedSince(const char* file_name, const LogMark& mark) {
  return mark.existed && FileIdOf(TempFilePath(OldGenerationOf(file_name))) == mark.file_id;
}

std::string LogSince(const char* file_name, const LogMark& mark) {
  const std::string live = ReadBinaryFile(TempFilePath(file_name));
  if (RotatedSince(file_name, mark)) {
    return From(ReadBinaryFile(TempFilePath(OldGenerationOf(file_name))), mark.size) + live;
  }
  return mark.existed ? From(live, mark.size) : live;
}

namespace {

std::wstring EnvironmentVariable(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  GetEnvironmentVariableW(name, buffer, 1024);
  return buffer;
}

}  // namespace

std::wstring ForeignScriptFolderIn(const std::filesystem::path& parent) {
  const std::filesystem::path folder = parent / L"\u65e5\u672c\u8a9e \u30ed\u30b0";
  std::error_code ignored;
  std::filesystem::create_directory(folder, ignored);
  return folder.wstring() + L"\\";
}

TempVariables::TempVariables(const std::wstring& folder)
    : tmp_(EnvironmentVariable(L"TMP")), temp_(EnvironmentVariable(L"TEMP")) {
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

TempVariables::~TempVariables() {
  SetEnvironmentVariableW(L"TMP", tmp_.c_str());
  SetEnvironmentVariableW(L"TEMP", temp_.c_str());
}

std::vector<std::string> LogLinesOf(const char* file_name, unsigned long pid, const LogMark& mark) {
  return LogLinesIn(LogSince(file_name, mark), pid);
}

std::vector<std::string> LogLinesIn(const std::string& content, unsigned long pid) {
  const std::string prefix = "[pid=" + std::to_string(pid) + " tid=";
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      end = content.size();
    }
    std::string line = content.substr(start, end - start);
    start = end + 1;
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) {
      line.pop_back();
    }
    if (line.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    const size_t text = line.find("] ");
    std::string message = text == std::string::npos ? line : line.substr(text + 2);
    lines.push_back(crlf ? message : message + "<no CRLF>");
  }
  return lines;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace velora::test
