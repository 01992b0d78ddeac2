#include "platform/dispatch/Clock.h"

#include <chrono>

namespace tilvane::dispatch {

double SystemClock::now() const {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tilvane::dispatch
