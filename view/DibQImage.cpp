#include "view/DibQImage.h"

#include <algorithm>
#include <cstring>

namespace {

QList<QRgb> ColorTableOf(const TDibGraphic& dib) {
  const TPalette& pal = dib.Palette();
  QList<QRgb> table;
  table.reserve(static_cast<qsizetype>(pal.size()));
  for (const TPaletteEntry& e : pal) table.push_back(qRgb(e.Red, e.Green, e.Blue));
  // Every index a pixel can hold must have a colour in a QImage; a short
  // palette is padded with black, as our own pixel reads give.
  int used = 0;
  if (static_cast<int>(pal.size()) < (1 << dib.BitCount()))
    for (int y = 0; y < dib.Height(); ++y)
      for (int x = 0; x < dib.Width(); ++x) used = std::max(used, dib.GetPixelIndex(x, y));
  while (table.size() <= used) table.push_back(qRgb(0, 0, 0));
  return table;
}

TPalette PaletteOf(const QList<QRgb>& table) {
  TPalette pal;
  pal.reserve(static_cast<std::size_t>(table.size()));
  for (QRgb c : table)
    pal.push_back({static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                   static_cast<std::uint8_t>(qBlue(c)), 0});
  return pal;
}

void TakeResolution(const QImage& image, TDibGraphic& dib) {
  // The header keeps dots per inch in 16 bits.
  constexpr int kMaxPelsPerMeter = 2580107;  // 65535 dpi
  if (image.dotsPerMeterX() > 0) dib.SetXPelsPerMeter(std::min(image.dotsPerMeterX(), kMaxPelsPerMeter));
  if (image.dotsPerMeterY() > 0) dib.SetYPelsPerMeter(std::min(image.dotsPerMeterY(), kMaxPelsPerMeter));
}

void FromIndexed8(const QImage& image, TDibGraphic& dib) {
  const QList<QRgb> table = image.colorTable();
  const int n = static_cast<int>(table.size());
  const int w = image.width(), h = image.height();
  TPalette pal = PaletteOf(table);
  if (n == 2) {
    dib.NewImage(w, h, ifBlackWhite, &pal);
    for (int y = 0; y < h; ++y) {
      const uchar* s = image.constScanLine(y);
      std::uint8_t* d = dib.ScanLine(y);
      for (int x = 0; x < w; ++x)
        if (s[x] & 1) d[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
  } else if (n <= 16) {
    const bool grey = pal == DefaultPalette(ifGray16);
    dib.NewImage(w, h, grey ? ifGray16 : ifColor16, &pal);
    for (int y = 0; y < h; ++y) {
      const uchar* s = image.constScanLine(y);
      std::uint8_t* d = dib.ScanLine(y);
      for (int x = 0; x + 1 < w; x += 2)
        d[x >> 1] = static_cast<std::uint8_t>(((s[x] & 0x0F) << 4) | (s[x + 1] & 0x0F));
      if (w & 1) d[w >> 1] = static_cast<std::uint8_t>((s[w - 1] & 0x0F) << 4);
    }
  } else {
    const bool grey = pal == DefaultPalette(ifGray256);
    dib.NewImage(w, h, grey ? ifGray256 : ifColor256, &pal);
    for (int y = 0; y < h; ++y) std::memcpy(dib.ScanLine(y), image.constScanLine(y), static_cast<std::size_t>(w));
  }
}

void FromTrueColor(const QImage& source, TDibGraphic& dib) {
  const int w = source.width(), h = source.height();
  dib.NewImage(w, h, ifTrueColor);
  if (source.format() == QImage::Format_BGR888 || source.format() == QImage::Format_RGB888) {
    const bool swap = source.format() == QImage::Format_RGB888;
    for (int y = 0; y < h; ++y) {
      const uchar* s = source.constScanLine(y);
      std::uint8_t* d = dib.ScanLine(y);
      if (!swap) {
        std::memcpy(d, s, 3 * static_cast<std::size_t>(w));
        continue;
      }
      for (int x = 0; x < w; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    }
    return;
  }
  // Translucent pixels are laid over white paper: with premultiplied
  // components that is c + (255 - alpha).
  const QImage image = source.hasAlphaChannel() ? source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                                : source.convertToFormat(QImage::Format_RGB32);
  const bool alpha = image.hasAlphaChannel();
  for (int y = 0; y < h; ++y) {
    const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    std::uint8_t* d = dib.ScanLine(y);
    for (int x = 0; x < w; ++x, d += 3) {
      const QRgb c = s[x];
      const int paper = alpha ? 255 - qAlpha(c) : 0;
      d[0] = static_cast<std::uint8_t>(qBlue(c) + paper);
      d[1] = static_cast<std::uint8_t>(qGreen(c) + paper);
      d[2] = static_cast<std::uint8_t>(qRed(c) + paper);
    }
  }
}

}  // namespace

QImage DibToQImage(const TDibGraphic& dib) {
  if (dib.Empty()) return QImage();
  const int w = dib.Width(), h = dib.Height();
  QImage image;
  switch (dib.ImageFormat()) {
    case ifBlackWhite: {
      image = QImage(w, h, QImage::Format_Mono);
      if (image.isNull()) return image;
      const std::size_t rowBytes = (static_cast<std::size_t>(w) + 7) / 8;
      for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), dib.ScanLine(y), rowBytes);
      image.setColorTable(ColorTableOf(dib));
      break;
    }
    case ifGray16:
    case ifColor16:
      image = QImage(w, h, QImage::Format_Indexed8);
      if (image.isNull()) return image;
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = dib.ScanLine(y);
        uchar* d = image.scanLine(y);
        for (int x = 0; x < w; ++x) d[x] = (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4);
      }
      image.setColorTable(ColorTableOf(dib));
      break;
    case ifGray256:
    case ifColor256:
      image = QImage(w, h, QImage::Format_Indexed8);
      if (image.isNull()) return image;
      for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), dib.ScanLine(y), static_cast<std::size_t>(w));
      image.setColorTable(ColorTableOf(dib));
      break;
    case ifTrueColor:
      image = QImage(w, h, QImage::Format_RGB32);
      if (image.isNull()) return image;
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = dib.ScanLine(y);
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, s += 3) d[x] = qRgb(s[2], s[1], s[0]);
      }
      break;
  }
  image.setDotsPerMeterX(dib.XPelsPerMeter());
  image.setDotsPerMeterY(dib.YPelsPerMeter());
  return image;
}

