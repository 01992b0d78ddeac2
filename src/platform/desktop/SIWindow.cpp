#include "platform/desktop/SIWindow.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/desktop/Desktop.h"

namespace tilvane {
namespace {
ApplicationServer* server() {
  Desktop* desktop = Desktop::current();
  return desktop ? &desktop->applicationServer() : nullptr;
}

bool isFinitePoint(CGPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isSendableSize(CGSize s) {
  return std::isfinite(s.width) && std::isfinite(s.height) && s.width > 0 && s.height > 0;
}

// The height of the primary display (the first at origin (0, 0), else the first): the pivot between the
// display space and the window space.
double primaryHeight() {
  const auto primary = NSScreen::primary();
  return primary ? std::fabs(primary->frame.size.height) : 0.0;
}

double overlapArea(const CGRect& a, const CGRect& b) {
  const double w = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
  const double h = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
  return (w > 0 && h > 0) ? w * h : 0.0;
}
}  // namespace

std::optional<SIWindow> SIWindow::fromElement(const AXUIElement& element) {
  if (!element.isWindow()) return std::nullopt;
  return SIWindow(element);
}

std::optional<SIWindow> SIWindow::focusedWindow() {
  ApplicationServer* s = server();
  if (!s) return std::nullopt;
  const auto element = s->focusedWindow();
  return element ? fromElement(*element) : std::nullopt;
}

CGRect SIWindow::frame() const {
  ApplicationServer* s = server();
  const auto frame = s ? s->windowFrame(element_) : std::nullopt;
  return frame && isFinite(*frame) ? *frame : CGRect{};
}

std::optional<NSScreen> SIWindow::screen() const { return screenHolding(frame()); }

std::optional<NSScreen> SIWindow::screenHolding(const CGRect& window) {
  // One reference captured: the visitor then needs no allocation.
  struct {
    const CGRect& window;
    double pivot;
    std::optional<NSScreen> best;
    double bestArea = 0;
  } search{window, primaryHeight(), std::nullopt};
  NSScreen::visitScreens([&search](const NSScreen& candidate) {
    // The display's frame in the window space.
    const CGRect flipped =
        CGRectMake(candidate.frame.minX(), search.pivot - candidate.frame.maxY(),
                   std::fabs(candidate.frame.size.width), std::fabs(candidate.frame.size.height));
    const double area = overlapArea(search.window, flipped);
    if (area > search.bestArea) {
      search.bestArea = area;
      search.best = candidate;
    }
  });
  return search.best;
}

std::optional<std::string> SIWindow::title() const { return stringForKey(kAXTitleAttribute); }

std::optional<SIApplication> SIWindow::app() const {
  if (element_.pid <= 0) return std::nullopt;
  return SIApplication(element_.pid);
}

bool SIWindow::isMovable() const {
  ApplicationServer* s = server();
  return s && s->isWindowMovable(element_);
}

std::optional<std::string> SIWindow::stringForKey(std::string_view key) const {
  AXValue value;
  if (AXUIElementCopyAttributeValue(element_, key, value) != AXError::success) return std::nullopt;
  if (auto* text = std::get_if<std::string>(&value)) return std::move(*text);
  return std::nullopt;
}

bool SIWindow::setFrame(const CGRect& frame) {
  if (!isFinitePoint(frame.origin) || !isSendableSize(frame.size)) return false;
  ApplicationServer* s = server();
  return s && s->setWindowFrame(element_, frame);
}

SIWindow::KnownStateReads::KnownStateReads() : server_(server()) {
  if (server_) server_->setReadsFromKnownState(true);
}

SIWindow::KnownStateReads::~KnownStateReads() {
  if (server_) server_->setReadsFromKnownState(false);
}

bool SIWindow::setPosition(CGPoint position) {
  ApplicationServer* s = server();
  return s && isFinitePoint(position) && s->setWindowPosition(element_, position);
}

bool SIWindow::setSize(CGSize size) {
  ApplicationServer* s = server();
  return s && isSendableSize(size) && s->setWindowSize(element_, size);
}

bool SIWindow::focusWindow() {
  ApplicationServer* s = server();
  return s && s->focusWindow(element_);
}

bool SIWindow::moveToSpace(int position) {
  ApplicationServer* s = server();
  return s && position >= 1 && s->moveWindowToSpace(element_, position);
}

std::optional<int> SIWindow::space() const {
  const ApplicationServer* s = server();
  return s ? s->windowSpace(element_) : std::nullopt;
}

std::string SIWindow::description() const {
  std::ostringstream out;
  out << "<SIWindow 0x" << std::hex << element_.id << std::dec << " pid " << element_.pid << '>';
  return out.str();
}

}  // namespace tilvane
