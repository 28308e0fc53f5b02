#include "app/StatusLine.h"

#include <QFileInfo>

int PixelsToMmTruncated(int pixels, int pelsPerMeter) {
  if (pelsPerMeter < 1) return 0;
  return static_cast<int>(static_cast<long long>(pixels) * 1000 / pelsPerMeter);
}

QString FormatStatusLine(const TDibGraphic& image, const TStatusLineData& data) {
  if (image.Empty()) return QString();
  const int xppm = image.XPelsPerMeter();
  const int yppm = image.YPelsPerMeter();
  return QString::asprintf("(X:%d Y:%d)mm (X:%d Y:%d)px ", PixelsToMmTruncated(data.X, xppm),
                           PixelsToMmTruncated(data.Y, yppm), data.X, data.Y) +
         QFileInfo(data.FileName).fileName() +
         QString::asprintf("(%d/%d, %d/%d) ", data.Frame, data.FrameCount, data.EntryPosition, data.EntryCount) +
         QString::fromUtf8("크기: ") +
         QString::asprintf("%d x %d", PixelsToMmTruncated(image.Width(), xppm),
                           PixelsToMmTruncated(image.Height(), yppm));
}
