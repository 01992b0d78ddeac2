#include "platform/autostart/XdgAutostart.h"

#include <system_error>
#include <utility>

#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"
#include "platform/log/ErrorReport.h"

namespace tilvane {
namespace {

constexpr const char* kEntryName = "tilvane.desktop";

std::string thisProgram() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("tilvane") : path.string();
}

// An Exec argument in double quotes, with the characters the desktop-entry format escapes inside them; "%" is
// doubled, since a lone one starts a field code.
std::string quotedArgument(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\') {
      quoted += "\\\\\\\\";  // escaped for the argument, then for the string
      continue;
    }
    if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '%') quoted += '%';
    if (c == '\n' || c == '\r') continue;
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

XdgAutostart::XdgAutostart(std::string program) : program_(std::move(program)) {}

XdgAutostart::XdgAutostart(std::filesystem::path file, std::string program)
    : file_(std::move(file)), program_(std::move(program)) {}

std::filesystem::path XdgAutostart::entryPath() const {
  return file_.empty() ? xdg::configHome() / "autostart" / kEntryName : file_;
}

std::string XdgAutostart::entryText(const std::string& program) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tilvane\n"
         "Comment=Arranges your windows\n"
         "Exec=" +
         quotedArgument(program) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostart::enableLaunchAtLogin() {
  const std::filesystem::path path = entryPath();
  std::string error;
  if (!defaults::writeFileAtomically(path, entryText(program_.empty() ? thisProgram() : program_), error)) {
    log::reportError("cannot write the autostart entry " + path.string() + ": " + error);
    return false;
  }
  return true;
}

bool XdgAutostart::disableLaunchAtLogin() {
  const std::filesystem::path path = entryPath();
  std::error_code error;
  std::filesystem::remove(path, error);  // an entry that is not there is no start at login already
  if (error) {
    log::reportError("cannot remove the autostart entry " + path.string() + ": " + error.message());
    return false;
  }
  return true;
}

bool XdgAutostart::isLaunchAtLoginEnabled() const {
  std::error_code error;
  return std::filesystem::exists(entryPath(), error);
}

}  // namespace tilvane
