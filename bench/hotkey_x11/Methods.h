#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "XDriver.h"

namespace tilvane::bench {

/// One way of moving the target window to a rectangle, timed from the request to the frame read back.
class Method {
 public:
  virtual ~Method() = default;
  virtual std::string name() const = 0;
  /// Gets ready before the clock starts (not timed).
  virtual void prepare() {}
  /// Starts the move of the target to `rect` (index 0 or 1 of the two targets) at the moment measured.
  virtual void start(std::size_t targetIndex, const Rect& rect) = 0;
  /// Cleans up after the frame has been seen (not timed).
  virtual void finish() {}
};

/// Tilvane: the user presses the hot key of the custom layout for the target (its modifiers are already held
/// when the clock starts).
class HotKeyMethod final : public Method {
 public:
  HotKeyMethod(XDriver& x, std::array<xcb_keycode_t, 2> keys, std::vector<xcb_keycode_t> modifiers)
      : x_(x), keys_(keys), modifiers_(std::move(modifiers)) {}
  std::string name() const override { return "Tilvane hot key"; }
  /// Holds the modifiers before the clock starts.
  void prepare() override;
  void start(std::size_t targetIndex, const Rect& rect) override;
  void finish() override;

 private:
  XDriver& x_;
  std::array<xcb_keycode_t, 2> keys_;
  std::vector<xcb_keycode_t> modifiers_;
  xcb_keycode_t pressed_ = 0;
};

/// The floor: a client already connected sends the move request itself.
class DirectRequestMethod final : public Method {
 public:
  DirectRequestMethod(XDriver& x, xcb_window_t client, std::array<std::uint32_t, 4> extents)
      : x_(x), client_(client), extents_(extents) {}
  std::string name() const override { return "connected client (floor)"; }
  void start(std::size_t, const Rect& rect) override { x_.moveResize(client_, rect, extents_); }

 private:
  XDriver& x_;
  xcb_window_t client_;
  std::array<std::uint32_t, 4> extents_;
};

/// A command-line tool started for each move (wmctrl, xdotool); its output is discarded.
class CommandMethod final : public Method {
 public:
  /// `argv(rect)` gives the command line for a move to the outer rectangle `rect`.
  CommandMethod(std::string name, std::function<std::vector<std::string>(const Rect&)> argv)
      : name_(std::move(name)), argv_(std::move(argv)) {}
  std::string name() const override { return name_; }
  void start(std::size_t, const Rect& rect) override;
  void finish() override;

 private:
  std::string name_;
  std::function<std::vector<std::string>(const Rect&)> argv_;
  pid_t child_ = -1;
};

}  // namespace tilvane::bench
