// The file a writer produces. It is written under a temporary name in the
// target's directory and moved over the target only when the writer has
// succeeded, so a failed or cancelled save never destroys the file it was
// meant to replace, and never leaves a partial file of its own behind.
// Nothing here throws: the names live in a memory block, and a block that
// cannot be had is status 102 like any other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "messages/status.h"
#include "platform/file_output.h"
#include "platform/memory.h"

// The temporary's own name, "~PT" and eight hex digits and ".TMP".
constexpr std::size_t kTemporaryNameLength = 15;
// How many temporary names a save tries before it gives up (200).
constexpr unsigned kTemporaryNameAttempts = 8;

class WriterFile {
 public:
  WriterFile() = default;
  ~WriterFile();  // abandons the temporary file unless committed
  WriterFile(const WriterFile&) = delete;
  WriterFile& operator=(const WriterFile&) = delete;

  // Creates the temporary file for `target`: StatusOk, StatusCreateFailed,
  // or StatusNoMemory when the two names cannot be held.
  Status Open(const char* target);
  // Writes all `size` bytes; false on an error or a short write.
  bool Write(const void* data, std::uint32_t size);
  bool Seek(std::uint32_t offset);
  std::uint32_t Position() const { return position_; }
  std::uint32_t End() const { return end_; }
  // Closes the file and puts it in the target's place. A failed close (or
  // the failed flush before an earlier file is replaced) is a failed write
  // (203); a target that cannot be replaced is 200.
  Status Commit();

 private:
  void Abandon();
  void ReleaseNames();

  FileOut* file_ = nullptr;
  MemHandle names_ = nullptr;  // the target's path, then the temporary's; locked while held
  const char* target_ = nullptr;
  char* temporary_ = nullptr;
  std::uint32_t position_ = 0;
  std::uint32_t end_ = 0;
};

// Writes the temporary name of the `attempt`-th try for `target` into `out`,
// which holds at least strlen(target) + kTemporaryNameLength + 1 bytes: a
// name of its own in the target's directory, and never the target's own
// name, whatever that is. Each attempt gives another name of the same form,
// taken when the ones before are in use.
void TemporaryNameFor(const char* target, unsigned attempt, char* out);
// True for a file name (no directory) of exactly the form the temporaries
// have: "~PT" or "~PU", eight digits of 0-9 and A-F, ".TMP".
bool IsTemporaryName(const char* name);
// Deletes the temporaries a killed save left in the directory of `target`:
// only names of that form, never the target's own name, and only files no
// one has open (a save in progress keeps its own). Returns how many went.
int RemoveStaleTemporaries(const char* target);
