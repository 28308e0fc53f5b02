
#include "app/AppTitle.h"
#include "app/F_ViewTrans.h"
#include "app/KoreanTranslation.h"
#include "app/ProgramAssembly.h"
#include "app/QtImagingHooks.h"
#include "app/SingleInstance.h"
#include "app/VeltraxApplication.h"

int main(int argc, char* argv[]) {
  // A second start ends silently: no window, no message.
  TSingleInstance instance;
  if (!instance.Acquired()) return 0;

  TVeltraxApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
  QApplication::setApplicationDisplayName(QString());
  InstallKoreanTranslation();
  InstallQtImagingHooks();

  TFViewTrans window;
  AssembleMainWindow(window);
  window.show();
  return app.exec();
}
