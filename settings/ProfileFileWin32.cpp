#include <windows.h>

#include <algorithm>
#include <string>

#include "FileCallsWin32.h"
#include "ProfileFile.h"
#include "ScopedHandleWin32.h"
#include "WideTextWin32.h"

const char kNewFileLineBreak[] = "\r\n";

namespace {

const ProfileFileCalls kSystemCalls{CreateFileW, ReplaceFileW, MoveFileExW, DeleteFileW, Sleep};
const ProfileFileCalls* g_calls = &kSystemCalls;

// Another program (an indexer, a virus scanner, a backup) may hold the file
// for a moment without delete sharing; a save waits that long, no longer.
constexpr DWORD kFirstRetryMs = 20;
constexpr int kReplaceTries = 5;  // 20 + 40 + 80 + 160 ms between them

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

// Ours are ".<name>.zeta7-save-XXXXXX" beside the target, as on POSIX, and
// the replaced file's copy, the same with "~", while a replace runs. Only
// names of exactly that shape are ours; a user's ".<name>.backup" is not.
std::wstring TemporaryPrefix(const std::wstring& name) {
  std::wstring mark;
  for (const char* c = kSaveTemporaryMark; *c; ++c) mark += static_cast<wchar_t>(*c);
  return L"." + name + mark;
}

bool IsOurTemporary(const std::wstring& file, const std::wstring& name, bool backup) {
  const std::wstring prefix = TemporaryPrefix(name);
  const size_t size = prefix.size() + kSaveTemporaryRandom + (backup ? 1 : 0);
  if (file.size() != size || file.compare(0, prefix.size(), prefix) != 0) return false;
  if (backup && file.back() != L'~') return false;
  for (size_t i = prefix.size(); i < prefix.size() + kSaveTemporaryRandom; ++i) {
    const wchar_t c = file[i];
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'))) {
      return false;
    }
  }
  return true;
}

void RemoveStaleTemporaries(const std::wstring& folder, const std::wstring& name) {
  const std::wstring pattern = folder + L"\\" + TemporaryPrefix(name) + L"*";
  WIN32_FIND_DATAW found;
  const win32::CScopedHandle search(FindFirstFileW(pattern.c_str(), &found), FindClose);
  if (!search.IsValid()) return;
  do {
    const std::wstring file = found.cFileName;
    const bool ours = IsOurTemporary(file, name, false) || IsOurTemporary(file, name, true);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && ours &&
        AgeMs(found.ftLastWriteTime) > kStaleTemporaryMs) {
      DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    }
  } while (FindNextFileW(search.Get(), &found));
}

// A save killed between the two renames of ReplaceFileW leaves no file
// under the target's name and the old one under its backup name
// (".<name>.zeta7-save-XXXXXX~"). The newest such backup is put back before the file
// is read or saved, so the settings are never lost with it (a file that took
// the name meanwhile wins); the next save's clean-up removes the others.
void RestoreCutReplace(const std::wstring& target) {
  const std::wstring folder = FolderOf(target), name = NameOf(target);
  const std::wstring pattern = folder + L"\\" + TemporaryPrefix(name) + L"*~";
  WIN32_FIND_DATAW found;
  const win32::CScopedHandle search(FindFirstFileW(pattern.c_str(), &found), FindClose);
  if (!search.IsValid()) return;
  std::wstring newest;
  FILETIME newestTime{};
  do {
    const std::wstring file = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        IsOurTemporary(file, name, true) &&
        (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0)) {
      newest = file;
      newestTime = found.ftLastWriteTime;
    }
  } while (FindNextFileW(search.Get(), &found));
  if (!newest.empty()) {
    g_calls->moveFileEx((folder + L"\\" + newest).c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  }
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
    *path = folder + L"\\" + TemporaryPrefix(name) + suffix;
    HANDLE h = g_calls->createFile(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

bool IsPassingHold(DWORD err) {
  return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
         err == ERROR_ACCESS_DENIED || err == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Puts the new content under the target's name with ReplaceFileW, which
// keeps the old file's security descriptor, owner and attributes (a rename
// would give the file those of a new one). The old file is moved to backup
// while the replace runs, so a replace that fails half way can put it back.
bool ReplaceKeepingRights(const std::wstring& target, const std::wstring& temporary) {
  const std::wstring backup = temporary + L"~";
  DWORD wait = kFirstRetryMs;
  for (int attempt = 1;; ++attempt) {
    if (g_calls->replaceFile(target.c_str(), temporary.c_str(), backup.c_str(),
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      g_calls->deleteFile(backup.c_str());
      return true;
    }
    const DWORD err = GetLastError();
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      // The old file went to the backup name and the new one did not take
      // its place: the old one comes back.
      g_calls->moveFileEx(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      return false;
    }
    if (!IsPassingHold(err) || attempt == kReplaceTries) return false;
    g_calls->sleep(wait);
    wait *= 2;
  }
}

// Where no file can be made in the folder (beside the program in Program
// Files, say) but the settings file itself is writable, it is rewritten in
// place, as the platform's own profile functions would. A kill in the middle
// can leave the new text followed by the old file's last bytes (as many as
// the new text is shorter): the truncation comes after the write.
bool RewriteInPlace(const std::wstring& target, const std::string& text) {
  win32::CScopedHandle file(g_calls->createFile(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
  if (!file.IsValid() || GetFileType(file.Get()) != FILE_TYPE_DISK) return false;
  const bool ok =
      WriteAll(file.Get(), text) && SetEndOfFile(file.Get()) && FlushFileBuffers(file.Get());
  return file.Close() && ok;
}

}  // namespace

const ProfileFileCalls& SystemProfileFileCalls() { return kSystemCalls; }

void UseProfileFileCalls(const ProfileFileCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

ProfileReadResult ReadProfileFile(const std::string& path, std::string* text) {
  text->clear();
  std::wstring wide;
  if (path.empty() || !win32::ToWide(path, &wide)) return ProfileReadResult::kFailed;
  const auto open = [&wide] {
    return win32::CScopedHandle(CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  win32::CScopedHandle file = open();
  if (!file.IsValid() && ReadResultFromError(GetLastError()) == ProfileReadResult::kMissing) {
    RestoreCutReplace(wide);
    file = open();
  }
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
  if (path.empty() || !win32::ToWide(path, &target)) return false;

  if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) RestoreCutReplace(target);
  // A read-only file or anything that is not a file stays as it is.
  const DWORD old = GetFileAttributesW(target.c_str());
  const bool exists = old != INVALID_FILE_ATTRIBUTES;
  if (exists &&
      (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    return false;
  }
  if (!exists && ReadResultFromError(GetLastError()) != ProfileReadResult::kMissing) return false;

  const std::wstring folder = FolderOf(target), name = NameOf(target);
  RemoveStaleTemporaries(folder, name);
  std::wstring temporary;
  win32::CScopedHandle file(CreateTemporary(folder, name, &temporary));
  if (!file.IsValid()) {
    return exists && GetLastError() == ERROR_ACCESS_DENIED && RewriteInPlace(target, text);
  }
  bool ok = WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
  ok = file.Close() && ok;
  // Attributes a user gave the old file (hidden, archive ...) go to the new
  // one whether or not the replace carries them over.
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (ok && exists && (old & kCarried) != 0) {
    ok = SetFileAttributesW(temporary.c_str(), old & kCarried) != FALSE;
  }
  if (ok) {
    ok = exists ? ReplaceKeepingRights(target, temporary)
                : g_calls->moveFileEx(temporary.c_str(), target.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!ok) {
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    g_calls->deleteFile(temporary.c_str());
  }
  return ok;
}
