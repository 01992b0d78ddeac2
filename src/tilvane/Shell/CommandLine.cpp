#include "Shell/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace tilvane {
namespace {

constexpr std::string_view kScheme = "tilvane:";

}  // namespace

bool isOurURL(std::string_view text) {
  if (text.size() < kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i]) return false;
  return true;
}

CommandLine readCommandLine(const std::vector<std::string>& args, std::size_t maxURL) {
  CommandLine line;
  if (args.empty()) return line;
  const std::string& first = args[0];
  if (args.size() == 1 && (first == "--help" || first == "-h")) {
    line.action = CommandLine::Action::help;
    return line;
  }
  if (args.size() == 1 && first == "--version") {
    line.action = CommandLine::Action::version;
    return line;
  }
  if (args.size() > 1 || !isOurURL(first)) {
    line.action = CommandLine::Action::refuse;
    line.problem = "unexpected argument \"" + (args.size() > 1 ? args[1] : first) +
                   "\"; usage: tilvane [--help | --version | tilvane://URL]";
    return line;
  }
  if (first.size() > maxURL) {
    line.action = CommandLine::Action::refuse;
    line.problem = "the URL is " + std::to_string(first.size()) + " bytes long, more than the " +
                   std::to_string(maxURL) + " accepted; nothing was done";
    return line;
  }
  line.url = first;
  return line;
}

const std::vector<URLRequest>& urlRequests() {
  static const std::vector<URLRequest> requests{
      {"tilvane://space?id=ID", "restore the saved workspace ID"},
      {"tilvane://action?target=layoutall", "lay out every window again"},
      {"tilvane://action?target=toggle", "turn automatic layout on or off"},
      {"tilvane://action?target=preferences", "open the preferences"},
      {"tilvane://action?target=advanced", "open the advanced window"},
      {"tilvane://action?target=updates", "check for updates"},
  };
  return requests;
}

std::string usageText() {
  std::string text =
      "Usage: tilvane [--help | --version | tilvane://URL]\n"
      "Lays out windows from the tray. One instance runs per user: a later start hands its URL to the\n"
      "running one (without a URL, it opens the preferences when the tray icon is hidden).\n"
      "\n"
      "  -h, --help     print this text\n"
      "  --version      print the version\n"
      "\n"
      "URLs:\n";
  std::size_t width = 0;
  for (const URLRequest& request : urlRequests()) width = std::max(width, request.url.size());
  for (const URLRequest& request : urlRequests())
    text += "  " + request.url + std::string(width - request.url.size() + 2, ' ') + request.what + "\n";
  return text;
}

std::string versionText(const BundleVersion& version) {
  std::string text = "tilvane " + version.shortVersion.value_or("unknown");
  if (version.build) text += " (build " + *version.build + ")";
  return text + "\n";
}

}  // namespace tilvane
