#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "platform/hotkeys/ShortcutRecorder.h"
#include "platform/rx/Disposable.h"

class QLabel;
class QPushButton;
class QToolButton;

namespace tilvane {

/// The hot-key recorder: a field that shows one hot key ("Ctrl+Alt+1"), records a chord when clicked, and a
/// clear button; a short message under the field says why a chord was refused. Its behaviour is a
/// ShortcutRecorder. While it records it has the keyboard to itself, so a chord the program or the desktop
/// would act on reaches it. A hot key shown that waits for another program to let it go carries that message
/// until the program takes it. Main thread only.
class MASShortcutView : public QWidget {
 public:
  explicit MASShortcutView(QWidget* parent = nullptr);
  ~MASShortcutView() override;

  /// The look; 0 is the default and the only one.
  void setStyle(int style) { style_ = style; }
  int style() const { return style_; }

  void setAssociatedUserDefaultsKey(const std::string& key);
  std::optional<MASShortcut> shortcutValue() const { return recorder_.shortcutValue(); }
  void setShortcutValue(const std::optional<MASShortcut>& value);
  /// Called after the user changed the hot key.
  void setShortcutValueChange(std::function<void(MASShortcutView&)> change);

  ShortcutRecorder& recorder() { return recorder_; }
  /// The field's text and the message's text, as shown.
  QString fieldText() const;
  QString messageText() const;

  void startRecording();

  /// As wide as the field needs for its prompts and usual chords, whatever it shows now; as high as that
  /// width needs with the message shown, if any.
  QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void refresh();

  ShortcutRecorder recorder_;
  int style_ = 0;
  QPushButton* field_;
  QToolButton* clearButton_;
  QLabel* message_;
  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
