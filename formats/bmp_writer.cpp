// BMP: a 14-byte file header, then the DIB's header, colour table and rows
// exactly as the block holds them.
#include <cstring>

#include "formats/writer_file.h"
#include "formats/writers.h"
#include "imaging/bytes.h"
#include "imaging/dib.h"

namespace {
constexpr std::uint32_t kFileHeaderSize = 14;
}  // namespace

Status WriteBmpFile(ProgressChannel* status, const char* fileName, MemHandle dib) {
  SendProgress(status, 0);
  if (fileName == nullptr || dib == nullptr) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout l;
  if (CheckDibLayout(lock.data(), lock.size(), &l) != StatusOk) return StatusBadArgument;
  // The pixel write takes biSizeImage on trust, so it must lie within the block.
  const std::uint32_t sizeImage = GetLe32(lock.data() + DibSizeImageField);
  if (std::uint64_t{l.pixelOffset} + sizeImage > lock.size()) return StatusBadArgument;
  const std::uint32_t tableBytes = l.colours * 4;
  const std::uint64_t fileSize = std::uint64_t{kFileHeaderSize} + kDibHeaderSize + tableBytes + sizeImage;
  if (fileSize > 0xFFFFFFFFull) return StatusBadArgument;

  WriterFile file;
  if (const Status s = file.Open(fileName); s != StatusOk) return s;

  // The file header, the DIB's header and its colour table go out in one
  // write: each write call has a cost of its own, which on a 2 MB image is
  // already a tenth of the whole save.
  std::uint8_t head[kFileHeaderSize + kDibHeaderSize + 4 * kDibMaxColours] = {'B', 'M'};
  PutLe32(head + 2, static_cast<std::uint32_t>(fileSize));
  PutLe32(head + 10, kFileHeaderSize + kDibHeaderSize + tableBytes);
  std::memcpy(head + kFileHeaderSize, lock.data(), kDibHeaderSize + tableBytes);
  if (!file.Write(head, kFileHeaderSize + kDibHeaderSize + tableBytes)) return StatusWriteFailed;
  const bool pixelsWritten = file.Write(lock.data() + l.pixelOffset, sizeImage);
  const Status s = pixelsWritten ? file.Commit() : Status{StatusWriteFailed};
  SendProgress(status, 100);
  return s;
}
