#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/AppTitle.h"
#include "app/CorrectionCommands.h"
#include "app/F_ViewTrans.h"
#include "app/QtImagingHooks.h"
#include "app/SingleInstance.h"

int main(int argc, char* argv[]) {
  // A second start ends silently: no window, no message.
  TSingleInstance instance;
  if (!instance.Acquired()) return 0;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
  QApplication::setApplicationDisplayName(QString());
  // Qt's own Korean texts for the standard buttons.
  QTranslator qtKorean;
  if (qtKorean.load(QLocale(QLocale::Korean, QLocale::SouthKorea), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtKorean);
  InstallQtImagingHooks();

  TFViewTrans window;
  InstallCorrectionCommands(window);
  window.show();
  return app.exec();
}
