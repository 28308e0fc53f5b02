#include "view/QtTextRenderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace {

// Masks beyond this many pixels are refused (nothing is drawn): a stamp of
// absurd size must not exhaust memory.
constexpr qint64 kMaxMaskPixels = qint64{1} << 28;

QFont ToQFont(const TFontSpec& spec, int dpi) {
  QFont f(QString::fromStdString(spec.Name));
  // Pixel size at the target resolution: points are 1/72 inch.
  f.setPixelSize(std::clamp(qRound(spec.SizePt * dpi / 72.0), 1, 1 << 15));
  f.setBold(spec.Bold);
  f.setItalic(spec.Italic);
  f.setUnderline(spec.Underline);
  f.setStrikeOut(spec.StrikeOut);
  return f;
}

}  // namespace

TSize TQtTextRenderer::Extent(const TFontSpec& font, const std::string& utf8Text, int dpi) {
  QFontMetrics m(ToQFont(font, dpi));
  const QString text = QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size()));
  return TSize{m.horizontalAdvance(text), m.height()};
}

TGlyphMask TQtTextRenderer::Render(const TFontSpec& font, const std::string& utf8Text, int dpi) {
  TGlyphMask mask;
  const QFont qfont = ToQFont(font, dpi);
  const QFontMetrics metrics(qfont);
  const QString text = QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size()));
  const int width = metrics.horizontalAdvance(text), height = metrics.height();
  if (width <= 0 || height <= 0 || qint64{width} * height > kMaxMaskPixels) return mask;
  // The text is laid out in its own rectangle (width x height), as one line
  // with its ascent from the top; ink outside it is clipped.
  QImage image(width, height, QImage::Format_Grayscale8);
  if (image.isNull()) return mask;
  image.fill(0);
  {
    QPainter p(&image);
    p.setFont(qfont);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPoint(0, metrics.ascent()), text);
  }
  mask.Width = width;
  mask.Height = height;
  mask.Coverage.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    std::copy_n(image.constScanLine(y), width, mask.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * width);
  return mask;
}
