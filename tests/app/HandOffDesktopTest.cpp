#include <QSignalSpy>
#include <QToolButton>

#include "DesktopFixture.h"
#include "app/BatchHandOff.h"
#include "app/DesktopModules.h"
#include "app/NumberField.h"
#include "image/TiffGraphic.h"
#include "utils/HandOff.h"
#include "view/ImageScrollBox.h"

namespace {

struct HandOffFixture : DesktopFixture {
  TBatchHandOff* handOff = nullptr;
  QList<QStringList> starts;  // program followed by its arguments
  std::function<bool(const QString&, const QStringList&)> realStart;

  void SetUp() override {
    DesktopFixture::SetUp();
    handOff = InstallBatchHandOff(*window, *work);
    realStart = handOff->StartProgram;
    handOff->StartProgram = [this](const QString& program, const QStringList& arguments) {
      starts << (QStringList{program} + arguments);
      return true;
    };
    Activate();
  }
  static QByteArray Read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static std::unique_ptr<TTiffGraphic> Page(const QString& file, int page = 1) {
    auto g = std::make_unique<TTiffGraphic>();
    g->ImageToLoad = page;
    g->LoadFromFile(file.toStdString());
    return g;
  }
};

}  // namespace

TEST_F(HandOffFixture, TheListFileHoldsTheCheckedEntriesOrAllAndTheListStaysAsItWas) {
  const QString a = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif");
  const QString b = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/b.tif");
  const QString c = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/c.tif");
  work->OpenFiles({c, a, b});
  SetSaveFolder(Path("out/"));
  List()->SetCurrent(1);
  const QString open = OpenFolder();

  Press(Qt::Key_I);
  EXPECT_EQ(Read(HandOffListFilePath()),
            (a + "\r\n" + b + "\r\n" + c + "\r\n" + Path("out/") + "\r\n" + open + "\r\n1\r\n").toUtf8())
      << "no entry checked: all of them";
  ASSERT_EQ(starts.size(), 1);
  EXPECT_EQ(starts[0], (QStringList{handOff->ProgramPath, "1, 2, 3"}));

  List()->SetChecked(0, true);
  List()->SetChecked(2, true);
  SetSaveFolder(QString());
  QTest::mouseClick(window->ToolButton(TCommand::AutoCorrect), Qt::LeftButton);
  EXPECT_EQ(Read(HandOffListFilePath()), (a + "\r\n" + c + "\r\n\r\n" + open + "\r\n1\r\n").toUtf8())
      << "only the checked entries; an empty save folder is an empty line";
  EXPECT_EQ(List()->Entries(), (QStringList{a, b, c}));
  EXPECT_EQ(List()->CheckedEntries(), (QStringList{a, c}));
  EXPECT_EQ(List()->Current(), 1);
  EXPECT_EQ(starts.size(), 2);
}

TEST_F(HandOffFixture, TheParametersAndFixedAreasAreStoredBeforeTheStart) {
  work->OpenFiles({Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif")});
  window->Field(1)->setText("13");  // speck width typed into its field
  window->SourceView()->AddFixedAreas({TRect{5, 6, 50, 60}});
  Press(Qt::Key_I);
  EXPECT_EQ(LoadSettings().W, 13);
  std::vector<TRect> stored;
  LoadFixedAreas(stored);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].Right, 50);
}

