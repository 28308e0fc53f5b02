#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/Saving.h"
#include "app/WorkingList.h"
#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

struct SavingFixture : WindowFixture {
  TSaving* saving = nullptr;
  QString saveFolderAnswer;

  void SetUp() override {
    WindowFixture::SetUp();
    saving = new TSaving(*window, *work);
    saving->AskSaveFolder = [this] { return saveFolderAnswer; };
  }
  static std::unique_ptr<TTiffGraphic> Page(const QString& file, int page) {
    auto g = std::make_unique<TTiffGraphic>();
    g->ImageToLoad = page;
    g->LoadFromFile(file.toStdString());
    return g;
  }
};

}  // namespace

TEST(SaveCompression, ChoiceTable) {
  EXPECT_EQ(CompressionForChoice(10, ifBlackWhite, tcLZW, tcCCITT3_1D), tcCCITT3_1D);
  EXPECT_EQ(CompressionForChoice(20, ifBlackWhite, tcLZW, tcNone), tcCCITT3_2D);
  EXPECT_EQ(CompressionForChoice(30, ifBlackWhite, tcLZW, tcNone), tcCCITT4);
  EXPECT_EQ(CompressionForChoice(40, ifTrueColor, tcLZW, tcNone), tcZLib);
  EXPECT_EQ(CompressionForChoice(50, ifBlackWhite, tcLZW, tcNone), tcLZW) << "bilevel keeps its own";
  EXPECT_EQ(CompressionForChoice(50, ifGray256, tcLZW, tcNone), tcJPEG);
  EXPECT_EQ(CompressionForChoice(60, ifBlackWhite, tcLZW, tcNone), tcPackbits);
  EXPECT_EQ(CompressionForChoice(70, ifBlackWhite, tcNone, tcNone), tcLZW);
}

TEST_F(SavingFixture, WithoutASaveFolderTheSourceIsOverwrittenAndShown) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  work->OpenFiles({a});
  EXPECT_EQ(messages.value(0), QString::fromUtf8("저장폴더를 지정하지 않으면 원본파일에 덮어쓰기를 합니다."));
  TDibGraphic& page = window->SourceView()->Graphic();
  for (int x = 0; x < 50; ++x) page.SetPixelIndex(x, 10, 0);  // a mark to find again
  window->Execute(TCommand::SaveLzw);                         // choosing LZW saves at once
  auto saved = Page(a, 1);
  EXPECT_EQ(saved->Compression(), tcLZW);
  EXPECT_EQ(saved->GetPixelIndex(25, 10), 0);
  EXPECT_TRUE(messages.contains(QString::fromUtf8("마지막 이미지입니다."))) << "saving the last page moves on";
  EXPECT_EQ(window->ResultView()->Graphic().GetPixelIndex(25, 10), 0);
  EXPECT_EQ(window->SourceView()->Graphic().GetPixelIndex(25, 10), 0);
}

TEST_F(SavingFixture, APageOfAMultiPageFileIsReplacedAndTheOthersKept) {
  const QString in = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "in/m.tif");
  QDir(dir.path()).mkpath("out");
  saveFolderAnswer = QDir(dir.path()).filePath("out") + "/";
  work->OpenFiles({in});
  const QString out = saveFolderAnswer + "m.tif";
  ASSERT_TRUE(QFileInfo::exists(out));
  window->Execute(TCommand::Next);  // page 2
  ASSERT_EQ(window->SourceView()->CurrentFrame(), 2);
  TDibGraphic& page = window->SourceView()->Graphic();
  std::fill(page.ScanLine(5), page.ScanLine(5) + page.BytesPerScanLine(), 0);
  window->Settings().F = 30;
  window->Execute(TCommand::Save);
  EXPECT_EQ(window->SourceView()->CurrentFrame(), 3) << "moves on to the next page";
  for (int p : {1, 3}) EXPECT_TRUE(SamePixels(*Page(out, p), *Page(in, p))) << "page " << p;
  auto second = Page(out, 2);
  EXPECT_EQ(second->GetPixelIndex(7, 5), 0);
  EXPECT_EQ(second->Compression(), tcCCITT4);
  EXPECT_FALSE(SamePixels(*Page(out, 2), *Page(in, 2)));
  TTiffGraphic counter;
  TFileStream s(out.toStdString(), TFileMode::fmOpenRead);
  EXPECT_EQ(counter.GetImageCount(s), 3);
}

TEST_F(SavingFixture, ARefusedCompressionLeavesTheFileAsItWas) {
  const QString a = Copy("testdata/jpeg/real-colour-bookpage-jfif-150dpi.jpg", "c.jpg");
  const QString tif = QDir(dir.path()).filePath("c.tif");
  // A true-colour TIFF asked to take CCITT4.
  {
    TTiffGraphic colour;
    colour.NewImage(40, 30, ifTrueColor, nullptr, 150, 150);
    colour.SetCompression(tcLZW);
    colour.SaveToFile(tif.toStdString());
  }
  const QByteArray before = [&] {
    QFile f(tif);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }();
  work->OpenFiles({tif});
  messages.clear();
  window->Settings().F = 30;
  window->Execute(TCommand::Save);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], "CCITT Group 4 compression not supported with True color images");
  QFile f(tif);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), before) << "the operator's file is untouched";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file left";
  (void)a;
}

