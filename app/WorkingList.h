// The working list of the main window: opening files and folders, check
// marks, removing entries, stepping through entries and pages, loading the
// current page into both views, and the thumbnail strip.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class TDocumentList;
class TFViewTrans;
class TImageScrollBox;

class TWorkingList : public QObject {
  Q_OBJECT
 public:
  explicit TWorkingList(TFViewTrans& window);

  TDocumentList* List() const { return list_; }
  TImageScrollBox* Thumbnails() const { return thumbnails_; }
  int ThumbnailState() const { return thumbnailState_; }

  // -9 first, -1 previous, 0 reload, 1 next, 9 last, 10 the selected entry.
  void Navigate(int how);
  // Adds files as the open-files command does after its dialog.
  void OpenFiles(const QStringList& files);
  // Scans a folder as the open-folder command does after its chooser.
  void OpenFolder(const QString& folder);
  // The output name of the current entry.
  QString CurrentOutputName() const;

  // Dialog hooks, replaced by tests.
  std::function<QStringList()> AskFiles;
  std::function<QString()> AskFolder;

  static bool Busy();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Whether the source view shows the current entry's pages.
  bool ShowsCurrentEntry() const;
  void RemoveByPosition(int tag);
  void ResetIfEmpty();
  void LoadCurrentEntry();
  void StepFrame(int delta);
  void AfterListChange();
  void ShowThumbnails(int state);
  void SetStatusLines();
  void EnableOpenCommands(bool openFiles, bool openFolder);

  TFViewTrans& window_;
  TDocumentList* list_;
  TImageScrollBox* thumbnails_;
  int thumbnailState_ = 0;
  QString shownEntry_;   // the entry loaded into the source view
  int listEdits_ = 0;    // a command is editing the list
  int rowAtPress_ = -1;  // current entry when the list was last pressed
  QObject* listViewport_ = nullptr;
};
