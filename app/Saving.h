// Saving the corrected page: the save folder, the compression choice, the
// write of the output file (always complete in a temporary file first, then
// renamed over the target), and moving on to the next page.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "image/TiffGraphic.h"

class TFViewTrans;
class TWorkingList;

// Creates every sub-folder of `source` below `destination`, skipping the
// destination itself when it lies inside the source. Throws with the
// system's error text when a folder cannot be made.
void CopyFolderTree(const QString& source, const QString& destination);

class TSaving : public QObject {
  Q_OBJECT
 public:
  TSaving(TFViewTrans& window, TWorkingList& list);

  // Writes the active page into the current entry's output file and moves
  // on; false (with the error shown) when nothing could be written.
  bool Save();
  // Asks for the save folder; with none chosen the operator is told that
  // sources will be written over, unless the caller needs a folder for
  // work that will not run without one (warnWhenNone false).
  void ChooseSaveFolder(bool warnWhenNone = true);

  // Dialog hook, replaced by tests.
  std::function<QString()> AskSaveFolder;

 private:
  void WriteOutput(const QString& output);

  TFViewTrans& window_;
  TWorkingList& list_;
};
