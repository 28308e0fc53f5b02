// The main window's page-number and print commands, wired to the windows
// and the work of tools/.
#pragma once

class TFViewTrans;
class TWorkingList;

// Registers "페이지 번호 넣기" and the print command with the main window.
void InstallPageNumbersAndPrinting(TFViewTrans& window, TWorkingList& list);
