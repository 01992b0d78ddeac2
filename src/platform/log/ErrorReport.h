#pragma once

#include <functional>
#include <string_view>

#include "platform/log/Logger.h"

namespace tilvane::log {

/// How platform code reports a failure it handles itself (a damaged settings file, a hot key another program
/// holds): through the handler the application installs (its logger), else on standard error. Keeps the
/// platform layer free of the application's logging entry.
void report(Level level, std::string_view message);
inline void reportError(std::string_view message) { report(Level::error, message); }
inline void reportWarning(std::string_view message) { report(Level::warning, message); }

/// Installs the handler; an empty one goes back to standard error.
void setReporter(std::function<void(Level, std::string_view)> reporter);

}  // namespace tilvane::log
