// File output through the kernel's byte-oriented file calls.
#include <windows.h>

#include "platform/file_output.h"

namespace {
constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplaceRetryMs = 50;

HANDLE AsHandle(FileOut* f) { return reinterpret_cast<HANDLE>(f); }
}  // namespace

FileOut* FileCreate(const char* path) {
  if (path == nullptr) return nullptr;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<FileOut*>(h);
}

bool FileWrite(FileOut* file, const void* data, std::uint32_t size, std::uint32_t* written) {
  DWORD done = 0;
  const BOOL ok = file != nullptr && WriteFile(AsHandle(file), data, size, &done, nullptr);
  if (written != nullptr) *written = done;
  return ok && done == size;
}

bool FileSeek(FileOut* file, std::uint32_t offset) {
  if (file == nullptr) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN) != 0;
}

bool FileClose(FileOut* file) { return file != nullptr && CloseHandle(AsHandle(file)) != 0; }

bool FileDelete(const char* path) { return path != nullptr && DeleteFileA(path) != 0; }

bool FileReplace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  // A read-only file is kept, as the system's own copy commands keep it;
  // Wine's MoveFileExA would replace it.
  const DWORD attributes = GetFileAttributesA(to);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // A file just written is often opened at once by someone else for a
  // moment (a virus scanner, the search indexer, a thumbnail maker; under
  // Wine, a fresh prefix's own helpers in the Pictures folder), and the
  // rename then meets a sharing violation although nothing is wrong. Such a
  // failure is tried again for about a second before it counts.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == kReplaceAttempts - 1) {
      return false;
    }
    Sleep(kReplaceRetryMs);
  }
}
