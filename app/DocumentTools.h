// The main window's merge, split, convert and two-in-one commands.
#pragma once

class TFViewTrans;
class TWorkingList;

void InstallDocumentTools(TFViewTrans& window, TWorkingList& list);
