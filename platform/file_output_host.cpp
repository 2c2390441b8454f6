// File output on POSIX descriptors, with injectable faults.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/file_output.h"
#include "platform/file_output_host.h"

struct FileOut {
  int fd;
};

namespace {
HostFileFaults g_faults;
int g_writes = 0;
}  // namespace

void HostFileSetFaults(const HostFileFaults& faults) {
  g_faults = faults;
  g_writes = 0;
}

int HostFileWriteCount() { return g_writes; }

FileOut* FileCreate(const char* path) {
  if (path == nullptr || g_faults.failCreate) return nullptr;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  auto* f = new (std::nothrow) FileOut{fd};
  if (f == nullptr) ::close(fd);
  return f;
}

bool FileWrite(FileOut* file, const void* data, std::uint32_t size, std::uint32_t* written) {
  std::uint32_t done = 0;
  if (file != nullptr) {
    std::uint32_t want = size;
    if (g_writes++ == g_faults.shortWriteAt) want = size > g_faults.shortBy ? size - g_faults.shortBy : 0;
    const char* p = static_cast<const char*>(data);
    while (done < want) {
      const ssize_t n = ::write(file->fd, p + done, want - done);
      if (n <= 0) break;
      done += static_cast<std::uint32_t>(n);
    }
  }
  if (written != nullptr) *written = done;
  return file != nullptr && done == size;
}

bool FileSeek(FileOut* file, std::uint32_t offset) {
  return file != nullptr && ::lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool FileClose(FileOut* file) {
  if (file == nullptr) return false;
  const bool ok = ::close(file->fd) == 0 && !g_faults.failClose;
  delete file;
  return ok;
}

bool FileDelete(const char* path) { return path != nullptr && ::unlink(path) == 0; }

bool FileReplace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  // Read-only as Windows sees it: no write permission for anyone. rename()
  // would replace it, and for root even a permission check would pass.
  struct stat st;
  if (::stat(to, &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    errno = EACCES;
    return false;
  }
  return ::rename(from, to) == 0;
}