TEST_F(SavingFixture, FolderModeCopiesTheTreeAndSavesTwoLevelsDown) {
  const QString in = QDir(dir.path()).filePath("scan") + "/";
  const QString src = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "scan/x/y/p.tif");
  saveFolderAnswer = QDir(dir.path()).filePath("scan/out") + "/";
  QDir().mkpath(saveFolderAnswer);
  SetOpenFolder(in);
  work->OpenFolder(in);
  EXPECT_TRUE(QFileInfo(saveFolderAnswer + "x/y").isDir()) << "the tree is copied";
  EXPECT_FALSE(QFileInfo(saveFolderAnswer + "out").exists()) << "the output folder is not copied into itself";
  window->Execute(TCommand::Save);
  EXPECT_TRUE(QFileInfo::exists(saveFolderAnswer + "x/y/p.tif"));
  (void)src;
}

namespace {

// A small file system of its own for fault injection; skipped where the
// test may not mount one.
struct TSmallFileSystem {
  QString path;
  bool mounted = false;
  TSmallFileSystem(const QString& where, const char* size) : path(where) {
    QDir().mkpath(path);
    mounted =
        std::system(("mount -t tmpfs -o size=" + std::string(size) + " tmpfs '" + path.toStdString() + "' 2>/dev/null")
                        .c_str()) == 0;
  }
  bool RemountReadOnly() {
    return std::system(("mount -o remount,ro '" + path.toStdString() + "' 2>/dev/null").c_str()) == 0;
  }
  ~TSmallFileSystem() {
    if (mounted) [[maybe_unused]]
      int r = std::system(("umount '" + path.toStdString() + "' 2>/dev/null").c_str());
  }
};

QByteArray FileBytes(const QString& file) {
  QFile f(file);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

}  // namespace

TEST_F(SavingFixture, AFullDiskOrAReadOnlyFolderLeavesTheOriginalIntact) {
  const QString shared = QString::fromStdString(SharedFile("testdata/tiff/gen-multipage-4p-mixed.tif"));
  const qint64 size = QFileInfo(shared).size();
  for (bool readOnly : {false, true}) {
    // Room for the original and a little more, not for a second copy.
    const std::string room = std::to_string(size + size / 4 + 8192);
    TSmallFileSystem fs(QDir(dir.path()).filePath(readOnly ? "ro" : "full"), room.c_str());
    if (!fs.mounted) GTEST_SKIP() << "no permission to mount a test file system";
    const QString src = fs.path + "/scan.tif";
    ASSERT_TRUE(QFile::copy(shared, src));
    QFile(src).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = FileBytes(src);
    work->List()->clear();
    work->OpenFiles({src});
    SetSaveFolder(QString());  // over the source
    ASSERT_GE(window->SourceView()->FrameCount(), 2);
    if (readOnly) {
      ASSERT_TRUE(fs.RemountReadOnly());
    }
    TDibGraphic& page = window->SourceView()->Graphic();
    std::fill(page.ScanLine(3), page.ScanLine(3) + page.BytesPerScanLine(), 0);
    messages.clear();
    window->Settings().F = 70;
    window->Execute(TCommand::Save);
    ASSERT_EQ(messages.size(), 1) << (readOnly ? "read-only" : "full");
    EXPECT_NE(messages[0], QString::fromUtf8("마지막 이미지입니다.")) << "an error box, not a move on";
    EXPECT_EQ(FileBytes(src), before) << "the original scan is untouched";
    EXPECT_EQ(QDir(fs.path).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";
    work->List()->clear();
    window->SourceView()->Clear();
    window->ResultView()->Clear();
  }
}

TEST_F(SavingFixture, EqualNamesFromTwoFoldersShareOneOutputInFileMode) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "one/p.tif");
  const QString b = Copy("testdata/tiff/real-eurotext-none-1bit-300dpi.tif", "two/p.tif");
  saveFolderAnswer = QDir(dir.path()).filePath("out") + "/";
  QDir().mkpath(saveFolderAnswer);
  work->OpenFiles({a, b});
  window->Settings().F = 50;  // a bilevel page keeps its own compression
  window->Execute(TCommand::Save);
  window->Execute(TCommand::Save);
  const QString out = saveFolderAnswer + "p.tif";
  auto saved = Page(out, 1);
  EXPECT_TRUE(SamePixels(*saved, *Page(b, 1))) << "the second entry wrote over the first";
  // The result view's page was copied from the source view, so it holds the
  // bilevel default, which F = 50 keeps (no JPEG for bilevel pages).
  EXPECT_EQ(saved->Compression(), tcCCITT4);
}
