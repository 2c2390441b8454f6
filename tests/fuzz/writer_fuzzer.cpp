// libFuzzer target for one writer (chosen at build time): arbitrary header
// fields and pixel bytes, written through the host file output.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "formats/writers.h"
#include "fuzz_input.h"

namespace {
const std::string& OutputPath() {
  static const std::string path = "/tmp/pictrap-fuzz-" + std::to_string(::getpid()) + ".out";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzCase c = MakeFuzzCase(data, size);
  MemOwner owner(c.dib);
  Status s;
#if defined(FUZZ_BMP)
  s = WriteBmpFile(nullptr, OutputPath().c_str(), c.dib);
#elif defined(FUZZ_PCX)
  s = WritePcxFile(nullptr, OutputPath().c_str(), c.dib, 5, 300);
#else
  s = WriteTiffFile(nullptr, OutputPath().c_str(), c.dib, c.compression, c.greyFlag, 300);
#endif
  if (s != StatusOk && s != StatusBadArgument && s != StatusWriteFailed) std::abort();
  if (s != StatusOk && ::access(OutputPath().c_str(), F_OK) == 0) std::abort();  // a failure left a file
  ::unlink(OutputPath().c_str());
  return 0;
}
