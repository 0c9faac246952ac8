// Windows only: the game's UTF-8 in the UTF-16 of the wide API and back, and the system's own
// words for an error, so that no text or path goes through the system's narrow code page.
//
//   SetWindowTextW(window, desktop::widen(title).c_str());
//   std::string why = desktop::systemError(GetLastError());   // "Access is denied (error 5)"
#pragma once

#include <string>
#include <string_view>

namespace platform::desktop {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// The system's message for an error code, in the player's language, with the code; the last
// error of this thread's last failed call.
std::string systemError(unsigned long code);
std::string lastSystemError();

}  // namespace platform::desktop
