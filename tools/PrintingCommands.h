// The main window's page-number and print commands. The commands work
// through small hosts of callbacks, so that they can be driven without the
// main window; InstallPageNumbersAndPrinting (app/) wires them to it.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QPrinter;
class QWidget;
class TDibGraphic;
class TFViewTrans;
class TWorkingList;

// What printing needs from the main window.
struct TPrintHost {
  std::function<const TDibGraphic*()> ActiveImage;  // the active view's page
  std::function<std::string()> ActiveFile;          // the file it was read from
  std::function<int()> Count;                       // list entries
  std::function<bool(int)> IsChecked;
  std::function<QString(int)> Entry;
  std::function<int()> Current;
  std::function<void(int)> LoadEntry;  // make it the current entry and load it
  std::function<TDibGraphic&()> UndoImage;
  // Dialogs (replaced by tests): printer set-up, false when cancelled; the
  // range, -1 when cancelled.
  std::function<bool(QPrinter&)> AskPrinter;
  std::function<int()> AskRange;
  std::function<void(const QString&)> Error;
};

// The print command on the given printer. Returns the number of sheets
// printed (0 when cancelled or nothing to print).
int RunPrintCommand(const TPrintHost& host, QPrinter& printer);

// The dialogs the installed print command shows; tests replace them (an
// empty function restores the platform's printer dialog and TFPrintRange).
std::function<bool(QPrinter&)>& PrinterDialogHook();
std::function<int()>& PrintRangeHook();
