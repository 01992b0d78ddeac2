#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <optional>

namespace tilvane::ipc {

/// The address of a local socket file; none when the path is empty or too long for one.
inline std::optional<sockaddr_un> socketAddress(const std::filesystem::path& socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& text = socket.native();
  if (text.empty() || text.size() >= sizeof(address.sun_path)) return std::nullopt;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

}  // namespace tilvane::ipc
