// Trying again for a while; see retries.h.
#include "platform/desktop/retries.h"

namespace platform::desktop {

bool Retries::tried(bool taken, forms::Millis now) {
  at_.reset();
  if (taken) {
    refusedSince_.reset();
    return true;
  }
  if (!refusedSince_) {
    refusedSince_ = now;
  }
  if (now + kEvery - *refusedSince_ > kForAtMost) {
    return false;
  }
  at_ = now + kEvery;
  return true;
}

void Retries::reset() {
  refusedSince_.reset();
  at_.reset();
}

}  // namespace platform::desktop
