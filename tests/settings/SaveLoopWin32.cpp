#include "FileCallsWin32.h"
#include "SaveLoop.h"

bool ForceInPlaceSaves() {
  static ProfileFileCalls calls = SystemProfileFileCalls();
  calls.createFile = [](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                        DWORD disposition, DWORD flags, HANDLE tmpl) -> HANDLE {
    if (disposition == CREATE_NEW) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, sa, disposition, flags, tmpl);
  };
  UseProfileFileCalls(&calls);
  return true;
}
