#include "view/QtTextRenderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace {

QFont ToQFont(const TFontSpec& spec, int dpi) {
  QFont f(QString::fromStdString(spec.Name));
  // Pixel size at the target resolution: points are 1/72 inch.
  f.setPixelSize(std::max(1, qRound(spec.SizePt * dpi / 72.0)));
  f.setBold(spec.Bold);
  f.setItalic(spec.Italic);
  f.setUnderline(spec.Underline);
  f.setStrikeOut(spec.StrikeOut);
  return f;
}

}  // namespace

TSize TQtTextRenderer::Extent(const TFontSpec& font, const std::string& utf8Text, int dpi) {
  QFontMetrics m(ToQFont(font, dpi));
  const QString text = QString::fromUtf8(utf8Text.c_str());
  return TSize{m.horizontalAdvance(text), m.height()};
}

TGlyphMask TQtTextRenderer::Render(const TFontSpec& font, const std::string& utf8Text, int dpi) {
  const TSize size = Extent(font, utf8Text, dpi);
  TGlyphMask mask;
  if (size.Width <= 0 || size.Height <= 0) return mask;
  QImage image(size.Width, size.Height, QImage::Format_Grayscale8);
  image.fill(0);
  {
    QPainter p(&image);
    p.setFont(ToQFont(font, dpi));
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPoint(0, QFontMetrics(p.font()).ascent()), QString::fromUtf8(utf8Text.c_str()));
  }
  mask.Width = size.Width;
  mask.Height = size.Height;
  mask.Coverage.resize(static_cast<std::size_t>(size.Width) * size.Height);
  for (int y = 0; y < size.Height; ++y)
    std::copy_n(image.constScanLine(y), size.Width, mask.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * size.Width);
  return mask;
}
