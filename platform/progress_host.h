// The host's progress channel: records what a long operation sends and can
// simulate the user's Cancel at a chosen drain.
#pragma once

#include <vector>

struct ProgressChannel {
  // Room reserved up front: recording must not allocate while an operation
  // runs, or it would take the operation's place among the injected
  // allocation failures.
  ProgressChannel() { sent.reserve(1024); }
  std::vector<unsigned> sent;
  int drains = 0;
  int cancelAtDrain = -1;  // 1 = the first drain reports the cancel message
};
