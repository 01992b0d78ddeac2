#include "platform/hotkeys/qt/MASShortcutView.h"

#include "platform/hotkeys/ShortcutDefaults.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/hotkeys/KeyNames.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/qt/QtKeyChord.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString messageFor(RecorderMessage message) {
  switch (message) {
    case RecorderMessage::takenByBinding:
      return qs(NSLocalizedString("ShortcutTakenByBinding"));
    case RecorderMessage::takenByProgram:
      return qs(NSLocalizedString("ShortcutTakenByProgram"));
    case RecorderMessage::needsModifier:
      return qs(NSLocalizedString("ShortcutNeedsModifier"));
    case RecorderMessage::notSaved:
      return qs(NSLocalizedString("ShortcutNotSaved"));
    case RecorderMessage::none:
      break;
  }
  return {};
}

constexpr int kRowSpacing = 6;

/// The field's width for the widest text it usually shows: either prompt, or a chord with every modifier.
int usualFieldWidth(const QPushButton& field) {
  const QFontMetrics metrics(field.font());
  const QString texts[] = {
      qs(NSLocalizedString("RecordShortcut")), qs(NSLocalizedString("TypeShortcut")),
      qs(modifierNames(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate | kCGEventFlagMaskShift |
                       kCGEventFlagMaskCommand) +
         "F12")};
  int textWidth = 0;
  for (const QString& text : texts) textWidth = std::max(textWidth, metrics.size(Qt::TextShowMnemonic, text).width());
  QStyleOptionButton option;
  option.initFrom(&field);
  return field.style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(textWidth, metrics.height()), &field)
      .width();
}

}  // namespace

MASShortcutView::MASShortcutView(QWidget* parent)
    : QWidget(parent), field_(new QPushButton(this)), clearButton_(new QToolButton(this)), message_(new QLabel(this)) {
  setFocusPolicy(Qt::StrongFocus);
  field_->setFocusPolicy(Qt::NoFocus);
  field_->setMinimumWidth(140);
  clearButton_->setText(QString::fromUtf8("\u2715"));
  clearButton_->setFocusPolicy(Qt::NoFocus);
  clearButton_->setToolTip(qs(NSLocalizedString("ClearShortcut")));
  QFont small = message_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  message_->setFont(small);
  message_->setStyleSheet("color: #b3261e;");
  message_->setWordWrap(true);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kRowSpacing);
  row->addWidget(field_, 1);
  row->addWidget(clearButton_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addLayout(row);
  column->addWidget(message_);

  connect(field_, &QPushButton::clicked, this, [this] {
    if (recorder_.isRecording()) {
      recorder_.cancelRecording();
      releaseKeyboard();
      refresh();
    } else {
      startRecording();
    }
  });
  connect(clearButton_, &QToolButton::clicked, this, [this] {
    recorder_.clear();
    releaseKeyboard();
    refresh();
  });
  // The mark of a hot key that waited goes once the program has it.
  MASShortcutMonitor::sharedMonitor()
      .shortcutTaken()
      .subscribe([this](const MASShortcut& taken) {
        if (recorder_.shortcutValue() == taken) refresh();
      })
      .disposed(disposeBag_);
  // A hot key changed in the settings file shows here (while the user records one, once the recording ends).
  ShortcutDefaults::shared()
      .changed()
      .subscribe([this](const std::string& key) {
        if (key != recorder_.associatedUserDefaultsKey()) return;
        recorder_.setAssociatedUserDefaultsKey(key);
        refresh();
      })
      .disposed(disposeBag_);
  refresh();
}

MASShortcutView::~MASShortcutView() {
  if (recorder_.isRecording()) releaseKeyboard();
}

void MASShortcutView::setAssociatedUserDefaultsKey(const std::string& key) {
  recorder_.setAssociatedUserDefaultsKey(key);
  refresh();
}

void MASShortcutView::setShortcutValue(const std::optional<MASShortcut>& value) {
  recorder_.setShortcutValue(value);
  refresh();
}

void MASShortcutView::setShortcutValueChange(std::function<void(MASShortcutView&)> change) {
  if (!change) {
    recorder_.setShortcutValueChange(nullptr);
    return;
  }
  recorder_.setShortcutValueChange([this, change = std::move(change)](ShortcutRecorder&) { change(*this); });
}

QSize MASShortcutView::sizeHint() const {
  // The same width empty, recording or recorded, message or not, so recorders line up and the message wraps
  // within; only a chord longer than the usual ones widens it, rather than be cut.
  const int field = std::max(usualFieldWidth(*field_), field_->sizeHint().width());
  const int width = field + kRowSpacing + clearButton_->sizeHint().width();
  return {width, hasHeightForWidth() ? heightForWidth(width) : QWidget::sizeHint().height()};
}

QString MASShortcutView::fieldText() const { return field_->text(); }
QString MASShortcutView::messageText() const { return message_->text(); }

void MASShortcutView::startRecording() {
  recorder_.startRecording();
  setFocus(Qt::OtherFocusReason);
  grabKeyboard();
  refresh();
}

bool MASShortcutView::event(QEvent* event) {
  // While recording every chord is ours, including Tab and the application's own shortcuts.
  if (recorder_.isRecording() && event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  if (recorder_.isRecording() && event->type() == QEvent::KeyPress) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QWidget::event(event);
}

void MASShortcutView::keyPressEvent(QKeyEvent* event) {
  if (!recorder_.isRecording()) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
      startRecording();
      return;
    }
    QWidget::keyPressEvent(event);
    return;
  }
  if (const auto chord = keyChordOf(*event)) recorder_.handleKeyDown(chord->keyCode, chord->flags);
  if (!recorder_.isRecording()) releaseKeyboard();
  refresh();
}

void MASShortcutView::focusOutEvent(QFocusEvent* event) {
  if (recorder_.isRecording()) {
    recorder_.cancelRecording();
    releaseKeyboard();
    refresh();
  }
  QWidget::focusOutEvent(event);
}

void MASShortcutView::refresh() {
  const auto& value = recorder_.shortcutValue();
  QString shown;
  if (recorder_.isRecording()) {
    shown = qs(NSLocalizedString("TypeShortcut"));
  } else if (value && !value->readableString().empty()) {
    shown = QString::fromStdString(value->readableString());
  } else {
    shown = qs(NSLocalizedString("RecordShortcut"));
  }
  field_->setText(shown);
  field_->setDown(recorder_.isRecording());
  clearButton_->setEnabled(value.has_value());
  const QString message = messageFor(recorder_.message());
  message_->setText(message);
  message_->setVisible(!message.isEmpty());
}

}  // namespace tilvane
