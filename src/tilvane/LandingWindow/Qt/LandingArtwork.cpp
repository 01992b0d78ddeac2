#include "LandingWindow/Qt/LandingArtwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <array>

#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {
constexpr int kPanelWidth = 600;
constexpr int kPanelHeight = 350;
constexpr double kScale = 2.0;

const QColor kInk(0x22, 0x2a, 0x35);
const QColor kMuted(0x5b, 0x66, 0x75);
const QColor kAccent(0x2f, 0x6f, 0xeb);
const QColor kAccentSoft(0xd9, 0xe6, 0xfd);

struct PanelText {
  const char* title;
  const char* body;
};

void drawText(QPainter& p, const PanelText& text) {
  QFont title("DejaVu Sans");
  title.setPixelSize(22);
  title.setBold(true);
  p.setFont(title);
  p.setPen(kInk);
  QRectF used;
  p.drawText(QRectF(36, 44, 270, 64), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QString::fromStdString(NSLocalizedString(text.title)), &used);
  QFont body("DejaVu Sans");
  body.setPixelSize(13);
  p.setFont(body);
  p.setPen(kMuted);
  p.drawText(QRectF(36, used.bottom() + 14, 270, 120), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QString::fromStdString(NSLocalizedString(text.body)));
}

/// A small screen with a tray bar; returns its inner area.
QRectF drawScreen(QPainter& p) {
  const QRectF screen(340, 48, 224, 150);
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::white);
  p.drawRoundedRect(screen, 8, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xe6, 0xe9, 0xee));
  p.drawRect(QRectF(screen.left() + 1, screen.top() + 1, screen.width() - 2, 12));
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(screen.right() - 12, screen.top() + 7), 3.5, 3.5);
  return screen.adjusted(8, 20, -8, -8);
}

void drawWindow(QPainter& p, const QRectF& r, bool focused) {
  p.setPen(QPen(focused ? kAccent : kMuted, 1.5));
  p.setBrush(focused ? kAccentSoft : QColor(0xf2, 0xf4, 0xf7));
  p.drawRoundedRect(r, 3, 3);
  p.setPen(Qt::NoPen);
  p.setBrush(focused ? kAccent : kMuted);
  p.drawRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 2, 5));
}

void drawWelcome(QPainter& p) {
  const QRectF inner = drawScreen(p);
  const double gap = 4;
  const double half = (inner.width() - gap) / 2;
  drawWindow(p, QRectF(inner.left(), inner.top(), half, inner.height()), true);
  drawWindow(p, QRectF(inner.left() + half + gap, inner.top(), half, inner.height()), false);
}

void drawPermission(QPainter& p) {
  const QRectF inner = drawScreen(p);
  const QRectF window(inner.center().x() - 40, inner.center().y() - 28, 80, 56);
  drawWindow(p, window, true);
  // Arrows out of the window: this program moves it.
  p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::RoundCap));
  const QPointF c = window.center();
  const std::array<QPointF, 4> tips{QPointF(c.x() - 72, c.y()), QPointF(c.x() + 72, c.y()),
                                    QPointF(c.x(), c.y() - 52), QPointF(c.x(), c.y() + 52)};
  const std::array<QPointF, 4> bases{QPointF(window.left() - 4, c.y()), QPointF(window.right() + 4, c.y()),
                                     QPointF(c.x(), window.top() - 4), QPointF(c.x(), window.bottom() + 4)};
  for (std::size_t i = 0; i < tips.size(); ++i) {
    p.drawLine(bases[i], tips[i]);
    const QPointF d = (tips[i] - bases[i]) / std::max(1.0, QLineF(bases[i], tips[i]).length());
    const QPointF n(-d.y(), d.x());
    p.drawLine(tips[i], tips[i] - d * 6 + n * 5);
    p.drawLine(tips[i], tips[i] - d * 6 - n * 5);
  }
}

void drawReady(QPainter& p) {
  const QRectF inner = drawScreen(p);
  const double gap = 4;
  const double w = (inner.width() - gap) / 2;
  const double h = (inner.height() - gap) / 2;
  for (int i = 0; i < 4; ++i)
    drawWindow(p, QRectF(inner.left() + (i % 2) * (w + gap), inner.top() + (i / 2) * (h + gap), w, h), i == 0);
  const QPointF badge(560, 200);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2e, 0x9d, 0x5b));
  p.drawEllipse(badge, 18, 18);
  QPainterPath tick;
  tick.moveTo(badge + QPointF(-8, 0));
  tick.lineTo(badge + QPointF(-2, 6));
  tick.lineTo(badge + QPointF(9, -7));
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(tick);
}
}  // namespace

QImage landingArtwork() {
  constexpr std::array<PanelText, 3> texts{{
      {l10n::key("LandingWelcomeTitle"), l10n::key("LandingWelcomeText")},
      {l10n::key("LandingPermissionTitle"), l10n::key("LandingPermissionText")},
      {l10n::key("LandingReadyTitle"), l10n::key("LandingReadyText")},
  }};
  using Draw = void (*)(QPainter&);
  constexpr std::array<Draw, 3> drawings{drawWelcome, drawPermission, drawReady};

  QImage image(static_cast<int>(kPanelWidth * texts.size() * kScale), static_cast<int>(kPanelHeight * kScale),
               QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(0xfa, 0xfb, 0xfc));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(kScale, kScale);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    p.save();
    p.translate(static_cast<double>(kPanelWidth * i), 0);
    drawText(p, texts[i]);
    drawings[i](p);
    p.restore();
  }
  return image;
}

}  // namespace tilvane
