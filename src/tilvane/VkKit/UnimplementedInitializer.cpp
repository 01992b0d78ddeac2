#include "VkKit/UnimplementedInitializer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tilvane {

void reportUnimplementedInitializer(std::string_view initializer, std::string_view className) {
  const std::string message =
      std::string(className) + ": " + std::string(initializer) + " has not been implemented\n";
  std::fwrite(message.data(), 1, message.size(), stderr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tilvane
