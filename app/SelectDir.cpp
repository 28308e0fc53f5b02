#include "app/SelectDir.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/F_UserInput.h"
#include "utils/Utils.h"

TSelectDirDialog::TSelectDirDialog(const QString& title, const QString& startFolder, QWidget* parent)
    : QDialog(parent), AskName(&TFUserInput::AskFolderName) {
  setObjectName("TSelectDir");
  setWindowTitle(title);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  model_->setRootPath(QDir::rootPath());
  tree_ = new QTreeView(this);
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->header()->hide();
  pathLine_ = new QLabel(this);
  pathLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  newFolder_ = new QPushButton(QString::fromUtf8("새폴더"), this);
  ok_ = new QPushButton(QString::fromUtf8("확인"), this);
  cancel_ = new QPushButton(QString::fromUtf8("취소"), this);
  ok_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(newFolder_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pathLine_);
  layout->addWidget(tree_, 1);
  layout->addLayout(buttons);
  // Somewhat wider than a plain folder browser.
  resize(400 + 140, 420);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { SelectionChanged(); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(newFolder_, &QPushButton::clicked, this, &TSelectDirDialog::NewFolderClicked);
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { KeepSelectedInSight(); });
  connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this] { shownFolder_ = QPersistentModelIndex(); });
  // A start folder that does not exist starts at the root.
  QString start = startFolder;
  if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::rootPath();
  SelectFolder(start);
}

QString TSelectDirDialog::SelectedFolder() const {
  const QModelIndex index = tree_->currentIndex();
  return index.isValid() ? QDir::cleanPath(model_->filePath(index)) : QString();
}

void TSelectDirDialog::SelectFolder(const QString& folder) {
  const QModelIndex index = model_->index(QDir::cleanPath(folder));
  if (!index.isValid()) return;
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  tree_->expand(index);
  // The folders above it are read in the background; each one that arrives
  // may push it out of sight, so it is scrolled to again until the
  // operator takes over.
  shownFolder_ = QPersistentModelIndex(index);
  SelectionChanged();
}

void TSelectDirDialog::KeepSelectedInSight() {
  if (!shownFolder_.isValid() || tree_->currentIndex() != QModelIndex(shownFolder_)) {
    shownFolder_ = QPersistentModelIndex();
    return;
  }
  tree_->scrollTo(shownFolder_, QAbstractItemView::PositionAtCenter);
}

void TSelectDirDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  KeepSelectedInSight();
}

void TSelectDirDialog::SelectionChanged() {
  const QString folder = SelectedFolder();
  pathLine_->setText(QDir::toNativeSeparators(folder));
  ok_->setEnabled(!folder.isEmpty() && QFileInfo(folder).isDir());
}

bool TSelectDirDialog::CreateSubFolder(const QString& name) {
  const QString parent = SelectedFolder();
  if (name.isEmpty() || parent.isEmpty()) return false;
  QDir dir(parent);
  if (!dir.exists(name) && !dir.mkdir(name)) return false;
  const QString created = dir.filePath(name);
  SelectFolder(created);
  return true;
}

void TSelectDirDialog::NewFolderClicked() {
  const QString name = AskName ? AskName(this) : QString();
  if (!name.isEmpty()) CreateSubFolder(name);
}

QString SelectDir(const QString& title, const QString& startFolder, QWidget* owner) {
  TSelectDirDialog dialog(title, startFolder, owner);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QString folder = dialog.SelectedFolder();
  return folder.isEmpty() ? QString() : WithTrailingSeparator(QDir::toNativeSeparators(folder));
}
