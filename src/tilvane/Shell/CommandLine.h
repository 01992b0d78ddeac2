#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "AppManager/Settings/BundleVersion.h"

namespace tilvane {

/// What a start was asked to do by its arguments.
struct CommandLine {
  enum class Action {
    /// Run, or hand `url` (empty: a reopen) to the instance running.
    run,
    /// Print usageText() and end with status 0.
    help,
    /// Print versionText() and end with status 0.
    version,
    /// Print `problem` and end with status 2.
    refuse,
  };
  Action action = Action::run;
  std::string url;
  std::string problem;
};

/// Whether `text` is a URL of the program's scheme ("tilvane:", in any case).
bool isOurURL(std::string_view text);

/// Reads the arguments after the program's name: none, one URL of the program's scheme, "--help" (or "-h") or
/// "--version". Anything else, or a URL longer than `maxURL` bytes, is refused with a sentence.
CommandLine readCommandLine(const std::vector<std::string>& args, std::size_t maxURL);

/// One requested action the program's URLs can carry, as --help lists it.
struct URLRequest {
  std::string url;
  std::string what;
};
/// Every request the URL handler acts on, in the order --help lists them.
const std::vector<URLRequest>& urlRequests();

/// The usage, the options and the URLs the program acts on.
std::string usageText();
/// "tilvane V (build B)".
std::string versionText(const BundleVersion& version);

}  // namespace tilvane
