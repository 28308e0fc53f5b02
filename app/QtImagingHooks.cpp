#include "app/QtImagingHooks.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include "image/ImagingHooks.h"
#include "view/QtTextRenderer.h"

void InstallQtImagingHooks() {
  TImagingHooks& hooks = ImagingHooks();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    hooks.ScreenDpiX = qRound(screen->logicalDotsPerInchX());
    hooks.ScreenDpiY = qRound(screen->logicalDotsPerInchY());
  }
  hooks.BusyCursorOn = [] { QApplication::setOverrideCursor(Qt::WaitCursor); };
  hooks.BusyCursorOff = [] { QApplication::restoreOverrideCursor(); };
  hooks.TextRenderer = std::make_shared<TQtTextRenderer>();
  hooks.TempFolder = QDir::tempPath().toStdString();
}
