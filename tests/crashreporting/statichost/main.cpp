// A host that starts threads before the crash capture starts and after, each by std::thread and by
// pthread_create, and says how they went:
//   crashreporting_statichost <report-dir>
// prints "before=<n> after=<n> after-altstack=<n>": how many of the two threads of each round ran, and how many
// of the later ones ran with an alternate signal stack. Exit status 2 when the capture does not start.
// Built twice: linked statically, and linked as usual beside a pthread_create of the host's own.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <system_error>
#include <thread>

#include "crashreporting/Capture/VRDContext.h"

namespace {

struct Outcome {
  bool ran = false;
  bool altStack = false;
};

void* note(void* data) {
  stack_t stack{};
  sigaltstack(nullptr, &stack);
  *static_cast<Outcome*>(data) = {true, (stack.ss_flags & SS_DISABLE) == 0};
  return nullptr;
}

// One thread by std::thread and one by pthread_create; a start that fails leaves its outcome false.
void startTwo(Outcome (&outcomes)[2]) {
  try {
    std::thread(note, &outcomes[0]).join();
  } catch (const std::system_error&) {
  }
  pthread_t thread;
  if (pthread_create(&thread, nullptr, note, &outcomes[1]) == 0) pthread_join(thread, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Outcome before[2];
  startTwo(before);
  crashreporting::VRDContextInitData data;
  data.apiKey = "static-host";
  data.reportDirectory = argv[1];
  data.sessionIdentifier = "session";
  data.installIdentifier = "install";
  data.maxCustomKeys = 8;
  data.logBufferSize = 4096;
  if (!crashreporting::VRDContextInitialize(&data)) return 2;
  Outcome after[2];
  startTwo(after);
  std::printf("before=%d after=%d after-altstack=%d\n", before[0].ran + before[1].ran, after[0].ran + after[1].ran,
              after[0].altStack + after[1].altStack);
  return 0;
}
