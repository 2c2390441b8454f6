// File output on POSIX descriptors, with injectable faults.
// A file being written holds an exclusive advisory lock, as the Windows
// side opens it with no sharing: FileDeleteIfUnused takes that lock first,
// so a file another descriptor (or process) writes is never deleted.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <new>

#include "platform/file_output.h"
#include "platform/file_output_host.h"

struct FileOut {
  int fd;
};

namespace {
HostFileFaults g_faults;
int g_writes = 0;
int g_flushes = 0;

FileOut* Wrap(int fd) {
  if (fd < 0) return nullptr;
  auto* f = new (std::nothrow) FileOut{fd};
  if (f == nullptr) ::close(fd);
  return f;
}
}  // namespace

void HostFileSetFaults(const HostFileFaults& faults) {
  g_faults = faults;
  g_writes = 0;
  g_flushes = 0;
}

int HostFileWriteCount() { return g_writes; }
int HostFileFlushCount() { return g_flushes; }

FileOut* FileCreate(const char* path) {
  if (path == nullptr || g_faults.failCreate) return nullptr;
  return Wrap(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

FileOut* FileCreateNew(const char* path, bool* taken) {
  if (taken != nullptr) *taken = false;
  if (path == nullptr || g_faults.failCreate) return nullptr;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (taken != nullptr) *taken = errno == EEXIST;
    return nullptr;
  }
  ::flock(fd, LOCK_EX);
  return Wrap(fd);
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

bool FileFlush(FileOut* file) {
  if (file == nullptr) return false;
  ++g_flushes;
  return ::fsync(file->fd) == 0 && !g_faults.failFlush;
}

bool FileClose(FileOut* file) {
  if (file == nullptr) return false;
  const bool ok = ::close(file->fd) == 0 && !g_faults.failClose;
  delete file;
  return ok;
}

bool FileDelete(const char* path) { return path != nullptr && ::unlink(path) == 0; }

bool FileDeleteIfUnused(const char* path) {
  if (path == nullptr) return false;
  const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool unused = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  const bool deleted = unused && ::unlink(path) == 0;
  ::close(fd);
  return deleted;
}

bool FileExists(const char* path) {
  struct stat st;
  return path != nullptr && (::lstat(path, &st) == 0 || errno != ENOENT);
}

bool FileForEachName(const char* directory, const char* pattern, FileNameVisitor visit, void* context) {
  if (directory == nullptr || pattern == nullptr || visit == nullptr) return false;
  DIR* listing = ::opendir(directory[0] != '\0' ? directory : ".");
  if (listing == nullptr) return false;
  const std::string prefix = directory;
  while (const dirent* entry = ::readdir(listing)) {
    if (::fnmatch(pattern, entry->d_name, FNM_PERIOD) != 0) continue;
    struct stat st;
    if (::lstat((prefix + entry->d_name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    visit(context, entry->d_name);
  }
  ::closedir(listing);
  return true;
}

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
