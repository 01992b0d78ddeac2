#include "crashreporting/VizuzodKit/VZDLogger.h"

#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

VZDLogger& VZDLogger::sharedLogger() { return Shared<VZDLogger>::get(); }

void VZDLogger::log(std::string_view text) const {
  if (debugMode_) SystemLog::write("[Vizuzod] " + std::string(text));
}

void VZDLogger::logWithLabel(std::string_view label, std::string_view text) const {
  if (debugMode_) SystemLog::write("[Vizuzod:" + std::string(label) + "] " + std::string(text));
}

void VZDAlwaysLog(std::string_view line) { SystemLog::write(line); }

}  // namespace crashreporting
