// The main window's modules that register their own commands and messages.
// Each installer is called once, after the window and its working list
// exist; the module it returns is owned by the window.
#pragma once

class TFViewTrans;
class TWorkingList;
class TFolderWatch;
class TBatchHandOff;
class TOptionsCommand;
class TSemiAutomatic;

// Folder watch: the toggle (button, menu item, Ctrl+R) and messages 100,
// 200 and 900.
TFolderWatch* InstallFolderWatch(TFViewTrans& window, TWorkingList& list);
// Hand-off to the batch program: "자동 보정(I)" and the message back.
TBatchHandOff* InstallBatchHandOff(TFViewTrans& window, TWorkingList& list);
// The options dialog: "환경 설정(H)", its button and H.
TOptionsCommand* InstallOptionsDialog(TFViewTrans& window);
// The semi-automatic window and Shift driving its steps.
TSemiAutomatic* InstallSemiAutomatic(TFViewTrans& window);
