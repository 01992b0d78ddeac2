#include "crashreporting/platform/ForkedChild.h"

#include <atomic>
#include <string>

#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

void sayNothingIsRecordedInForkedChild() {
  // The process it was said in: a grandchild says it again.
  static std::atomic<pid_t> saidIn{0};
  const pid_t self = ::getpid();
  if (saidIn.exchange(self) == self) return;
  SystemLog::write("[Zizozu] Process " + std::to_string(self) +
                   " was forked without exec: nothing is recorded in it (its events, keys, logs, errors and "
                   "crashes are not kept)");
}

}  // namespace crashreporting
