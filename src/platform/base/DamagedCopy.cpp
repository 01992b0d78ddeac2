#include "platform/base/DamagedCopy.h"

namespace tilvane {

std::filesystem::path damagedCopyName(const std::filesystem::path& file, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return file.string() + ".damaged-" + stamp;
}

}  // namespace tilvane
