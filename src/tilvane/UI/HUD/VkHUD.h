#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "UI/HUD/AlphaFade.h"
#include "UI/HUD/VkHUDStyle.h"
#include "UI/HUD/VkHUDView.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The on-screen message window: shows one short line of text, whole on the display, for a while, fading in over
/// 0.1 s and out over 0.2 s. There is one message window; a new message replaces the one on screen at once and
/// stays for its own duration (an earlier message's time running out does not take it away).
///
/// This class is the window's behaviour, on the main loop's clock; the window itself is a VkHUDView installed
/// by the composition root (QtHUDWindow in the program). Without a view the behaviour runs all the same and
/// measures every text as empty. Window work happens on the main queue only.
class VkHUD {
 public:
  /// The one instance, made on first use.
  static VkHUD& shared();

  VkHUD();
  ~VkHUD();
  VkHUD(const VkHUD&) = delete;
  VkHUD& operator=(const VkHUD&) = delete;

  /// Replaces the window that shows the messages (null: none).
  void setView(std::unique_ptr<VkHUDView> view);

  /// Shows `text` for `duration` seconds: reads the first display's visible frame now, presents the message on
  /// the main queue, and hides it on the main queue `duration` seconds from now unless a later message has
  /// replaced it by then. May be called from any thread; from another thread the whole call is handed to the
  /// main queue first.
  void show(const std::string& text, double duration, VkHUDPosition position, VkHUDSize size, VkHUDStyle style,
            bool bordered);

  /// Lays out the window for `text` and fades it in over 0.1 s (see hudFrame for the place). A text too wide for
  /// the display at the size's font is set smaller, so the whole line shows on the display with 20 points to spare
  /// on each side. Main queue only.
  void present(const std::string& text, VkHUDSize size, VkHUDStyle style, const CGRect& visibleFrame,
               bool bordered, VkHUDPosition position);

  /// Fades the window out over 0.2 s, then removes it from the screen. Nothing happens when it is not shown.
  /// Main queue only.
  void hide();

  // --- state, main queue only ---

  /// Whether the window is on screen (also while fading out).
  bool isVisible() const { return visible_; }
  /// The contents' opacity now.
  double alpha() const { return alpha_; }
  /// The text last presented.
  const std::string& text() const { return text_; }
  /// The window's frame at the last presentation, in the display space (bottom-left origin, y up).
  const CGRect& frame() const { return frame_; }

 private:
  void setAlpha(double alpha);
  /// Hides the message presented by show number `message`, if it is still the one shown.
  void hideMessage(std::uint64_t message);
  void present(const std::string& text, VkHUDSize size, VkHUDStyle style, const CGRect& visibleFrame,
               bool bordered, VkHUDPosition position, std::uint64_t message);

  std::unique_ptr<VkHUDView> view_;
  AlphaFade fade_;
  bool visible_ = false;
  double alpha_ = 0;
  std::string text_;
  CGRect frame_;
  /// Number of show() calls so far, and the one whose message is on screen (0: none).
  std::uint64_t shows_ = 0;
  std::uint64_t presented_ = 0;
  /// Held weakly by the tasks show() queues.
  std::shared_ptr<VkHUD*> self_;
};

}  // namespace tilvane
