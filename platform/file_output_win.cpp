// File output through the kernel's byte-oriented file calls.
#include <windows.h>

#include <cstdio>

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

FileOut* FileCreateNew(const char* path, bool* taken) {
  if (taken != nullptr) *taken = false;
  if (path == nullptr) return nullptr;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<FileOut*>(h);
  // ERROR_FILE_EXISTS for a file; a directory or a file being deleted of
  // that name answers otherwise, and is just as much in the way.
  const DWORD error = GetLastError();
  if (taken != nullptr) {
    *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
             GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  }
  return nullptr;
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

bool FileFlush(FileOut* file) { return file != nullptr && FlushFileBuffers(AsHandle(file)) != 0; }

bool FileClose(FileOut* file) { return file != nullptr && CloseHandle(AsHandle(file)) != 0; }

bool FileDelete(const char* path) { return path != nullptr && DeleteFileA(path) != 0; }

bool FileDeleteIfUnused(const char* path) {
  if (path == nullptr) return false;
  // No sharing at all: the open fails with a sharing violation while any
  // handle with data or delete access is open, whatever that handle's own
  // sharing. DeleteFileA would instead succeed on a file that someone holds
  // open with FILE_SHARE_DELETE, and take it from under them. The file goes
  // when this handle closes.
  HANDLE h = CreateFileA(path, DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool FileExists(const char* path) {
  if (path == nullptr) return false;
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool FileForEachName(const char* directory, const char* pattern, FileNameVisitor visit, void* context) {
  if (directory == nullptr || pattern == nullptr || visit == nullptr) return false;
  char search[MAX_PATH];
  const int n = std::snprintf(search, sizeof search, "%s%s", directory, pattern);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof search) return false;
  WIN32_FIND_DATAA found;
  HANDLE listing = FindFirstFileA(search, &found);
  if (listing == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) visit(context, found.cFileName);
  } while (FindNextFileA(listing, &found));
  FindClose(listing);
  return true;
}

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
