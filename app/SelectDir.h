// The folder chooser: a tree of folders started at a start folder, a line
// with the selected folder's full path, a "새폴더" button, OK only on a
// real folder. Returns the folder with a trailing separator, or an empty
// string when cancelled.
#pragma once

#include <QDialog>
#include <QPersistentModelIndex>
#include <functional>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

class TSelectDirDialog : public QDialog {
  Q_OBJECT
 public:
  TSelectDirDialog(const QString& title, const QString& startFolder, QWidget* parent = nullptr);

  QString SelectedFolder() const;  // without trailing separator
  void SelectFolder(const QString& folder);
  // Creates a sub-folder of the selected folder, refreshes and selects it.
  bool CreateSubFolder(const QString& name);

  QLabel* PathLine() const { return pathLine_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* NewFolderButton() const { return newFolder_; }
  QTreeView* Tree() const { return tree_; }

  // Asks for the new folder's name; tests replace it.
  std::function<QString(QWidget*)> AskName;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SelectionChanged();
  void KeepSelectedInSight();
  void NewFolderClicked();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* pathLine_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* newFolder_;
  QPersistentModelIndex shownFolder_;  // kept in sight while folders load
};

QString SelectDir(const QString& title, const QString& startFolder, QWidget* owner);
