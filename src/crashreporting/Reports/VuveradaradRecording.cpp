// The crash kit's non-fatal records (errors, custom exceptions), its analytics events, and its two test entries.
#include "crashreporting/Capture/VRDException.h"
#include "crashreporting/Capture/VRDTestException.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"

namespace crashreporting {

void Vuveradarad::recordError(const Error& error) { recordError(error, std::nullopt); }

void Vuveradarad::recordError(const Error& error, const std::optional<Dictionary>& additionalUserInfo) {
  const std::optional<Dictionary> copy = additionalUserInfo;
  VRDUserLoggingRecordError(&error, copy ? &*copy : nullptr);
}

void Vuveradarad::recordCustomExceptionName(const std::string& name, const std::string& reason,
                                            const std::vector<VRDStackFrame>& frameArray) {
  // The record waits for its write on the logging queue, so the caller's texts and frames outlive it.
  VRDExceptionRecord(VRDExceptionTypeCustom, name.c_str(), reason.c_str(), frameArray, false);
}

void Vuveradarad::logEvent(const std::string& name) { logEvent(name, std::nullopt); }

void Vuveradarad::logEvent(const std::string& name, const std::optional<Dictionary>& attributes) {
  Vizuzod::logCustomEventWithName(name, attributes);
}

void Vuveradarad::crash() { __builtin_trap(); }

void Vuveradarad::throwException() { VRDExceptionRaiseTestException(); }

}  // namespace crashreporting
