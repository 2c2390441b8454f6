// Writer output through a temporary file that replaces the target on success.
#include "formats/writer_file.h"

#include <cstdio>

std::string TemporaryNameFor(const std::string& target) {
  const std::size_t cut = target.find_last_of("/\\:");
  const std::string dir = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  // A short name, so that a target near the path-length limit still has a
  // temporary beside it, and one of its own (FNV-1a of the target path), so
  // that two saves into one directory never share a temporary.
  std::uint32_t hash = 2166136261u;
  for (unsigned char ch : target) hash = (hash ^ ch) * 16777619u;
  char name[16];
  std::snprintf(name, sizeof name, "~PT%08X.TMP", static_cast<unsigned>(hash));
  std::string path = dir + name;
  if (path == target) path = dir + "~PT" + (name + 3);  // the user's file has this very name
  return path;
}

WriterFile::~WriterFile() { Abandon(); }

Status WriterFile::Open(const char* target) {
  Abandon();
  if (target == nullptr) return StatusCreateFailed;
  target_ = target;
  temporary_ = TemporaryNameFor(target_);
  file_ = FileCreate(temporary_.c_str());
  position_ = end_ = 0;
  return file_ != nullptr ? StatusOk : StatusCreateFailed;
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
  if (!FileReplace(temporary_.c_str(), target_.c_str())) {
    Abandon();
    return StatusCreateFailed;
  }
  temporary_.clear();
  return StatusOk;
}

void WriterFile::Abandon() {
  if (file_ != nullptr) {
    FileClose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    FileDelete(temporary_.c_str());
    temporary_.clear();
  }
}
