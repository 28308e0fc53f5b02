#include "tools/DibGraphicPrinter.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"
#include "view/DibQImage.h"

namespace {

int Trunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -1e9, 1e9));
}

}  // namespace

TRect PrintRect(const TPrinterDevice& d, const TPrintPlacement& p, int width, int height, int xDpi, int yDpi) {
  TRect r;
  if (width <= 0 || height <= 0) return r;
  // An image without a resolution prints one image pixel per device pixel.
  const double rx = xDpi > 0 ? xDpi : std::max(d.DpiX, 1);
  const double ry = yDpi > 0 ? yDpi : std::max(d.DpiY, 1);
  int w = 0, h = 0;
  switch (p.Mode) {
    case pmTrueSize: {
      w = Trunc(width * (d.DpiX / rx));
      h = Trunc(height * (d.DpiY / ry));
      if (w > 0 && h > 0) {
        const float s =
            static_cast<float>(std::min(static_cast<double>(d.PageWidth) / w, static_cast<double>(d.PageHeight) / h));
        if (s < 1.0f) {
          w = Trunc(w * static_cast<double>(s));
          h = Trunc(h * static_cast<double>(s));
        }
      }
      break;
    }
    case pmFit:
      w = d.PageWidth;
      h = Trunc(static_cast<double>(height) * d.PageWidth / width);
      if (h >= d.PageHeight) {
        h = d.PageHeight;
        w = Trunc(static_cast<double>(width) * d.PageHeight / height);
      }
      break;
    case pmWidth:
      w = Trunc(d.DpiX * p.WidthInches);
      h = Trunc(static_cast<double>(height) * w / width);
      break;
    case pmHeight:
      h = Trunc(d.DpiY * p.HeightInches);
      w = Trunc(static_cast<double>(width) * h / height);
      break;
    case pmWidthHeight:
      w = Trunc(d.DpiX * p.WidthInches);
      h = Trunc(d.DpiY * p.HeightInches);
      break;
    case pmStretch:
      w = d.PageWidth - 1;
      h = d.PageHeight - 1;
      break;
  }
  r.Right = w;
  r.Bottom = h;
  if (p.Mode != pmFit && p.Mode != pmStretch) {
    const int dx = std::max(0, Trunc(d.DpiX * p.LeftInches) - d.OffsetX);
    const int dy = std::max(0, Trunc(d.DpiY * p.TopInches) - d.OffsetY);
    r.Left += dx, r.Right += dx, r.Top += dy, r.Bottom += dy;
  }
  return r;
}

TPrinterDevice PrinterDeviceOf(QPrinter& printer) {
  TPrinterDevice d;
  const int res = printer.resolution();
  const QPageLayout layout = printer.pageLayout();
  const QRect paper = layout.fullRectPixels(res);
  const QRect printable = layout.paintRectPixels(res);
  d.PageWidth = printable.width();
  d.PageHeight = printable.height();
  d.DpiX = printer.logicalDpiX();
  d.DpiY = printer.logicalDpiY();
  d.OffsetX = printable.left() - paper.left();
  d.OffsetY = printable.top() - paper.top();
  d.MarginRight = paper.width() - d.OffsetX - d.PageWidth;
  d.MarginBottom = paper.height() - d.OffsetY - d.PageHeight;
  return d;
}

TDibGraphicPrinter::TDibGraphicPrinter(QPrinter& printer) : printer_(printer) { SetPrintMode(pmFit); }

TDibGraphicPrinter::~TDibGraphicPrinter() {
  if (painter_) {
    painter_->end();
    delete painter_;
  }
  if (busy_) EndBusyCursor();
}

void TDibGraphicPrinter::SetPrintMode(TPrintMode mode) {
  device_ = PrinterDeviceOf(printer_);
  placement_.Mode = mode;
}

void TDibGraphicPrinter::BeginDocument() {
  if (!busy_) {
    BeginBusyCursor();
    busy_ = true;
  }
  if (!ManageDocument || painter_) return;
  printer_.setDocName(Title);
  painter_ = new QPainter;
  if (!painter_->begin(&printer_)) {
    delete painter_;
    painter_ = nullptr;
    throw std::runtime_error("The printer could not start the job.");
  }
  device_ = PrinterDeviceOf(printer_);
}

void TDibGraphicPrinter::PrintPage(const TDibGraphic* image) {
  if (!painter_) throw std::runtime_error("No print job is open.");
  if (!image) {
    if (!printer_.newPage()) throw std::runtime_error("The printer could not start a new page.");
    return;
  }
  Draw(*image);
}

void TDibGraphicPrinter::Draw(const TDibGraphic& image) {
  const TRect r =
      PrintRect(device_, placement_, image.Width(), image.Height(), image.XDotsPerInch(), image.YDotsPerInch());
  if (r.Width() <= 0 || r.Height() <= 0) return;
  // 1-bit pages go to the printer as 1-bit images (QImage::Format_Mono).
  const QImage q = DibToQImage(image);
  painter_->drawImage(QRect(r.Left, r.Top, r.Width(), r.Height()), q);
}

void TDibGraphicPrinter::EndDocument() {
  bool ok = true;
  if (painter_) {
    ok = painter_->end();
    delete painter_;
    painter_ = nullptr;
  }
  if (busy_) {
    busy_ = false;
    EndBusyCursor();
  }
  if (!ok) throw std::runtime_error("The printer could not finish the job.");
}

void TDibGraphicPrinter::PrintImage(const TDibGraphic& image) {
  BeginDocument();
  try {
    PrintPage(&image);
  } catch (...) {
    EndDocument();
    throw;
  }
  EndDocument();
}
