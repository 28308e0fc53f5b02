#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/DocumentList.h"
#include "app/F_UserInput.h"
#include "app/SelectDir.h"

TEST(DocumentList, SortedCaseInsensitivelyWithoutDuplicateCheck) {
  TDocumentList list;
  list.AddFiles({"/s/b.tif", "/s/A.tif", "/s/c.pdf", "/s/a2.jpg", "/s/b.tif"});
  EXPECT_EQ(list.Entries(), (QStringList{"/s/A.tif", "/s/a2.jpg", "/s/b.tif", "/s/b.tif", "/s/c.pdf"}));
  EXPECT_EQ(list.item(0)->toolTip(), "/s/A.tif") << "the full path is the hover hint";
  EXPECT_EQ(list.Current(), -1);
}

TEST(DocumentList, RemovingOddEntriesOfFiveLeavesSecondAndFourth) {
  TDocumentList list;
  list.AddFiles({"/1.tif", "/2.tif", "/3.tif", "/4.tif", "/5.tif"});
  list.RemoveByPosition(10);
  EXPECT_EQ(list.Entries(), (QStringList{"/2.tif", "/4.tif"}));
  list.AddFiles({"/1.tif", "/3.tif", "/5.tif"});
  list.RemoveByPosition(20);
  EXPECT_EQ(list.Entries(), (QStringList{"/1.tif", "/3.tif", "/5.tif"}));
  list.RemoveByPosition(30);
  EXPECT_EQ(list.Count(), 0);
}

TEST(DocumentList, CheckMarksAndTheCurrentEntrysFolder) {
  TDocumentList list;
  list.AddFiles({"/x/a.tif", "/x/b.tif", "/y/c.tif", "/X/d.tif"});
  list.CheckEntries(9);
  EXPECT_TRUE(list.CheckedEntries().isEmpty()) << "no current entry, nothing happens";
  list.SetChecked(2, true);
  list.SetCurrent(1);  // /x/a.tif? entries sorted: /x/a, /x/b, /X/d, /y/c
  list.CheckEntries(9);
  EXPECT_EQ(list.CheckedEntries(), (QStringList{"/x/a.tif", "/x/b.tif"})) << "case-sensitive folder match";
  list.CheckEntries(1);
  EXPECT_EQ(list.CheckedEntries().size(), 4);
  list.SetChecked(0, false);
  list.RemoveChecked();
  EXPECT_EQ(list.Entries(), (QStringList{"/x/a.tif"}));
  list.CheckEntries(0);
  EXPECT_TRUE(list.CheckedEntries().isEmpty());
  list.SetCurrent(0);
  list.RemoveCurrent();
  EXPECT_EQ(list.Count(), 0);
}

TEST(FolderChooser, NewFolderFlowAndResult) {
  QTemporaryDir root;
  TSelectDirDialog dialog("title", root.path(), nullptr);
  EXPECT_EQ(dialog.windowTitle(), "title");
  EXPECT_EQ(dialog.SelectedFolder(), QDir::cleanPath(root.path()));
  EXPECT_EQ(dialog.PathLine()->text(), QDir::toNativeSeparators(QDir::cleanPath(root.path())));
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  dialog.AskName = [](QWidget*) { return QString::fromUtf8("스캔 1"); };
  QTest::mouseClick(dialog.NewFolderButton(), Qt::LeftButton);
  EXPECT_TRUE(QDir(root.path()).exists(QString::fromUtf8("스캔 1")));
  EXPECT_EQ(dialog.SelectedFolder(), QDir(root.path()).filePath(QString::fromUtf8("스캔 1")));
  dialog.AskName = [](QWidget*) { return QString(); };
  QTest::mouseClick(dialog.NewFolderButton(), Qt::LeftButton);
  EXPECT_EQ(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1) << "cancel creates nothing";

  TSelectDirDialog missing("t", root.path() + "/nope", nullptr);
  EXPECT_EQ(missing.SelectedFolder(), QDir::rootPath()) << "a missing start folder starts at the root";
}

