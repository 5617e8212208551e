#include <windows.h>

#include <algorithm>
#include <string>

#include "ProfileFile.h"
#include "TextWin32.h"

const char kNewFileLineBreak[] = "\r\n";

namespace {

// A save killed between creating its temporary file and moving it leaves the
// file behind; one older than this belongs to no save still running.
constexpr ULONGLONG kStaleTemporaryMs = 60 * 1000;
constexpr int kTemporaryNameTries = 100;

// The one place where a Win32 error becomes a read result: only "nothing
// there" lets a write create the file; every other error protects it.
ProfileReadResult ReadResultFromError(DWORD err) {
  return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ProfileReadResult::kMissing
                                                                      : ProfileReadResult::kFailed;
}

// Both separators are accepted by the W functions, so both split a path.
size_t LastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

std::wstring FolderOf(const std::wstring& path) {
  const size_t at = LastSeparator(path);
  return at == std::wstring::npos ? L"." : path.substr(0, at);
}

std::wstring NameOf(const std::wstring& path) {
  const size_t at = LastSeparator(path);
  return at == std::wstring::npos ? path : path.substr(at + 1);
}

bool WriteAll(HANDLE h, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD put = 0;
    if (!WriteFile(h, text.data() + done, chunk, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

ULONGLONG AgeMs(const FILETIME& written) {
  FILETIME nowFt;
  GetSystemTimeAsFileTime(&nowFt);
  const ULONGLONG now = (static_cast<ULONGLONG>(nowFt.dwHighDateTime) << 32) | nowFt.dwLowDateTime;
  const ULONGLONG then =
      (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  return now > then ? (now - then) / 10000 : 0;  // FILETIME counts 100 ns
}

// Ours are ".<name>.XXXXXX" beside the target, as on POSIX.
void RemoveStaleTemporaries(const std::wstring& folder, const std::wstring& name) {
  const std::wstring pattern = folder + L"\\." + name + L".??????";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        std::wstring(found.cFileName).size() == name.size() + 8 &&
        AgeMs(found.ftLastWriteTime) > kStaleTemporaryMs) {
      DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Creates a new temporary file beside the target; its path in *path.
HANDLE CreateTemporary(const std::wstring& folder, const std::wstring& name, std::wstring* path) {
  static const wchar_t kDigits[] =
      L"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  ULONGLONG seed = GetTickCount64() ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 20) ^
                   reinterpret_cast<ULONG_PTR>(path);
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    std::wstring suffix;
    for (int i = 0; i < 6; ++i) suffix += kDigits[(seed >> (10 + 6 * i)) % 62];
    *path = folder + L"\\." + name + L"." + suffix;
    HANDLE h = CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

ProfileReadResult ReadProfileFile(const std::string& path, std::string* text) {
  text->clear();
  std::wstring wide;
  if (path.empty() || !ToWide(path, &wide)) return ProfileReadResult::kFailed;
  CFileHandle file(CreateFileW(wide.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return ReadResultFromError(GetLastError());

  LARGE_INTEGER size;
  if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size) ||
      static_cast<unsigned long long>(size.QuadPart) > kMaxProfileBytes) {
    return ProfileReadResult::kFailed;
  }
  text->reserve(static_cast<size_t>(size.QuadPart));
  char buf[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) {
      text->clear();
      return ProfileReadResult::kFailed;
    }
    if (got == 0) break;
    if (text->size() + got > kMaxProfileBytes) {  // grew past the bound while read
      text->clear();
      return ProfileReadResult::kFailed;
    }
    text->append(buf, got);
  }
  return ProfileReadResult::kOk;
}

bool ReplaceProfileFile(const std::string& path, const std::string& text) {
  std::wstring target;
  if (path.empty() || !ToWide(path, &target)) return false;

  // Attributes a user gave the old file (hidden, archive ...) go to the new
  // one; a read-only file or anything that is not a file stays as it is.
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD carried = 0;
  const DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES) {
    if (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
      return false;
    }
    carried = old & kCarried;
  } else if (ReadResultFromError(GetLastError()) != ProfileReadResult::kMissing) {
    return false;
  }

  const std::wstring folder = FolderOf(target), name = NameOf(target);
  RemoveStaleTemporaries(folder, name);
  std::wstring temporary;
  CFileHandle file(CreateTemporary(folder, name, &temporary));
  if (!file.IsValid()) return false;
  bool ok = WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
  ok = file.Close() && ok;
  if (ok && carried != 0) ok = SetFileAttributesW(temporary.c_str(), carried) != FALSE;
  if (ok) {
    ok = MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!ok) {
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary.c_str());
  }
  return ok;
}
