// What the runner prepared, working directories, files and ini texts.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/e2e/harness.h"

namespace e2e {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::wstring WidenUtf8(const std::string& text) {
  if (text.empty()) return L"";
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(size - 1);
  return wide;
}

std::wstring TempRoot() {
  const std::string configured = Env("RV_E2E_TEMP");
  if (!configured.empty()) return WindowsPath(configured);
  wchar_t buffer[MAX_PATH];
  const DWORD size = GetTempPathW(MAX_PATH, buffer);
  std::wstring root(buffer, size);
  if (!root.empty() && root.back() == L'\\') root.pop_back();
  return root;
}

}  // namespace

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = WidenUtf8(path);
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

uint64_t NowMs() {
  return GetTickCount64();
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  const uint64_t end = NowMs() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (NowMs() >= end) return false;
    Sleep(10);
  }
}

std::wstring ProgramPath() {
  return WindowsPath(Env("RV_E2E_PROGRAM"));
}

std::string ProgramComPort() {
  return Env("RV_E2E_PROGRAM_COM");
}

std::string FakeComPort() {
  return Env("RV_E2E_FAKE_COM");
}

int SimulatorTcpPort() {
  return std::atoi(Env("RV_E2E_SIM_PORT").c_str());
}

std::string VanishingComPort() {
  return Env("RV_E2E_GONE_COM");
}

std::string TcpConfig(int port) {
  // 127.0.0.1 with the first octet in the most significant byte.
  char text[160];
  std::snprintf(text, sizeof text, "[IF]\r\ntype=1\r\ncom=COM1\r\nip=%u\r\nport=%d\r\n",
                0x7F000001u, port);
  return text;
}

std::string SerialConfig(const std::string& com_port) {
  char text[200];
  std::snprintf(text, sizeof text, "[IF]\r\ntype=0\r\ncom=%s\r\nip=%u\r\nport=%d\r\n",
                com_port.c_str(), 0x7F000001u, 10101);
  return text;
}

std::wstring MakeWorkDir() {
  static std::atomic<int> counter{0};
  const std::wstring root = TempRoot();
  CreateDirectoryW(root.c_str(), nullptr);
  for (;;) {
    const std::wstring dir = root + L"\\run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(++counter);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
  }
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok;
}

std::string ReadTextFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string IniValue(const std::string& ini_text, const std::string& section,
                     const std::string& key) {
  std::istringstream lines(ini_text);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (!line.empty() && line.front() == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    const size_t equals = line.find('=');
    if (inside && equals != std::string::npos && Trim(line.substr(0, equals)) == key) {
      return Trim(line.substr(equals + 1));
    }
  }
  return "<missing>";
}

std::vector<std::string> IniSections(const std::string& ini_text) {
  std::istringstream lines(ini_text);
  std::string line;
  std::vector<std::string> sections;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      sections.push_back(line.substr(1, line.size() - 2));
    }
  }
  return sections;
}

}  // namespace e2e
