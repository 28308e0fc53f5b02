#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 32;
const QColor kInk(40, 48, 64);
const QColor kAccent(32, 112, 200);
const QColor kWarn(200, 60, 48);
const QColor kPaper(250, 250, 246);

void Page(QPainter& p, QRectF r) {
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(kPaper);
  p.drawRect(r);
}

void TextLines(QPainter& p, QRectF r, int lines, double indent = 0) {
  p.setPen(QPen(kInk, 1.5));
  for (int i = 0; i < lines; ++i) {
    const double y = r.top() + (i + 1) * r.height() / (lines + 1);
    p.drawLine(QPointF(r.left() + 3 + indent, y), QPointF(r.right() - 3 - indent, y));
  }
}

void Folder(QPainter& p, const QColor& fill) {
  QPainterPath path;
  path.moveTo(3, 9);
  path.lineTo(12, 9);
  path.lineTo(14, 12);
  path.lineTo(29, 12);
  path.lineTo(29, 27);
  path.lineTo(3, 27);
  path.closeSubpath();
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(fill);
  p.drawPath(path);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
  p.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  const QPointF d = to - from;
  const double len = std::hypot(d.x(), d.y());
  if (len <= 0) return;
  const QPointF u = d / len, n(-u.y(), u.x());
  QPolygonF head;
  head << to << to - u * 6 + n * 4 << to - u * 6 - n * 4;
  p.setBrush(c);
  p.setPen(Qt::NoPen);
  p.drawPolygon(head);
}

void Letter(QPainter& p, const QString& text, const QColor& c, int px = 18, bool bold = true) {
  QFont f;
  f.setPixelSize(px);
  f.setBold(bold);
  p.setFont(f);
  p.setPen(c);
  p.drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, text);
}

void Cross(QPainter& p, QRectF r, const QColor& c) {
  p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomLeft());
}

