#include "platform/defaults/LinkTarget.h"

namespace tilvane::defaults {
namespace {
// As many links as the system follows when it opens a file.
constexpr int kMaxLinks = 40;
}  // namespace

std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& file, std::string& error) {
  std::filesystem::path target = file;
  for (int links = 0;; ++links) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) return target;
    if (links == kMaxLinks) {
      error = file.string() + " is a loop of symbolic links";
      return std::nullopt;
    }
    const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) {
      error = "cannot read the link " + target.string() + ": " + ec.message();
      return std::nullopt;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
}

}  // namespace tilvane::defaults
