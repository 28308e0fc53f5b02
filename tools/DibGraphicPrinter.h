// Printing raster pages: where and how large an image lands on the printed
// page (pure geometry, from the printer's device figures) and the job
// control around it.
#pragma once

#include <QString>
#include <cstdint>

#include "image/ImagingTypes.h"

class QPainter;
class QPrinter;
class TDibGraphic;

// The printer's figures in device pixels (resolution in dots per inch).
struct TPrinterDevice {
  int PageWidth = 0;  // printable area
  int PageHeight = 0;
  int DpiX = 0;
  int DpiY = 0;
  int OffsetY = 0;  // physical edge to printable area
  int OffsetX = 0;
  int MarginBottom = 0;  // physical size - offset - printable size
  int MarginRight = 0;
};

// How the image is sized: 0 true size (shrunk to fit), 1 fit keeping the
// aspect ratio, 2 given width, 3 given height, 4 given width and height,
// 5 the whole printable area.
enum TPrintMode : std::uint8_t { pmTrueSize, pmFit, pmWidth, pmHeight, pmWidthHeight, pmStretch };

struct TPrintPlacement {
  TPrintMode Mode = pmFit;
  double WidthInches = 5.0;
  double HeightInches = 5.0;
  double LeftInches = 0.0;
  double TopInches = 0.0;
};

// The rectangle (relative to the printable area's top-left) that an image
// of width x height pixels at xDpi x yDpi takes on the device. Every
// conversion to device pixels truncates toward zero.
TRect PrintRect(const TPrinterDevice& device, const TPrintPlacement& placement, int width, int height, int xDpi,
                int yDpi);

// The device figures of a printer as it is set up now.
TPrinterDevice PrinterDeviceOf(QPrinter& printer);

class TDibGraphicPrinter {
 public:
  explicit TDibGraphicPrinter(QPrinter& printer);
  ~TDibGraphicPrinter();
  TDibGraphicPrinter(const TDibGraphicPrinter&) = delete;
  TDibGraphicPrinter& operator=(const TDibGraphicPrinter&) = delete;

  TPrintMode PrintMode() const { return placement_.Mode; }
  // Reads the device figures again and sets the mode.
  void SetPrintMode(TPrintMode mode);
  TPrintPlacement& Placement() { return placement_; }
  const TPrinterDevice& Device() const { return device_; }

  bool ManageDocument = true;
  QString Title;

  // Busy cursor (nested) and, when managing the document, the job.
  // Throw std::runtime_error when the printer refuses.
  void BeginDocument();
  // The image stretched into its rectangle; without an image a new sheet.
  void PrintPage(const TDibGraphic* image);
  void EndDocument();
  // One image as a job of its own.
  void PrintImage(const TDibGraphic& image);

 private:
  void Draw(const TDibGraphic& image);

  QPrinter& printer_;
  TPrintPlacement placement_;
  TPrinterDevice device_;
  QPainter* painter_ = nullptr;
  bool busy_ = false;
};
