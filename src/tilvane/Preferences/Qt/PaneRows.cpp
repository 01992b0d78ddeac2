#include "Preferences/Qt/PaneRows.h"

#include <QSignalBlocker>

namespace tilvane::panes {

Label* caption(const std::string& text, QWidget* parent) {
  return new Label(QString::fromStdString(text), 14, Qt::black, Qt::AlignLeft | Qt::AlignVCenter, parent);
}

Label* intro(const std::string& text, const QColor& color, QWidget* parent) {
  return new Label(QString::fromStdString(text), 12, color, Qt::AlignLeft | Qt::AlignVCenter, parent);
}

QCheckBox* checkbox(Checkbox& model, QWidget* parent, rx::DisposeBag& bindings) {
  auto* box = new QCheckBox(QString::fromStdString(model.title()), parent);
  box->setFocusPolicy(Qt::NoFocus);
  box->setChecked(model.state() == Checkbox::on);
  QObject::connect(box, &QCheckBox::clicked, box, [&model] { model.click(); });
  model.shown()
      .subscribe([box](const int& state) {
        const QSignalBlocker quiet(box);
        box->setChecked(state == Checkbox::on);
      })
      .disposed(bindings);
  return box;
}

QPushButton* pushButton(PushButton& model, QWidget* parent) {
  auto* button = new QPushButton(QString::fromStdString(model.title()), parent);
  button->setFocusPolicy(Qt::NoFocus);
  QObject::connect(button, &QPushButton::clicked, button, [&model] { model.press(); });
  return button;
}

void fitToContents(QWidget& widget) { widget.resize(widget.sizeHint()); }

void placeCaption(QWidget& widget, int right, int y, bool anchorBottom) {
  fitToContents(widget);
  widget.move(right - widget.width(), anchorBottom ? y - widget.height() : y);
}

void placeBeside(QWidget& widget, int left, int centreY) { widget.move(left, centreY - widget.height() / 2); }

}  // namespace tilvane::panes
