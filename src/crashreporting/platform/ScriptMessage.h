#pragma once

#include <string>

#include "crashreporting/platform/Value.h"

// What a web view hands the native side when a page's script posts to a named message handler. There are no
// web views in this library; a host that embeds a page engine of its own builds these messages and delivers
// them to the handler.

namespace crashreporting {

/// The web view's user content controller that delivered a message. It carries nothing here: the handler only
/// needs to know which controller spoke, and no web view exists to own one.
struct WKUserContentController {};

/// A message posted by a page's script: the handler's name and the posted value.
struct WKScriptMessage {
  std::string name;
  Value body;
};

/// Receives script messages.
class WKScriptMessageHandler {
 public:
  virtual void userContentController(WKUserContentController& userContentController,
                                     const WKScriptMessage& message) = 0;

 protected:
  ~WKScriptMessageHandler() = default;
};

}  // namespace crashreporting
