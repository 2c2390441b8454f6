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

// The length of the directory part: up to and including the last separator.
std::size_t DirectoryLength(const char* path) {
  std::size_t directory = 0;
  for (std::size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '/' || path[i] == '\\' || path[i] == ':') directory = i + 1;
  }
  return directory;
}

bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

struct StaleSearch {
  const char* target;  // whose directory is searched
  std::size_t directory;
  char* path;          // the directory, then room for one name
  int removed;
};

void RemoveIfStale(void* context, const char* name) {
  auto& search = *static_cast<StaleSearch*>(context);
  if (!IsTemporaryName(name) || SameFileName(name, search.target + search.directory)) return;
  std::memcpy(search.path + search.directory, name, kTemporaryNameLength + 1);
  if (FileDeleteIfUnused(search.path)) ++search.removed;
}

}  // namespace

void TemporaryNameFor(const char* target, unsigned attempt, char* out) {
  const std::size_t directory = DirectoryLength(target);
  // A short name, so that a target near the path-length limit still has a
  // temporary beside it, and one of its own (FNV-1a of the target path), so
  // that two saves into one directory never share a temporary. A later
  // attempt goes on hashing the attempt's number.
  std::uint32_t hash = 2166136261u;
  for (const char* p = target; *p != '\0'; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
  for (unsigned rest = attempt; rest != 0; rest >>= 8) hash = (hash ^ (rest & 0xFFu)) * 16777619u;
  std::memcpy(out, target, directory);
  char* own = out + directory;
  std::snprintf(own, kTemporaryNameLength + 1, "~PT%08X.TMP", static_cast<unsigned>(hash));
  // The target may be named like a temporary, even like its very own one:
  // writing there would truncate it at once and delete it on failure. "~PU"
  // then, which that name does not start with.
  if (SameFileName(own, target + directory)) own[2] = 'U';
}

bool IsTemporaryName(const char* name) {
  if (name == nullptr || std::strlen(name) != kTemporaryNameLength) return false;
  if (name[0] != '~' || name[1] != 'P' || (name[2] != 'T' && name[2] != 'U')) return false;
  for (int i = 3; i < 11; ++i) {
    if (!IsUpperHexDigit(name[i])) return false;
  }
  return std::strcmp(name + 11, ".TMP") == 0;
}

int RemoveStaleTemporaries(const char* target) {
  if (target == nullptr) return 0;
  const std::size_t directory = DirectoryLength(target);
  MemOwner block(MemAlloc(directory + kTemporaryNameLength + 1));
  MemLockGuard lock(block.get());
  if (lock.data() == nullptr) return 0;
  StaleSearch search{target, directory, reinterpret_cast<char*>(lock.data()), 0};
  std::memcpy(search.path, target, directory);
  search.path[directory] = '\0';
  FileForEachName(search.path, "~P*.TMP", RemoveIfStale, &search);
  return search.removed;
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
  // Only a name nothing else holds: an unrelated file that happens to have
  // the temporary's name (or a save that is writing it) is never truncated.
  for (unsigned attempt = 0; attempt < kTemporaryNameAttempts && file_ == nullptr; ++attempt) {
    TemporaryNameFor(target_, attempt, temporary_);
    bool taken = false;
    file_ = FileCreateNew(temporary_, &taken);
    if (!taken) break;
  }
  position_ = end_ = 0;
  if (file_ == nullptr) {
    ReleaseNames();  // the temporary's name is not ours to delete
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
  // An earlier file is replaced by the rename alone: unless the new data is
  // on the disk first, a power cut can leave the name holding neither file
  // whole. A new name has nothing to lose, and its save skips the cost.
  const bool flushed = !FileExists(target_) || FileFlush(file_);
  const bool closed = FileClose(file_);
  file_ = nullptr;
  if (!flushed || !closed) {
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
