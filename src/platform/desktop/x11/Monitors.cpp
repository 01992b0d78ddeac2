#include "platform/desktop/x11/Monitors.h"

#include <xcb/randr.h>

#include <map>

namespace tilvane::x11 {
namespace {
constexpr unsigned char kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::uint32_t kMaxEdidLongs = 128;  // 512 bytes: the base block and extensions we do not need

std::string atomName(const XConnection& x, xcb_atom_t atom) {
  auto r = x.reply(xcb_get_atom_name_reply, xcb_get_atom_name(x.get(), atom));
  if (!r) return {};
  return std::string(xcb_get_atom_name_name(r.get()), static_cast<std::size_t>(xcb_get_atom_name_name_length(r.get())));
}

OutputFacts outputFacts(const XConnection& x, xcb_randr_output_t output) {
  OutputFacts facts;
  auto info = x.reply(xcb_randr_get_output_info_reply, xcb_randr_get_output_info(x.get(), output, XCB_CURRENT_TIME));
  if (info) {
    facts.name.assign(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                      static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
  }
  if (x.atoms().EDID != XCB_ATOM_NONE) {
    auto edid = x.reply(xcb_randr_get_output_property_reply,
                        xcb_randr_get_output_property(x.get(), output, x.atoms().EDID, XCB_ATOM_INTEGER, 0,
                                                      kMaxEdidLongs, 0, 0));
    if (edid && edid->format == 8) {
      facts.edid.assign(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(edid.get())),
                        static_cast<std::size_t>(xcb_randr_get_output_property_data_length(edid.get())));
    }
  }
  return facts;
}
}  // namespace

std::optional<std::string> edidKey(const std::string& edid) {
  if (edid.size() < 128) return std::nullopt;
  for (int i = 0; i < 8; ++i)
    if (static_cast<unsigned char>(edid[static_cast<std::size_t>(i)]) != kEdidHeader[i]) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string key = "edid:";
  for (std::size_t i = 8; i < 18; ++i) {  // maker (2), product (2), serial (4), week and year of manufacture
    const auto b = static_cast<unsigned char>(edid[i]);
    key.push_back(kHex[b >> 4]);
    key.push_back(kHex[b & 0x0F]);
  }
  return key;
}

void assignIdentityKeys(std::vector<Monitor>& monitors) {
  for (Monitor& m : monitors) {
    std::optional<std::string> key;
    if (m.automatic) {
      for (const OutputFacts& o : m.outputs)
        if (!key) key = edidKey(o.edid);
      if (!key && !m.outputs.empty() && !m.outputs.front().name.empty()) key = "output:" + m.outputs.front().name;
    }
    m.identityKey = key ? *key : "monitor:" + m.name;
  }
  std::map<std::string, int> seen;
  for (const Monitor& m : monitors) ++seen[m.identityKey];
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    Monitor& m = monitors[i];
    if (seen[m.identityKey] < 2) continue;
    // Appended piece by piece: g++ 12 warns falsely on "x" + std::string temporaries.
    if (!m.outputs.empty() && !m.outputs.front().name.empty())
      m.identityKey.append("@").append(m.outputs.front().name);
    else
      m.identityKey.append("#").append(std::to_string(i));
  }
}

ScreenSize queryScreenSize(const XConnection& x) {
  const auto geometry = x.reply(xcb_get_geometry_reply, xcb_get_geometry(x.get(), x.root()));
  if (!geometry) return {x.screen().width_in_pixels, x.screen().height_in_pixels};
  return {geometry->width, geometry->height};
}

std::vector<Monitor> queryMonitors(const XConnection& x, ScreenSize screen) {
  std::vector<Monitor> monitors;
  if (x.hasRandr()) {
    auto reply = x.reply(xcb_randr_get_monitors_reply, xcb_randr_get_monitors(x.get(), x.root(), 1));
    if (reply) {
      for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* info = it.data;
        Monitor m;
        m.name = atomName(x, info->name);
        m.rect = PixelRect{info->x, info->y, info->width, info->height};
        m.primary = info->primary != 0;
        m.automatic = info->automatic != 0;
        const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(info);
        const int count = xcb_randr_monitor_info_outputs_length(info);
        for (int i = 0; i < count; ++i) m.outputs.push_back(outputFacts(x, outputs[i]));
        if (!m.rect.isEmpty()) monitors.push_back(std::move(m));
      }
    }
  }
  if (monitors.empty()) {
    Monitor whole;
    whole.name = "screen";
    whole.rect = PixelRect{0, 0, screen.width, screen.height};
    whole.primary = true;
    monitors.push_back(std::move(whole));
  }
  assignIdentityKeys(monitors);
  return monitors;
}

}  // namespace tilvane::x11
