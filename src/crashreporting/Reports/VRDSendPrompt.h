#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The send prompt: a modal alert that asks the user whether to send a report of an earlier run. The library has
// no user interface of its own; a host that has one registers a prompt, and without one reports are sent
// without asking.

namespace crashreporting {

struct VRDSendPromptAlert {
  std::string messageText;
  std::string informativeText;
  /// In the order they are shown: send, always send (when the settings have that text), cancel.
  std::vector<std::string> buttons;
};

class VRDSendPrompt {
 public:
  virtual ~VRDSendPrompt() = default;
  /// Shows the alert and waits for the user; answers the index of the chosen button. Called on the library's
  /// main queue. An index past the buttons counts as the last one (cancel).
  virtual std::size_t runModal(const VRDSendPromptAlert& alert) = 0;

  /// The host's prompt (none: back to sending without asking). Forgotten with the library's other single
  /// instances.
  static void registerPrompt(std::shared_ptr<VRDSendPrompt> prompt);
  static std::shared_ptr<VRDSendPrompt> registered();
};

}  // namespace crashreporting