TEST_F(HandOffFixture, NothingHappensWhileTheBatchProgramRuns) {
  work->OpenFiles({Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif")});
  THandOffLock running;
  ASSERT_TRUE(running.TryLock());
  Press(Qt::Key_I);
  EXPECT_FALSE(QFileInfo::exists(HandOffListFilePath()));
  EXPECT_TRUE(starts.isEmpty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(HandOffFixture, AListFileThatCannotBeWrittenOrAProgramThatCannotStartIsShown) {
  work->OpenFiles({Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif")});
  ASSERT_TRUE(QDir().mkpath(HandOffListFilePath()));  // a folder where the file should go
  Press(Qt::Key_I);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8("자동 보정 목록 파일을 쓸 수 없습니다.")))
      << messages[0].toStdString();
  EXPECT_TRUE(starts.isEmpty()) << "nothing is started without its list";

  ASSERT_TRUE(QDir(HandOffListFilePath()).removeRecursively());
  handOff->StartProgram = realStart;
  handOff->ProgramPath = Path("missing/pagemend");
  Press(Qt::Key_I);
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[1], QString::fromUtf8("자동 보정 프로그램을 실행할 수 없습니다.") + "\n\n" + handOff->ProgramPath);
}

TEST_F(HandOffFixture, AMessageBackForTheOpenFolderShowsTheNewOutputOnTheSamePage) {
  const QString source = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "in/m.tif");
  work->OpenFiles({source});
  Press(Qt::Key_Down);  // page 2
  ASSERT_EQ(window->SourceView()->CurrentFrame(), 2);
  const QString output = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "batch/m.tif");
  ASSERT_TRUE(handOff->IsListening());
  QSignalSpy arrived(handOff, &TBatchHandOff::ResultsArrived);

  // Another folder's batch is not taken over.
  ASSERT_TRUE(SendHandOffMessage(Path("elsewhere/"), Path("batch/")));
  QTest::qWait(300);
  EXPECT_EQ(arrived.count(), 0);
  EXPECT_TRUE(SaveFolder().isEmpty());

  ASSERT_TRUE(SendHandOffMessage(OpenFolder(), Path("batch/")));
  ASSERT_TRUE(arrived.wait(5000));
  EXPECT_EQ(SaveFolder(), Path("batch/"));
  TImageScrollBox* result = window->ResultView();
  EXPECT_EQ(QString::fromStdString(result->FileName()), output);
  EXPECT_EQ(result->CurrentFrame(), 2) << "the same page stays shown";
  EXPECT_TRUE(SamePixels(result->Graphic(), *Page(output, 2)));
}

// The real batch program corrects two real pages and sends its message back.
TEST_F(HandOffFixture, PagemendCorrectsTheListAndTheResultViewShowsItsOutput) {
  const QString pagemend = QString::fromUtf8(VELTRAX_BINARY_DIR "/app/pagemend");
  ASSERT_TRUE(QFileInfo(pagemend).isExecutable()) << "build pagemend first: " << pagemend.toStdString();
  // pagemend reads the stored settings from the user's configuration folder:
  // this test's own, holding what the desktop stores.
  const QByteArray config = qgetenv("XDG_CONFIG_HOME");
  auto restoreConfig = [&config] {
    if (config.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", config);
  };
  qputenv("XDG_CONFIG_HOME", Path("config").toUtf8());
  SetSettingsStoreFile(Path("config/orvane/Veltrax.conf"));
  const QString a = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif");
  const QString b = Copy("testdata/tiff/real-fax-form-g4-300dpi.tif", "in/b.tif");
  work->OpenFiles({a, b});
  SetSaveFolder(Path("out/"));
  ASSERT_TRUE(QDir().mkpath(Path("out")));
  handOff->ProgramPath = pagemend;
  handOff->StartProgram = realStart;
  QSignalSpy arrived(handOff, &TBatchHandOff::ResultsArrived);

  Press(Qt::Key_I);
  const bool back = arrived.wait(120000);
  restoreConfig();
  ASSERT_TRUE(back) << "no message back from pagemend; messages: " << messages.join(" / ").toStdString();
  for (const char* name : {"a.tif", "b.tif"}) EXPECT_TRUE(QFileInfo::exists(Path(QString("out/") + name))) << name;
  EXPECT_EQ(SaveFolder(), Path("out/"));
  TImageScrollBox* result = window->ResultView();
  EXPECT_EQ(QString::fromStdString(result->FileName()), Path("out/a.tif"));
  EXPECT_TRUE(SamePixels(result->Graphic(), *Page(Path("out/a.tif"))));
  EXPECT_FALSE(SamePixels(result->Graphic(), *Page(a))) << "the page was corrected";
}
