// Writer output through a temporary file that replaces the target on success.
#include "formats/writer_file.h"

#include <cstdio>
#include <cstring>

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// File names compare without regard to case on Windows.
bool SameFileName(const char* a, const char* b) {
  for (; *a != '\0' && Upper(*a) == Upper(*b); ++a, ++b) {
  }
  return Upper(*a) == Upper(*b);
}

}  // namespace

void TemporaryNameFor(const char* target, char* out) {
  std::size_t directory = 0;  // up to and including the last separator
  for (std::size_t i = 0; target[i] != '\0'; ++i) {
    if (target[i] == '/' || target[i] == '\\' || target[i] == ':') directory = i + 1;
  }
  // A short name, so that a target near the path-length limit still has a
  // temporary beside it, and one of its own (FNV-1a of the target path), so
  // that two saves into one directory never share a temporary.
  std::uint32_t hash = 2166136261u;
  for (const char* p = target; *p != '\0'; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
  std::memcpy(out, target, directory);
  char* own = out + directory;
  std::snprintf(own, kTemporaryNameLength + 1, "~PT%08X.TMP", static_cast<unsigned>(hash));
  // The target may be named like a temporary, even like its very own one:
  // writing there would truncate it at once and delete it on failure. "~PU"
  // then, which that name does not start with.
  if (SameFileName(own, target + directory)) own[2] = 'U';
}

WriterFile::~WriterFile() { Abandon(); }

Status WriterFile::Open(const char* target) {
  Abandon();
  if (target == nullptr) return StatusCreateFailed;
  const std::size_t length = std::strlen(target);
  names_ = MemAlloc(2 * length + kTemporaryNameLength + 2);
  char* names = static_cast<char*>(MemLock(names_));
  if (names == nullptr) {
    names_ = MemFree(names_);
    return StatusNoMemory;
  }
  std::memcpy(names, target, length + 1);
  target_ = names;
  temporary_ = names + length + 1;
  TemporaryNameFor(target_, temporary_);
  file_ = FileCreate(temporary_);
  position_ = end_ = 0;
  if (file_ == nullptr) {
    ReleaseNames();
    return StatusCreateFailed;
  }
  return StatusOk;
}

bool WriterFile::Write(const void* data, std::uint32_t size) {
  if (file_ == nullptr) return false;
  if (size == 0) return true;  // an empty colour table or an empty buffer
  std::uint32_t written = 0;
  const bool ok = FileWrite(file_, data, size, &written);
  position_ += written;
  if (position_ > end_) end_ = position_;
  return ok && written == size;
}

bool WriterFile::Seek(std::uint32_t offset) {
  if (file_ == nullptr || !FileSeek(file_, offset)) return false;
  position_ = offset;
  return true;
}

Status WriterFile::Commit() {
  if (file_ == nullptr) return StatusCreateFailed;
  const bool closed = FileClose(file_);
  file_ = nullptr;
  if (!closed) {
    Abandon();
    return StatusWriteFailed;
  }
  if (!FileReplace(temporary_, target_)) {
    Abandon();
    return StatusCreateFailed;
  }
  ReleaseNames();
  return StatusOk;
}

void WriterFile::Abandon() {
  if (file_ != nullptr) {
    FileClose(file_);
    file_ = nullptr;
  }
  if (temporary_ != nullptr) FileDelete(temporary_);
  ReleaseNames();
}

void WriterFile::ReleaseNames() {
  if (names_ != nullptr) MemUnlock(names_);
  names_ = MemFree(names_);
  target_ = nullptr;
  temporary_ = nullptr;
}
