#include "Shell/InstanceChoice.h"

#include "platform/ipc/InstanceChannel.h"

namespace tilvane {

InstanceChoice chooseInstance(const std::string& desktop, const std::vector<std::string>& running) {
  if (!desktop.empty()) return {ipc::instanceName(desktop), ""};
  if (running.size() == 1) return {running.front(), ""};
  if (running.empty()) return {"", "no instance of Tilvane runs, and without DISPLAY this start cannot be one"};
  const std::size_t prefix = ipc::kDefaultInstance.size() + 1;  // "tilvane-"
  std::string displays;
  for (const std::string& name : running) displays += (displays.empty() ? "" : ", ") + name.substr(prefix);
  return {"", std::to_string(running.size()) + " instances of Tilvane run (" + displays +
                  "); set DISPLAY to the display of the one meant"};
}

}  // namespace tilvane
