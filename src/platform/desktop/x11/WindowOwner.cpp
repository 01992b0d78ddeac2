#include "platform/desktop/x11/WindowOwner.h"

#include <unistd.h>
#include <xcb/res.h>

#include <array>

#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {
namespace {
// Linux pids stay below 2^22; anything else in _NET_WM_PID is not a process of ours.
constexpr std::uint32_t kMaxPid = 1u << 22;

std::optional<pid_t> pidFromXRes(const XConnection& x, xcb_window_t window) {
  if (!x.hasXRes()) return std::nullopt;
  xcb_res_client_id_spec_t clientId{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  auto reply = x.reply(xcb_res_query_client_ids_reply, xcb_res_query_client_ids(x.get(), 1, &clientId));
  if (!reply) return std::nullopt;
  for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem; xcb_res_client_id_value_next(&it)) {
    if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
    if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
    const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
    if (pid > 0 && pid < kMaxPid) return static_cast<pid_t>(pid);
  }
  return std::nullopt;
}
}  // namespace

std::string localHostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return std::string(name.data());
}

std::optional<pid_t> queryWindowPid(const XConnection& x, xcb_window_t window, const std::string& hostName) {
  PropertyRequest pidRequest(x, window, x.atoms()._NET_WM_PID, 4);
  PropertyRequest machineRequest(x, window, XCB_ATOM_WM_CLIENT_MACHINE, kMaxSmallBytes);
  const auto pid = decodeFirst(pidRequest.get(), XCB_ATOM_CARDINAL);
  const auto machine = decodeText(machineRequest.get(), x.atoms());
  const bool local = !machine || machine->empty() || *machine == hostName;
  if (pid && local && *pid > 0 && *pid < kMaxPid) return static_cast<pid_t>(*pid);
  return pidFromXRes(x, window);
}

}  // namespace tilvane::x11
