#include "platform/desktop/x11/X11DisplayServer.h"

#include <algorithm>

#include "platform/desktop/x11/NameUuid.h"
#include "platform/desktop/x11/VisibleFrame.h"

namespace tilvane::x11 {

std::vector<NSScreen> X11DisplayServer::screens() const { return layout().screens(); }

void X11DisplayServer::visitScreens(const std::function<void(const NSScreen&)>& visit) const {
  const ScreenLayout& l = layout();
  for (const Display& d : l.displays())
    visit(NSScreen{l.space().toDisplaySpace(d.monitor.rect), l.space().toDisplaySpace(d.usable)});
}

std::size_t X11DisplayServer::screenCount() const { return layout().displays().size(); }

std::optional<NSScreen> X11DisplayServer::primaryScreen() const {
  const ScreenLayout& l = layout();
  const Display* primary =
      primaryOf(l.displays(), [&l](const Display& d) { return l.space().toDisplaySpace(d.monitor.rect); });
  if (!primary) return std::nullopt;
  return NSScreen{l.space().toDisplaySpace(primary->monitor.rect), l.space().toDisplaySpace(primary->usable)};
}

std::optional<NSScreen> X11DisplayServer::mainScreen() const {
  const ScreenLayout& l = layout();
  if (l.displays().empty()) return std::nullopt;
  const Display* main = nullptr;
  if (const auto active = queryActiveWindow(x_))
    if (const auto frame = queryVisibleFrame(x_, *active)) main = l.displayForRect(*frame);
  if (!main) {
    if (auto pointer = x_.reply(xcb_query_pointer_reply, xcb_query_pointer(x_.get(), x_.root())))
      main = l.displayAt(pointer->root_x, pointer->root_y);
  }
  if (!main) main = &l.displays().front();
  return NSScreen{l.space().toDisplaySpace(main->monitor.rect), l.space().toDisplaySpace(main->usable)};
}

DesktopState X11DisplayServer::desktops() const {
  const auto v = properties_.get(x_.root(), {{x_.atoms()._NET_NUMBER_OF_DESKTOPS, 4}, {x_.atoms()._NET_CURRENT_DESKTOP, 4}});
  return desktopsFrom(v[0], v[1]);
}

std::optional<ManagedDisplaySpaces> X11DisplayServer::copyManagedDisplaySpaces() const {
  const DesktopState desktops = this->desktops();
  if (desktops.count == 0) return std::nullopt;
  std::vector<ManagedSpace> spaces;
  for (std::uint32_t i = 0; i < desktops.count; ++i) spaces.push_back(ManagedSpace{desktopUuid(i)});
  ManagedDisplaySpaces listing;
  const ScreenLayout& l = layout();
  for (const Display& d : l.displays()) {
    ManagedDisplay entry;
    entry.displayIdentifier = d.uuid;
    entry.spaces = spaces;
    if (desktops.current) entry.currentSpace = ManagedSpace{desktopUuid(*desktops.current)};
    listing.push_back(std::move(entry));
  }
  return listing;
}

std::optional<std::string> X11DisplayServer::currentSpaceOfDisplay(
    const std::optional<std::string>& displayIdentifier) const {
  // What copyManagedDisplaySpaces() lists: the shared current desktop for every display.
  const DesktopState desktops = this->desktops();
  if (desktops.count == 0 || !desktops.current) return std::nullopt;
  const ScreenLayout& l = layout();
  const auto& displays = l.displays();
  const bool listed = displayIdentifier
                          ? std::any_of(displays.begin(), displays.end(),
                                        [&](const Display& d) { return d.uuid == *displayIdentifier; })
                          : !displays.empty();
  return listed ? std::optional<std::string>(desktopUuid(*desktops.current)) : std::nullopt;
}

std::optional<std::string> X11DisplayServer::bestManagedDisplayForRect(const CGRect& rect) const {
  const ScreenLayout& l = layout();
  if (l.displays().empty()) return std::nullopt;
  const auto r = l.space().fromDisplaySpace(rect);
  if (!r) return std::nullopt;
  const Display* d = l.displayForRect(*r);
  if (!d) return std::nullopt;
  return d->uuid;
}

}  // namespace tilvane::x11
