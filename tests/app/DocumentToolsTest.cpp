// The merge, split, convert and two-in-one commands as the operator reaches
// them from the main window: the key or the menu item, the window that
// opens, its buttons, the files written and the messages shown.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "DesktopFixture.h"
#include "app/DocumentTools.h"
#include "app/Saving.h"
#include "image/GraphicRegistry.h"

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

std::unique_ptr<TDibGraphic> ReadPage(const QString& file, int page) {
  std::unique_ptr<TDibGraphic> g = CreateGraphicForFile(file.toStdString());
  g->ImageToLoad = page;
  TFileStream stream(file.toStdString(), TFileMode::fmOpenRead);
  g->LoadFromStream(stream);
  return g;
}

int PageCount(const QString& file) {
  std::unique_ptr<TDibGraphic> g = CreateGraphicForFile(file.toStdString());
  TFileStream stream(file.toStdString(), TFileMode::fmOpenRead);
  return g->GetImageCount(stream);
}

QByteArray Bytes(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QPushButton* Button(QWidget* window, const QString& text) {
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

bool ShowsLabel(QWidget* window, const QString& text) {
  for (QLabel* l : window->findChildren<QLabel*>())
    if (l->isVisible() && l->text() == text) return true;
  return false;
}

// The main window with its modules installed as the program assembles it;
// the save-folder chooser answers `chosenFolder` unless a test puts the
// real one back.
struct DocumentTools : DesktopFixture {
  TSaving* saving = nullptr;
  std::function<QString()> realChooser;
  QString chosenFolder;
  QList<int> kinds;  // of the messages shown

  void SetUp() override {
    DesktopFixture::SetUp();
    SetAppMessageHook([this](const QString& text, int kind) {
      messages << text;
      kinds << kind;
      return 0;
    });
    saving = new TSaving(*window, *work);
    realChooser = saving->AskSaveFolder;
    saving->AskSaveFolder = [this] { return chosenFolder; };
    InstallDocumentTools(*window, *work, *saving);
    Activate();
  }
  // Windows on screen besides the main window.
  QList<QWidget*> OtherWindows() const {
    QList<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w != window.get()) shown << w;
    return shown;
  }
  QAction* MenuItem(const QString& caption) const {
    for (QAction* a : window->findChildren<QAction*>())
      if (a->text() == caption) return a;
    return nullptr;
  }
  // Cancels the next modal dialog with its "취소" button once it is up,
  // keeping its caption.
  void CancelNextDialog(QString* caption) {
    auto* timer = new QTimer(window.get());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, caption] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      timer->stop();
      timer->deleteLater();
      *caption = dialog->windowTitle();
      if (QPushButton* cancel = Button(dialog, U("취소")))
        QTest::mouseClick(cancel, Qt::LeftButton);
      else {
        ADD_FAILURE() << "the chooser has no cancel button";
        dialog->reject();
      }
    });
    timer->start(10);
  }
};

}  // namespace

TEST_F(DocumentTools, WithAnEmptyListEveryCommandAsksForFilesAndOpensNothing) {
  struct Row {
    Qt::Key key;  // Qt::Key_unknown: the command has no key
    Qt::KeyboardModifiers modifiers;
    const char* menuItem;
  };
  const Row rows[] = {
      {Qt::Key_U, Qt::NoModifier, "하나의 파일(TIF,PDF)로 만들기(U)"},
      {Qt::Key_U, Qt::ControlModifier, "여러개의 파일(TIF,PDF)로 분리하기(Ctrl + U)"},
      {Qt::Key_unknown, Qt::NoModifier, "멀티TIF <-> PDF 변환하기"},
      {Qt::Key_I, Qt::ControlModifier, "두 이미지를 좌우로 붙여 하나로 만들기(Ctrl + I)"},
  };
  const std::string askForFiles = "작업할 파일을 선택하세요.";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.menuItem);
    if (row.key != Qt::Key_unknown) {
      messages.clear();
      Press(row.key, row.modifiers);
      EXPECT_EQ(messages.join('\n').toStdString(), askForFiles) << "from the key";
      EXPECT_TRUE(OtherWindows().isEmpty()) << "from the key";
    }
    QAction* item = MenuItem(U(row.menuItem));
    ASSERT_NE(item, nullptr);
    messages.clear();
    item->trigger();
    EXPECT_EQ(messages.join('\n').toStdString(), askForFiles) << "from the menu";
    EXPECT_TRUE(OtherWindows().isEmpty()) << "from the menu";
  }
}

