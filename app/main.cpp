#include <QApplication>
#include <QMainWindow>

#include "app/AppTitle.h"
#include "app/QtImagingHooks.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
  InstallQtImagingHooks();
  QMainWindow window;
  window.setObjectName("TFViewTrans");
  window.setWindowTitle(QString::fromUtf8(kAppTitle));
  window.resize(1200, 800);
  window.show();
  return app.exec();
}
