#include "query/outside_file.h"

HANDLE OpenOutsideFile(const char* path, DWORD access, DWORD share, DWORD flags) {
  if (path == nullptr || *path == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                            flags | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    SetLastError(ERROR_INVALID_FUNCTION);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}
