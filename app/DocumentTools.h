// The main window's merge, split, convert and two-in-one commands.
#pragma once

class TFViewTrans;
class TWorkingList;
class TSaving;

void InstallDocumentTools(TFViewTrans& window, TWorkingList& list, TSaving& saving);
