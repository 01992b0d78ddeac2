// Errors of web pages: a page's error handler posts {msg, url, line, column} to the "vuveradarad" message
// handler, and the message is recorded as a non-fatal "javascript" exception of the current report.
#include "crashreporting/Capture/VRDException.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

void Vuveradarad::userContentController(WKUserContentController& /*userContentController*/,
                                        const WKScriptMessage& message) {
  const Dictionary* body = message.body.get<Dictionary>();
  if (!body) {
    SystemLog::write("[Vuveradarad] Unable to record exception from WKWebView");
    return;
  }
  // A page decides what it posts: a message that is not text is recorded as the text it prints as.
  std::string reason;
  if (const auto found = body->find("msg"); found != body->end()) {
    const std::string* text = found->second.get<std::string>();
    reason = text ? *text : found->second.description();
  }
  VRDExceptionRecord(VRDExceptionTypeJavaScript, "exception", reason.c_str(), {}, false);
}

}  // namespace crashreporting
