// The host's progress channel: records what a long operation sends and can
// simulate the user's Cancel at a chosen drain.
#pragma once

#include <vector>

struct ProgressChannel {
  std::vector<unsigned> sent;
  int drains = 0;
  int cancelAtDrain = -1;  // 1 = the first drain reports the cancel message
};
