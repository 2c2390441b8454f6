// The file a writer produces. It is written under a temporary name in the
// target's directory and moved over the target only when the writer has
// succeeded, so a failed or cancelled save never destroys the file it was
// meant to replace, and never leaves a partial file of its own behind.
#pragma once

#include <cstdint>
#include <string>

#include "messages/status.h"
#include "platform/file_output.h"

class WriterFile {
 public:
  WriterFile() = default;
  ~WriterFile();  // abandons the temporary file unless committed
  WriterFile(const WriterFile&) = delete;
  WriterFile& operator=(const WriterFile&) = delete;

  // Creates the temporary file for `target`: StatusOk or StatusCreateFailed.
  Status Open(const char* target);
  // Writes all `size` bytes; false on an error or a short write.
  bool Write(const void* data, std::uint32_t size);
  bool Seek(std::uint32_t offset);
  std::uint32_t Position() const { return position_; }
  std::uint32_t End() const { return end_; }
  // Closes the file and puts it in the target's place. A failed close is a
  // failed write (203); a target that cannot be replaced is 200.
  Status Commit();

 private:
  void Abandon();

  FileOut* file_ = nullptr;
  std::string target_;
  std::string temporary_;
  std::uint32_t position_ = 0;
  std::uint32_t end_ = 0;
};

// The temporary name used for `target`: a fixed name in the same directory.
std::string TemporaryNameFor(const std::string& target);
