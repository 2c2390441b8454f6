// Host progress channel for tests.
#include "platform/progress.h"
#include "platform/progress_host.h"

void SendProgress(ProgressChannel* channel, unsigned percent) {
  if (channel != nullptr) channel->sent.push_back(percent);
}

bool DrainAndCheckCancel(ProgressChannel* channel) {
  if (channel == nullptr) return false;
  return ++channel->drains == channel->cancelAtDrain;
}
