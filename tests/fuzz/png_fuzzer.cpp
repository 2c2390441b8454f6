// libFuzzer target for the PNG coder: arbitrary headers and pixels coded in
// memory, each file read back through zlib and compared with the DIB.
#include <cstdlib>

#include "formats/png_writer.h"
#include "fuzz_input.h"
#include "png_readback.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzCase c = MakeFuzzCase(data, size);
  MemOwner owner(c.dib);
  MemLockGuard lock(c.dib);
  std::vector<std::uint8_t> file;
  const Status s = EncodePng(nullptr, lock.data(), lock.size(), 3780,
                             [](void* context, const std::uint8_t* bytes, std::uint32_t n) {
                               auto* out = static_cast<std::vector<std::uint8_t>*>(context);
                               out->insert(out->end(), bytes, bytes + n);
                               return true;
                             },
                             &file);
  DibLayout l;
  const bool valid = lock.data() != nullptr && CheckDibLayout(lock.data(), lock.size(), &l) == StatusOk &&
                     l.width <= 32767 && l.height <= 32767;
  if (s != (valid ? StatusOk : StatusBadArgument) || (valid && ReadBackPng(file, lock.data(), l).fault)) std::abort();
  return 0;
}
