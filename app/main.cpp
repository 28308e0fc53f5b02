
#include "app/AppTitle.h"
#include "app/CorrectionCommands.h"
#include "app/EditorWindows.h"
#include "app/F_ViewTrans.h"
#include "app/KoreanTranslation.h"
#include "app/QtImagingHooks.h"
#include "app/Saving.h"
#include "app/SingleInstance.h"
#include "app/VeltraxApplication.h"
#include "app/WorkingList.h"

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
  auto* workingList = new TWorkingList(window);  // owned by the window
  new TSaving(window, *workingList);             // owned by the window
  InstallCorrectionCommands(window);
  InstallEditorWindows(window);
  window.show();
  return app.exec();
}