void Draw(QPainter& p, TCommand command) {
  using C = TCommand;
  const QRectF page(7, 3, 18, 26);
  switch (command) {
    case C::OpenFiles:
      Page(p, QRectF(9, 3, 16, 20));
      TextLines(p, QRectF(9, 3, 16, 20), 3);
      Folder(p, QColor(240, 200, 90));
      break;
    case C::OpenFolder:
      Folder(p, QColor(240, 200, 90));
      Folder(p, QColor(250, 215, 110));
      Letter(p, "+", kInk, 14);
      break;
    case C::FolderWatch:
      Folder(p, QColor(240, 200, 90));
      p.setPen(QPen(kAccent, 2));
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(18, 19), 6, 4);
      p.setBrush(kAccent);
      p.drawEllipse(QPointF(18, 19), 2, 2);
      break;
    case C::ChooseSaveFolder:
      Folder(p, QColor(240, 200, 90));
      Arrow(p, QPointF(16, 2), QPointF(16, 22), kAccent);
      break;
    case C::Save:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kAccent);
      p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
      p.setBrush(kPaper);
      p.drawRect(QRectF(9, 4, 14, 9));
      p.drawRect(QRectF(9, 18, 14, 10));
      break;
    case C::RemoveCurrent:
      Page(p, page);
      TextLines(p, page, 4);
      Cross(p, QRectF(14, 14, 12, 12), kWarn);
      break;
    case C::RemovePopup:
      Page(p, QRectF(4, 3, 16, 22));
      Page(p, QRectF(10, 7, 16, 22));
      Cross(p, QRectF(14, 14, 12, 12), kWarn);
      break;
    case C::Print:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kPaper);
      p.drawRect(QRectF(9, 3, 14, 10));
      p.setBrush(QColor(160, 170, 185));
      p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
      p.setBrush(kPaper);
      p.drawRect(QRectF(9, 19, 14, 10));
      break;
    case C::Previous:
      Arrow(p, QPointF(16, 28), QPointF(16, 4), kAccent);
      break;
    case C::Next:
      Arrow(p, QPointF(16, 4), QPointF(16, 28), kAccent);
      break;
    case C::AutoCorrect:
      Page(p, page);
      Letter(p, "A", kAccent);
      break;
    case C::SemiAuto:
      Page(p, page);
      Letter(p, "S", kAccent);
      break;
    case C::Magnifier:
      p.setPen(QPen(kInk, 2.5));
      p.setBrush(QColor(210, 230, 250));
      p.drawEllipse(QPointF(13, 13), 8, 8);
      p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(19, 19), QPointF(28, 28));
      break;
    case C::FullScreen1:
    case C::FullScreen2:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kPaper);
      p.drawRect(QRectF(3, 5, 26, 22));
      Arrow(p, QPointF(11, 13), QPointF(5, 7), kAccent);
      Arrow(p, QPointF(21, 19), QPointF(27, 25), kAccent);
      Letter(p, command == C::FullScreen1 ? "1" : "2", kInk, 11);
      break;
    case C::PageNumbers:
      Page(p, page);
      TextLines(p, QRectF(7, 3, 18, 18), 3);
      Letter(p, "#", kAccent, 11);
      break;
    case C::Deskew: {
      Page(p, page);
      p.save();
      p.translate(16, 16);
      p.rotate(-10);
      p.setPen(QPen(kInk, 1.5));
      for (int i = -2; i <= 2; ++i) p.drawLine(QPointF(-6, i * 4), QPointF(6, i * 4));
      p.restore();
      Arrow(p, QPointF(25, 26), QPointF(29, 18), kAccent);
      break;
    }
    case C::Specks:
      Page(p, page);
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      for (QPointF d : {QPointF(11, 8), QPointF(20, 11), QPointF(13, 18), QPointF(21, 24), QPointF(10, 25)})
        p.drawEllipse(d, 1.3, 1.3);
      Cross(p, QRectF(17, 15, 8, 8), kWarn);
      break;
    case C::Darken:
      Page(p, page);
      Letter(p, "가", kInk, 15, true);
      break;
    case C::Lighten:
      Page(p, page);
      Letter(p, "가", QColor(150, 155, 165), 15, false);
      break;
    case C::Centre:
      Page(p, page);
      p.setPen(QPen(kInk, 1.5));
      for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(11 + (i % 2) * 2, 9 + i * 5), QPointF(21 - (i % 2) * 2, 9 + i * 5));
      break;
    case C::BorderRemoval:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(QColor(60, 60, 60));
      p.drawRect(QRectF(3, 3, 26, 26));
      p.setBrush(kPaper);
      p.setPen(QPen(kAccent, 1.5, Qt::DashLine));
      p.drawRect(QRectF(8, 8, 16, 16));
      break;
    case C::CropBorders:
    case C::Crop:
      p.setPen(QPen(kInk, 3));
      p.drawLine(QPointF(8, 3), QPointF(8, 24));
      p.drawLine(QPointF(8, 24), QPointF(29, 24));
      p.drawLine(QPointF(3, 8), QPointF(24, 8));
      p.drawLine(QPointF(24, 8), QPointF(24, 29));
      break;
    case C::FitMargins:
      Page(p, QRectF(3, 3, 26, 26));
      Arrow(p, QPointF(16, 16), QPointF(6, 6), kAccent);
      Arrow(p, QPointF(16, 16), QPointF(26, 26), kAccent);
      break;
    case C::LineExtension:
      p.setPen(QPen(kInk, 2.5));
      p.drawLine(QPointF(4, 16), QPointF(16, 16));
      p.setPen(QPen(kAccent, 2.5, Qt::DotLine));
      p.drawLine(QPointF(16, 16), QPointF(28, 16));
      break;
    case C::PaperSize:
      Page(p, page);
      Letter(p, "A4", kAccent, 10);
      break;
    case C::ZoomCycle:
      p.setPen(QPen(kInk, 2.5));
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(13, 13), 8, 8);
      p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(19, 19), QPointF(28, 28));
      p.setPen(QPen(kAccent, 2));
      p.drawLine(QPointF(9, 13), QPointF(17, 13));
      p.drawLine(QPointF(13, 9), QPointF(13, 17));
      break;
    case C::Options: {
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(QColor(170, 180, 195));
      QPainterPath gear;
      for (int i = 0; i < 16; ++i) {
        const double a = i * M_PI / 8;
        const double r = (i % 2) ? 9.0 : 12.0;
        QPointF pt(16 + r * std::cos(a), 16 + r * std::sin(a));
        if (i == 0)
          gear.moveTo(pt);
        else
          gear.lineTo(pt);
      }
      gear.closeSubpath();
      p.drawPath(gear);
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(16, 16), 4, 4);
      break;
    }
    case C::About:
      p.setPen(Qt::NoPen);
      p.setBrush(kAccent);
      p.drawEllipse(QRectF(3, 3, 26, 26));
      Letter(p, "i", Qt::white);
      break;
    case C::Help:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(40, 150, 90));
      p.drawEllipse(QRectF(3, 3, 26, 26));
      Letter(p, "?", Qt::white);
      break;
    case C::Exit:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(QColor(200, 170, 130));
      p.drawRect(QRectF(6, 3, 14, 26));
      Arrow(p, QPointF(14, 16), QPointF(29, 16), kWarn);
      break;
    case C::MouseNormal: {
      QPolygonF arrow;
      arrow << QPointF(9, 4) << QPointF(9, 26) << QPointF(14, 21) << QPointF(18, 29) << QPointF(21, 27)
            << QPointF(17, 20) << QPointF(24, 20);
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(Qt::white);
      p.drawPolygon(arrow);
      break;
    }
    case C::MouseOuter:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(120, 130, 145));
      p.drawRect(QRectF(3, 3, 26, 26));
      p.setBrush(kPaper);
      p.setPen(QPen(kAccent, 1.5, Qt::DashLine));
      p.drawRect(QRectF(9, 9, 14, 14));
      break;
    case C::MouseInner:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kPaper);
      p.drawRect(QRectF(3, 3, 26, 26));
      p.setBrush(QColor(120, 130, 145));
      p.setPen(QPen(kAccent, 1.5, Qt::DashLine));
      p.drawRect(QRectF(9, 9, 14, 14));
      break;
    default:
      Page(p, page);
      break;
  }
}

}  // namespace

QIcon CommandIcon(TCommand command) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Draw(p, command);
  }
  return QIcon(pixmap);
}