// U, then TIF chosen and the start button: both pages, in list order, in the
// folder's merged file in the save folder, or beside the sources when none
// is set.
TEST_F(DocumentTools, UMergesTheListIntoTheFoldersTifWhereTheSaveFolderSays) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "in/a.tif");
  const QString b = Copy("testdata/tiff/real-pair-g4-photometric0-miniswhite.tif", "in/b.tif");
  QDir().mkpath(Path("out"));
  work->OpenFiles({a, b});
  QString tag = QDir::cleanPath(Path("in"));
  tag.replace('/', '_');

  for (const QString& saveFolder : {QString(), Path("out") + "/"}) {
    SCOPED_TRACE(saveFolder.toStdString());
    const QString merged = (saveFolder.isEmpty() ? Path("in") + "/" : saveFolder) + tag + ".tif";
    chosenFolder = saveFolder;
    Activate();
    Press(Qt::Key_P);  // the save folder, through its chooser
    messages.clear();
    Press(Qt::Key_U);
    const QList<QWidget*> shown = OtherWindows();
    ASSERT_EQ(shown.size(), 1);
    QWidget* tool = shown[0];
    EXPECT_EQ(tool->windowTitle(), U("하나의 파일로 합치기"));
    auto* type = tool->findChild<QComboBox*>();
    ASSERT_NE(type, nullptr);
    QTest::keyClick(type, Qt::Key_Down);
    ASSERT_EQ(type->currentText(), U("TIF 파일"));
    QPushButton* start = Button(tool, U("변 환"));
    ASSERT_NE(start, nullptr);
    QTest::mouseClick(start, Qt::LeftButton);

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_TRUE(ShowsLabel(tool, U("작업을 마쳤습니다.")));
    ASSERT_TRUE(QFileInfo::exists(merged));
    ASSERT_EQ(PageCount(merged), 2);
    EXPECT_TRUE(SamePixels(*ReadPage(merged, 1), *ReadPage(a, 1)));
    EXPECT_TRUE(SamePixels(*ReadPage(merged, 2), *ReadPage(b, 1)));
    QPushButton* close = Button(tool, U("닫 기"));
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_TRUE(OtherWindows().isEmpty());
  }
  EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files), QStringList{tag + ".tif"});
}

// Ctrl+I without a save folder: the start button asks for one with the
// save-folder chooser; cancelled, nothing is written and no source changes
// (each joined page would otherwise replace its right-hand source).
TEST_F(DocumentTools, CtrlIWithTheSaveFolderChooserCancelledWritesNothing) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "in/a.tif");
  const QString b = Copy("testdata/tiff/real-pair-g4-photometric0-miniswhite.tif", "in/b.tif");
  const QByteArray bytesA = Bytes(a), bytesB = Bytes(b);
  work->OpenFiles({a, b});
  ASSERT_TRUE(SaveFolder().isEmpty());
  saving->AskSaveFolder = realChooser;
  Activate();
  messages.clear();
  kinds.clear();

  Press(Qt::Key_I, Qt::ControlModifier);
  const QList<QWidget*> shown = OtherWindows();
  ASSERT_EQ(shown.size(), 1);
  QWidget* tool = shown[0];
  EXPECT_EQ(tool->windowTitle(), U("두 이미지를 좌우로 붙여 하나로 만들기"));
  QPushButton* start = Button(tool, U("변 환"));
  ASSERT_NE(start, nullptr);
  QString chooser;
  CancelNextDialog(&chooser);
  QTest::mouseClick(start, Qt::LeftButton);

  EXPECT_EQ(chooser, U("변환한 파일을 저장할 폴더 선택"));
  // Nothing is said: no failure, no run, and no word of sources written
  // over.
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  EXPECT_EQ(QDir(Path("in")).entryList(QDir::Files), (QStringList{"a.tif", "b.tif"}));
  EXPECT_EQ(Bytes(a), bytesA);
  EXPECT_EQ(Bytes(b), bytesB);
  EXPECT_TRUE(tool->isVisible());
}
