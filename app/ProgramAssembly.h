// The desktop program put together: the main window's modules, each
// registering its commands with the window. One place, so the program and
// the tests that drive the whole window assemble the same thing.
#pragma once

class TFViewTrans;
class TWorkingList;

// Installs every module on the window; returns the working list (owned by
// the window).
TWorkingList& AssembleMainWindow(TFViewTrans& window);
