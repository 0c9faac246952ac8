// Reading and replacing a small text file with Win32's wide calls, so that a folder named in any
// language works whatever the system's code page; see text_file.h.
#include <windows.h>

#include "platform/desktop/text_file.h"
#include "platform/desktop/wide_text.h"

namespace platform::desktop {

namespace {

// The system names a file it has followed a link to as \\?\C:\...; players know it as C:\....
std::wstring plainPath(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) {
    return L"\\\\" + path.substr(8);
  }
  return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

std::wstring folderOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// The folder and any missing folders above it.
bool makeFolders(const std::wstring& folder) {
  if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return true;
  }
  std::wstring parent = folderOf(folder);
  if (GetLastError() != ERROR_PATH_NOT_FOUND || parent == folder || !makeFolders(parent)) {
    return false;
  }
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The file a symbolic link points to, so that the link stays one; the path itself otherwise. A
// link whose file is not there yet gets it made where it points, as on Linux, rather than be
// replaced by a file of its own.
std::wstring throughLinks(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return path;
  }
  std::wstring target(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
  if (n >= target.size()) {
    target.resize(n);
    n = GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
  }
  CloseHandle(file);
  target.resize(n < target.size() ? n : 0);
  return target.empty() ? path : plainPath(target);
}

}  // namespace

FileText readTextFile(const std::string& path, std::uint64_t limit) {
  FileText got;
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    got.outcome = missing ? FileText::Outcome::Missing : FileText::Outcome::Failed;
    got.error = systemError(code);
    return got;
  }
  LARGE_INTEGER size{};
  got.outcome = FileText::Outcome::Failed;
  if (!GetFileSizeEx(file, &size)) {
    got.error = systemError(GetLastError());
  } else if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
    got.outcome = FileText::Outcome::TooBig;
    got.size = static_cast<std::uint64_t>(size.QuadPart);
  } else {
    got.text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD done = 0;
    if (ReadFile(file, got.text.data(), static_cast<DWORD>(got.text.size()), &done, nullptr)) {
      got.text.resize(done);
      got.outcome = FileText::Outcome::Read;
    } else {
      got.error = systemError(GetLastError());
    }
  }
  CloseHandle(file);
  return got;
}

std::string replaceTextFile(const std::string& path, std::string_view text) {
  std::wstring file = throughLinks(widen(path));
  std::wstring folder = folderOf(file);
  if (!makeFolders(folder)) {
    return "cannot make the folder " + narrow(folder) + ": " + systemError(GetLastError());
  }
  DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return narrow(file) + " is read-only, so it stays as it is";
  }
  // What an older game left behind when it could not finish a save.
  DeleteFileW((file + L".new").c_str());
  // A fresh name of its own beside the file, so that two games saving at once never meet.
  wchar_t fresh[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder.c_str(), L"vom", 0, fresh) == 0) {
    return "cannot write beside " + narrow(file) + ": " + systemError(GetLastError());
  }
  HANDLE out =
      CreateFileW(fresh, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD done = 0;
  bool written = out != INVALID_HANDLE_VALUE &&
                 WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                 done == text.size() && FlushFileBuffers(out);
  DWORD error = GetLastError();
  if (out != INVALID_HANDLE_VALUE) {
    CloseHandle(out);
  }
  // ReplaceFile keeps the old file's permissions and attributes. A virus scanner may hold the
  // fresh file for a moment after it was written: a few tries before giving up.
  for (int attempt = 0; written && attempt < 20; ++attempt) {
    bool replaced = attributes == INVALID_FILE_ATTRIBUTES
                        ? MoveFileExW(fresh, file.c_str(), MOVEFILE_WRITE_THROUGH)
                        : ReplaceFileW(file.c_str(), fresh, nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (replaced) {
      return {};
    }
    error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
        error != ERROR_LOCK_VIOLATION) {
      break;
    }
    Sleep(50);
  }
  DeleteFileW(fresh);
  return "cannot replace " + narrow(file) + ": " + systemError(error);
}

}  // namespace platform::desktop
