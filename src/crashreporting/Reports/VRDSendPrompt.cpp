#include "crashreporting/Reports/VRDSendPrompt.h"

#include <mutex>

#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

struct Registry {
  std::mutex mutex;
  std::shared_ptr<VRDSendPrompt> prompt;
};

}  // namespace

void VRDSendPrompt::registerPrompt(std::shared_ptr<VRDSendPrompt> prompt) {
  Registry& registry = Shared<Registry>::get();
  const std::lock_guard lock(registry.mutex);
  registry.prompt = std::move(prompt);
}

std::shared_ptr<VRDSendPrompt> VRDSendPrompt::registered() {
  Registry& registry = Shared<Registry>::get();
  const std::lock_guard lock(registry.mutex);
  return registry.prompt;
}

}  // namespace crashreporting
