#include "app/F_ViewZoom.h"

#include <QCloseEvent>
#include <QPainter>

#include "utils/Utils.h"
#include "view/Magnifier.h"

namespace {
const char* const kCaption = "벨트랙스(Veltrax) - 확대 보기";
const char* const kPositionName = "FViewZoom";
}  // namespace

TFViewZoom::TFViewZoom(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("TFViewZoom");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromUtf8(kCaption));
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  setAutoFillBackground(true);
  resize(kClientWidth, kClientHeight);
  surface_ = QImage(kClientWidth, kClientHeight, QImage::Format_RGB32);
  surface_.fill(Qt::white);
  const QPoint position = LoadWindowPosition(kPositionName);
  if (IsStoredPositionUsable(position)) move(position);
}

void TFViewZoom::Magnify(const TDibGraphic& page, int x, int y) {
  if (surface_.size() != size()) surface_ = QImage(size(), QImage::Format_RGB32);
  DrawMagnifier(page, x, y, surface_);
  update();
}

void TFViewZoom::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, surface_);
}

void TFViewZoom::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (surface_.size() == size()) return;
  surface_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  surface_.fill(Qt::white);
}

void TFViewZoom::closeEvent(QCloseEvent* event) {
  SaveWindowPosition(kPositionName, x(), y());
  QWidget::closeEvent(event);
}
