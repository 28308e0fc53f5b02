#include "app/CorrectionCommands.h"

#include "app/F_ViewTrans.h"

void InstallCorrectionCommands(TFViewTrans& /*window*/) {
  // The commands register their handlers here as they are built.
}
