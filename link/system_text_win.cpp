#include "link/system_text_win.h"

#include "link/utf16_win.h"

std::string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string line = length > 0 ? Narrow(text) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!line.empty() &&
         (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '.')) {
    line.pop_back();
  }
  return line.empty() ? "system error " + std::to_string(error) : line;
}
