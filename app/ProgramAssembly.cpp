#include "app/ProgramAssembly.h"

#include "app/CorrectionCommands.h"
#include "app/DesktopModules.h"
#include "app/DocumentTools.h"
#include "app/EditorWindows.h"
#include "app/F_ViewTrans.h"
#include "app/PageNumbersAndPrinting.h"
#include "app/Saving.h"
#include "app/WorkingList.h"

TWorkingList& AssembleMainWindow(TFViewTrans& window) {
  auto* workingList = new TWorkingList(window);      // owned by the window
  auto* saving = new TSaving(window, *workingList);  // owned by the window
  InstallCorrectionCommands(window);
  InstallEditorWindows(window);
  InstallFolderWatch(window, *workingList);
  InstallBatchHandOff(window, *workingList);
  InstallOptionsDialog(window);
  InstallSemiAutomatic(window);
  InstallDocumentTools(window, *workingList, *saving);
  InstallPageNumbersAndPrinting(window, *workingList);
  return *workingList;
}
