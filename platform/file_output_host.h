// Fault injection for the host file output, so tests can reach every failure
// path of the writers.
#pragma once

#include <cstdint>

struct HostFileFaults {
  bool failCreate = false;
  int shortWriteAt = -1;        // the write (0-based, counted from arming) that stores less
  std::uint32_t shortBy = 1;    // how many bytes fewer it stores
  bool failClose = false;
  bool failFlush = false;
};

void HostFileSetFaults(const HostFileFaults& faults);  // also resets the write count
int HostFileWriteCount();                              // writes since arming
int HostFileFlushCount();                              // flushes since arming
