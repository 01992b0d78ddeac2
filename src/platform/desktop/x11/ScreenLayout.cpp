#include "platform/desktop/x11/ScreenLayout.h"

#include <algorithm>

#include "platform/desktop/x11/NameUuid.h"
#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {
namespace {
constexpr std::size_t kMaxClients = 4096;
// Four values per desktop.
constexpr std::size_t kMaxWorkAreaValues = 4 * 64;
}  // namespace

ScreenLayout ScreenLayout::arrange(std::vector<Monitor> monitors, std::int64_t screenWidth,
                                   std::int64_t screenHeight, const std::vector<Strut>& struts) {
  ScreenLayout layout;
  if (monitors.empty()) return layout;
  auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
  if (primary == monitors.end())
    primary = std::find_if(monitors.begin(), monitors.end(),
                           [](const Monitor& m) { return m.rect.x == 0 && m.rect.y == 0; });
  if (primary == monitors.end()) primary = monitors.begin();
  std::rotate(monitors.begin(), primary, primary + 1);  // primary first, the others keep their order

  for (Monitor& m : monitors) {
    Display d;
    d.usable = usableArea(m.rect, screenWidth, screenHeight, struts);
    d.uuid = displayUuid(m.identityKey);
    d.monitor = std::move(m);
    layout.displays_.push_back(std::move(d));
  }
  layout.space_ = CoordinateSpace(layout.displays_.front().monitor.rect);
  return layout;
}

ScreenLayout ScreenLayout::query(const XConnection& x) {
  const ScreenSize screen = queryScreenSize(x);
  std::vector<Strut> struts = queryStruts(x, screen);
  if (const auto area = queryWorkArea(x)) {
    const auto panels =
        workAreaStruts(*area, screen.width, screen.height, struts, [&x] { return queryShownTopWindows(x); });
    struts.insert(struts.end(), panels.begin(), panels.end());
  }
  return arrange(queryMonitors(x, screen), screen.width, screen.height, struts);
}

std::vector<NSScreen> ScreenLayout::screens() const {
  std::vector<NSScreen> out;
  for (const Display& d : displays_)
    out.push_back(NSScreen{space_.toDisplaySpace(d.monitor.rect), space_.toDisplaySpace(d.usable)});
  return out;
}

const Display* ScreenLayout::displayForRect(const PixelRect& r) const {
  const Display* best = nullptr;
  std::int64_t bestArea = 0;
  for (const Display& d : displays_) {
    const std::int64_t area = d.monitor.rect.overlapArea(r);
    if (area > bestArea) {
      bestArea = area;
      best = &d;
    }
  }
  return best ? best : displayAt(r.x + r.width / 2, r.y + r.height / 2);
}

const Display* ScreenLayout::displayAt(std::int64_t x, std::int64_t y) const {
  for (const Display& d : displays_)
    if (d.monitor.rect.contains(x, y)) return &d;
  return nullptr;
}

std::vector<Strut> queryStruts(const XConnection& x, ScreenSize screen) {
  const Atoms& a = x.atoms();
  const auto clients =
      decodeList(readProperty(x, x.root(), a._NET_CLIENT_LIST, kMaxListBytes), XCB_ATOM_WINDOW, kMaxClients);
  if (!clients) return {};
  std::vector<PropertyRequest> partial, full;
  partial.reserve(clients->size());
  full.reserve(clients->size());
  for (const xcb_window_t w : *clients) {
    partial.emplace_back(x, w, a._NET_WM_STRUT_PARTIAL, 12 * 4);
    full.emplace_back(x, w, a._NET_WM_STRUT, 4 * 4);
  }
  std::vector<Strut> struts;
  for (std::size_t i = 0; i < clients->size(); ++i) {
    const auto p = decodeFixed(partial[i].get(), XCB_ATOM_CARDINAL, 12);
    const auto f = decodeFixed(full[i].get(), XCB_ATOM_CARDINAL, 4);
    if (p) {
      struts.push_back(*strutFromPartial(*p));
    } else if (f) {
      struts.push_back(*strutFromFull(*f, screen.width, screen.height));
    }
  }
  return struts;
}

std::optional<PixelRect> queryWorkArea(const XConnection& x) {
  const Atoms& a = x.atoms();
  PropertyRequest currentRequest(x, x.root(), a._NET_CURRENT_DESKTOP, 4);
  PropertyRequest areasRequest(x, x.root(), a._NET_WORKAREA, kMaxWorkAreaValues * 4);
  const auto current = decodeFirst(currentRequest.get(), XCB_ATOM_CARDINAL);
  const auto areas = decodeList(areasRequest.get(), XCB_ATOM_CARDINAL, kMaxWorkAreaValues);
  if (!areas || areas->size() < 4) return std::nullopt;
  const std::size_t desktop = current && (std::size_t{*current} + 1) * 4 <= areas->size() ? *current : 0;
  const std::uint32_t* v = areas->data() + desktop * 4;
  return PixelRect{v[0], v[1], v[2], v[3]};
}

std::vector<PixelRect> queryShownTopWindows(const XConnection& x) {
  std::vector<xcb_window_t> children;
  if (const auto tree = x.reply(xcb_query_tree_reply, xcb_query_tree(x.get(), x.root()))) {
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    const auto count = static_cast<std::size_t>(std::max(0, xcb_query_tree_children_length(tree.get())));
    children.assign(first, first + std::min(count, kMaxClients));
  }
  std::vector<xcb_get_window_attributes_cookie_t> attributes;
  std::vector<xcb_get_geometry_cookie_t> geometries;
  attributes.reserve(children.size());
  geometries.reserve(children.size());
  for (const xcb_window_t w : children) {
    attributes.push_back(xcb_get_window_attributes(x.get(), w));
    geometries.push_back(xcb_get_geometry(x.get(), w));
  }
  std::vector<PixelRect> shown;
  for (std::size_t i = 0; i < children.size(); ++i) {
    const auto attribute = x.reply(xcb_get_window_attributes_reply, attributes[i]);
    const auto geometry = x.reply(xcb_get_geometry_reply, geometries[i]);
    if (!attribute || !geometry || attribute->map_state != XCB_MAP_STATE_VIEWABLE) continue;
    const std::int64_t border = 2 * std::int64_t{geometry->border_width};
    shown.push_back(PixelRect{geometry->x, geometry->y, geometry->width + border, geometry->height + border});
  }
  return shown;
}

}  // namespace tilvane::x11
