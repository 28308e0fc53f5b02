// TFViewZoom: the magnifier. A small tool window, on top of the others,
// that shows the page under the mouse at full resolution while the mouse
// moves over one of the main window's views. At most one exists; its
// screen position is remembered under "FViewZoom".
#pragma once

#include <QImage>
#include <QWidget>

#include "image/DibGraphic.h"

class TFViewZoom : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 292;
  static constexpr int kClientHeight = 273;

  explicit TFViewZoom(QWidget* owner);

  // Shows the block of page centred on image point (x, y).
  void Magnify(const TDibGraphic& page, int x, int y);
  // What the window shows (client size).
  const QImage& Surface() const { return surface_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QImage surface_;
};