void QImageToDib(const QImage& image, TDibGraphic& dib) {
  if (image.isNull()) {
    dib.Clear();
    return;
  }
  const int w = image.width(), h = image.height();
  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: {
      if (image.colorCount() != 2) {
        FromTrueColor(image, dib);
        break;
      }
      const QImage mono = image.format() == QImage::Format_Mono ? image : image.convertToFormat(QImage::Format_Mono);
      const TPalette pal = PaletteOf(mono.colorTable());
      dib.NewImage(w, h, ifBlackWhite, &pal);
      const std::size_t rowBytes = (static_cast<std::size_t>(w) + 7) / 8;
      for (int y = 0; y < h; ++y) std::memcpy(dib.ScanLine(y), mono.constScanLine(y), rowBytes);
      break;
    }
    case QImage::Format_Indexed8:
      if (image.colorCount() < 2)
        FromTrueColor(image, dib);
      else
        FromIndexed8(image, dib);
      break;
    case QImage::Format_Grayscale8:
      dib.NewImage(w, h, ifGray256);
      for (int y = 0; y < h; ++y) std::memcpy(dib.ScanLine(y), image.constScanLine(y), static_cast<std::size_t>(w));
      break;
    case QImage::Format_Grayscale16:
      QImageToDib(image.convertToFormat(QImage::Format_Grayscale8), dib);
      break;
    default:
      FromTrueColor(image, dib);
      break;
  }
  TakeResolution(image, dib);
}
