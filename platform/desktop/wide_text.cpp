// UTF-8 and UTF-16, and the system's error text; see wide_text.h.
#include "platform/desktop/wide_text.h"

#include <windows.h>

namespace platform::desktop {

std::wstring widen(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  const int n = size == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  }
  return wide;
}

std::string narrow(std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  const int n =
      size == 0 ? 0
                : WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  }
  return utf8;
}

std::string systemError(unsigned long code) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string number = "error " + std::to_string(code);
  if (text == nullptr) {
    return number;
  }
  std::wstring_view said(text);
  said = said.substr(0, said.find_last_not_of(L"\r\n. ") + 1);
  std::string reason = narrow(said) + " (" + number + ")";
  LocalFree(text);
  return reason;
}

std::string lastSystemError() {
  return systemError(GetLastError());
}

}  // namespace platform::desktop
