// The correction commands of the main window: each takes the active image,
// its parameters from the number fields and the settings, keeps one step of
// undo and redraws.
#pragma once

class TFViewTrans;

void InstallCorrectionCommands(TFViewTrans& window);
