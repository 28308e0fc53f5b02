// The correction commands of the main window: each takes the active image,
// its parameters from the number fields and the settings, keeps one step of
// undo and redraws.
#pragma once

#include <vector>

#include "image/ImagingTypes.h"

class TFViewTrans;

void InstallCorrectionCommands(TFViewTrans& window);

// Paper sizes in millimetres loaded by the paper submenu's presets
// (10 A4, 20 A5, 30 B4, 40 B5); false for other tags.
bool PaperPresetSize(int tag, int& widthMm, int& heightMm);
