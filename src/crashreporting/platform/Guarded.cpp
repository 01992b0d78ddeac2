#include "crashreporting/platform/Guarded.h"

#include <exception>
#include <string>

#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

void runGuarded(const char* where, const std::function<void()>& work) noexcept {
  try {
    work();
  } catch (const std::exception& error) {
    SystemLog::write(std::string("[Zizozu] A task of ") + where + " failed: " + error.what());
  } catch (...) {
    SystemLog::write(std::string("[Zizozu] A task of ") + where + " failed");
  }
}

}  // namespace crashreporting
