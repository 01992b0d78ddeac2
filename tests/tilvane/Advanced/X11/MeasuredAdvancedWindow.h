#pragma once

#include <QApplication>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>

#include "Advanced/AdvancedViewController.h"
#include "Advanced/Qt/QtAdvancedViews.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "support/x11/XProbe.h"

namespace tilvane::test::x11 {

/// The advanced window built in the test process (same code, display and fonts as the program) and shown at one
/// pane, so an X test reads where the user is to click in the program's window. Nothing is stored; the window
/// closes when this goes.
class MeasuredAdvancedWindow {
 public:
  explicit MeasuredAdvancedWindow(int pane)
      : advanced_(VkRxController::make<AdvancedViewController>(AdvancedServices{nullptr, &views_})),
        window_(dynamic_cast<QtPaneWindow&>(*advanced_->advancedViewController()->window())) {
    advanced_->advancedViewController()->selectControllerAtIndex(pane);
    advanced_->advancedViewController()->showWindow();
    settle();
  }
  ~MeasuredAdvancedWindow() { window_.window().close(); }
  MeasuredAdvancedWindow(const MeasuredAdvancedWindow&) = delete;
  MeasuredAdvancedWindow& operator=(const MeasuredAdvancedWindow&) = delete;

  AdvancedViewController& advanced() { return *advanced_; }
  QtPaneWindow& window() { return window_; }
  /// Lets Qt lay out and show what changed.
  static void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
  }
  /// `point` of `widget` in the window's own pixels.
  QPoint at(const QWidget* widget, QPoint point) { return widget->mapTo(&window_.window(), point); }
  QPoint centre(const QWidget* widget) { return at(widget, widget->rect().center()); }

  /// The advanced window among the window manager's clients (this one or the program's); absent when none is.
  static std::optional<std::uint32_t> listed(XProbe& probe) {
    for (const std::uint32_t w : probe.clientList())
      if (probe.text(w, "WM_NAME") == "Tilvane Advanced") return w;
    return std::nullopt;
  }

 private:
  QtAdvancedViews views_;
  std::unique_ptr<AdvancedViewController> advanced_;
  QtPaneWindow& window_;
};

}  // namespace tilvane::test::x11