TEST(FolderChooser, ReturnsTheFolderWithTrailingSeparatorOrEmpty) {
  QTemporaryDir root;
  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<TSelectDirDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->accept();
  });
  EXPECT_EQ(SelectDir("t", root.path(), nullptr), QDir::cleanPath(root.path()) + "/");
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_EQ(SelectDir("t", root.path(), nullptr), QString());
}

TEST(FolderNameDialog, AcceptsOnlyANonEmptyNameOfAtMostThirtyCharacters) {
  TFUserInput dialog;
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("폴더 이름"));
  EXPECT_EQ(dialog.Text(), QString::fromUtf8("새폴더"));
  EXPECT_EQ(dialog.OkButton()->text(), QString::fromUtf8("확 인"));
  EXPECT_EQ(dialog.CancelButton()->text(), QString::fromUtf8("취 소"));
  EXPECT_EQ(dialog.Edit()->maxLength(), 30);
  dialog.show();
  dialog.Edit()->clear();
  QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible()) << "an empty name is not accepted";
  QTest::keyClicks(dialog.Edit(), "scan");
  QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Text(), "scan");
}

TEST(DocumentList, ANarrowPaneShowsTheFileNameOfEachEntry) {
  TDocumentList list;
  const QString path = "/scans/2024/box 17 of the archive/incoming documents/page-0042.tif";
  list.AddFiles({path});
  list.resize(220, 200);
  list.show();
  QApplication::processEvents();
  const QRect rect = list.visualItemRect(list.item(0));
  EXPECT_LE(rect.right(), list.viewport()->width()) << "an entry is never wider than the pane";
  const QString shown = EntryDisplayText(path, list.fontMetrics(), rect.width() - 30);
  EXPECT_TRUE(shown.startsWith("/scans/")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("/page-0042.tif")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QString::fromUtf8("…"))) << shown.toStdString();
  EXPECT_EQ(EntryDisplayText(path, list.fontMetrics(), 2000), path);
  EXPECT_EQ(list.item(0)->text(), path) << "text and hint stay the whole path";
  EXPECT_EQ(list.item(0)->toolTip(), path);
}

TEST(FolderChooser, OpensScrolledToItsStartFolderWithItSelected) {
  QTemporaryDir root;
  for (int i = 0; i < 120; ++i) QDir(root.path()).mkpath(QString("many/%1/inner").arg(i, 3, 10, QChar('0')));
  const QString start = QDir(root.path()).filePath("many/100");
  TSelectDirDialog dialog("t", start, nullptr);
  dialog.show();
  QTreeView* tree = dialog.Tree();
  auto inSight = [&] {
    const QRect r = tree->visualRect(tree->currentIndex());
    return r.isValid() && tree->viewport()->rect().contains(r);
  };
  // Folders are read in the background; wait until the tree has them all.
  QTRY_VERIFY_WITH_TIMEOUT(tree->model()->rowCount(tree->currentIndex().parent()) == 120 && inSight(), 10000);
  EXPECT_EQ(dialog.SelectedFolder(), start);
  EXPECT_TRUE(tree->selectionModel()->isSelected(tree->currentIndex()));
}

TEST(FolderNameDialog, TakesANameTypedThroughTheInputMethod) {
  TFUserInput dialog;
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  dialog.Edit()->setFocus();
  dialog.Edit()->clear();
  EXPECT_TRUE(dialog.Edit()->inputMethodQuery(Qt::ImEnabled).toBool());
  QInputMethodEvent composing(QString::fromUtf8("스"), {});
  QApplication::sendEvent(dialog.Edit(), &composing);
  QInputMethodEvent committed;
  committed.setCommitString(QString::fromUtf8("스캔"));
  QApplication::sendEvent(dialog.Edit(), &committed);
  QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Text(), QString::fromUtf8("스캔"));
}
