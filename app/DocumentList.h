// The working list: full paths of the files being corrected, one entry per
// file, kept in case-insensitive order, each with a check mark.
#pragma once

#include <QListWidget>

// What an entry shows in `width` pixels: the whole path when it fits, else
// the folder part elided in the middle before the whole file name (the
// whole text elided in the middle when even the name does not fit).
QString EntryDisplayText(const QString& path, const QFontMetrics& metrics, int width);

class TDocumentList : public QListWidget {
  Q_OBJECT
 public:
  explicit TDocumentList(QWidget* parent = nullptr);

  int Count() const { return count(); }
  QString Entry(int index) const;
  QStringList Entries() const;
  // The selected entry, -1 when none.
  int Current() const { return currentRow(); }
  void SetCurrent(int index);
  QString CurrentEntry() const;

  // Adds the files (no duplicate check) in one batch.
  void AddFiles(const QStringList& files);
  bool IsChecked(int index) const;
  void SetChecked(int index, bool checked);
  QStringList CheckedEntries() const;
  // 1 check all, 0 uncheck all, 9 check exactly the entries in the current
  // entry's folder (exact, case-sensitive comparison).
  void CheckEntries(int tag);
  void RemoveCurrent();
  void RemoveChecked();
  // 10 removes the 1st, 3rd, ... entries, 20 the 2nd, 4th, ..., 30 all.
  void RemoveByPosition(int tag);
};
