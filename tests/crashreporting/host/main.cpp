// Starts the library the way a host program does and prints what it learnt:
//   crashreporting_host <Info.plist>
// prints "first-install=<0|1> install-id=<id> execution-id=<id>"; exit status 2 when the start fails.
//   crashreporting_host <Info.plist> events <count>
// starts the analytics kit too, logs <count> custom events named "exit-test" and returns from main at once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "crashreporting/Kit/ZIZException.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/platform/MainBundle.h"

int main(int argc, char** argv) {
  using namespace crashreporting;
  const bool events = argc == 4 && std::string(argv[2]) == "events";
  if (argc != 2 && !events) {
    std::fprintf(stderr, "usage: %s <Info.plist> [events <count>]\n", argv[0]);
    return 2;
  }
  std::string error;
  auto info = BundleInfo::fromFile(argv[1], error);
  if (!info) {
    std::fprintf(stderr, "cannot read %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  MainBundle::set(std::move(*info));
  try {
    Zizozu& sdk = events ? Zizozu::with({&Vizuzod::classObject()}) : Zizozu::with({});
    std::printf("first-install=%d install-id=%s execution-id=%s\n", sdk.isFirstInstall() ? 1 : 0,
                sdk.installID().c_str(), sdk.executionIdentifier().c_str());
  } catch (const ZIZException& e) {
    std::fprintf(stderr, "%s: %s\n", ZIZException::name(), e.what());
    return 2;
  }
  if (events) {
    for (long i = 0, count = std::strtol(argv[3], nullptr, 10); i < count; ++i)
      Vizuzod::logCustomEventWithName("exit-test", {});
  }
  return 0;
}
