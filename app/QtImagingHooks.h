#pragma once

// Fills the imaging layer's hooks from Qt: screen resolution, busy cursor,
// text renderer and temporary folder. Call once after the QApplication exists.
void InstallQtImagingHooks();
