// pagemend run as a process on real files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <memory>

#include "batch/ProgramRun.h"
#include "correction/Borders.h"
#include "correction/DeskewTransform.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "image/GraphicRegistry.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"
#include "utils/HandOff.h"
#include "utils/HandOffListener.h"
#include "utils/Utils.h"

namespace {

// A private settings store and temporary folder for each run, so nothing of
// the machine's own settings or hand-off files is read or touched.
class PagemendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestQtApp();
    home_ = QString::fromStdString(TestTempDir());
    QDir(home_).mkpath("config/orvane");
    QDir(home_).mkpath("tmp");
  }
  void TearDown() override { SetSettingsStoreFile(QString()); }

  QString StoreFile() const { return home_ + "/config/orvane/Veltrax.conf"; }
  QString ChildTemp() const { return home_ + "/tmp"; }

  void StoreSettings(const TSettingsRecord& record, const std::vector<TRect>& areas = {}) {
    SetSettingsStoreFile(StoreFile());
    SaveSettings(record);
    SaveFixedAreas(areas);
    SetSettingsStoreFile(QString());
  }

  TProgramRun Run(const QStringList& args, const QString& workingFolder = QString()) {
    return RunProgram(args, {{"XDG_CONFIG_HOME", home_ + "/config"}, {"TMPDIR", ChildTemp()}}, Pagemend, workingFolder);
  }

  QString home_;
};

QString Copy(const std::string& shared, const QString& folder, const QString& name = QString()) {
  const QString source = QString::fromStdString(SharedFile(shared));
  QDir().mkpath(folder);
  const QString target = folder + "/" + (name.isEmpty() ? QFileInfo(source).fileName() : name);
  QFile::remove(target);
  EXPECT_TRUE(QFile::copy(source, target)) << target.toStdString();
  QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  return target;
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

int Pages(const QString& path) {
  auto g = CreateGraphicForFile(path.toStdString());
  TFileStream s(path.toStdString(), TFileMode::fmOpenRead);
  return g->GetImageCount(s);
}

std::unique_ptr<TDibGraphic> LoadPageOf(const QString& path, int page) {
  auto g = CreateGraphicForFile(path.toStdString());
  g->ImageToLoad = page;
  g->LoadFromFile(path.toStdString());
  return g;
}

// The dates the writers stamp (TIFF DateTime, PDF creation date) blanked out.
QByteArray WithoutDates(QByteArray bytes) {
  static const QRegularExpression tiffDate(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)");
  static const QRegularExpression pdfDate(R"(/CreationDate \(D:\d{14})");
  QString latin = QString::fromLatin1(bytes);
  latin.replace(tiffDate, "####:##:## ##:##:##");
  latin.replace(pdfDate, "/CreationDate (D:##############");
  return latin.toLatin1();
}

QStringList FilesBelow(const QString& root) {
  QStringList list;
  QDir base(root);
  for (const QString& f : FindImageFiles(root)) list << base.relativeFilePath(f);
  return list;
}

// The default chain done by hand with the default settings.
void DefaultChain(TDibGraphic& page) {
  const TSettingsRecord s;
  TDibGraphic work, undo;
  DeskewPage(page, work, undo, s.K == 20, s.D == 200, nullptr);
  RemoveSpecks(page, s.W, s.H, false, {}, s.J);
  TRect rect;
  MarginsToRect(page, s.P2, s.P4, rect, s.P3, s.P1);
  EraseOutsideRect(page, rect);
  CenterContent(page, &undo, s.Wopt, s.J, s.aV, s.aH, s.Hside, s.Hopt, s.Wside);
}

}  // namespace

TEST_F(PagemendTest, UsageAndHelp) {
  TProgramRun help = Run({"--help"});
  EXPECT_EQ(help.Exit, 0);
  EXPECT_TRUE(help.Out.startsWith("Usage: pagemend"));
  EXPECT_TRUE(help.Out.contains("--shard K/N"));
  for (const char* option : {"--fine-deskew", "--min-confidence X", "--drop-blank[=PERCENT]"})
    EXPECT_TRUE(help.Out.contains(option)) << option;

  for (const QStringList& bad :
       {QStringList{}, QStringList{"--steps", "deskew,polish", "x.tif"}, QStringList{"--set", "Nope=1", "x.tif"},
        QStringList{"--set", "W=wide", "x.tif"}, QStringList{"-j", "0", "x.tif"},
        QStringList{"--shard", "3/2", "x.tif"}, QStringList{"--frobnicate", "x.tif"}, QStringList{"--out"},
        QStringList{"--min-confidence", "-1", "x.tif"}, QStringList{"--min-confidence", "high", "x.tif"},
        QStringList{"--drop-blank=abc", "x.tif"}, QStringList{"--drop-blank=101", "x.tif"},
        QStringList{"--fine-deskew=1", "x.tif"}}) {
    const TProgramRun run = Run(bad);
    EXPECT_EQ(run.Exit, 2) << bad.join(' ').toStdString();
    EXPECT_TRUE(run.Err.startsWith("pagemend: ")) << run.Err.toStdString();
  }
}

TEST_F(PagemendTest, RewritesEveryTypeKeepingPagesAndFolders) {
  const QString in = home_ + "/in";
  Copy("testdata/tiff/gen-multipage-3p-g4.tif", in + "/a");
  Copy("testdata/pdf/gen-tiff2pdf-ccitt-g4-3p.pdf", in + "/a/b");
  Copy("testdata/jpeg/gen-lucasta-grey-jfif-unit1-300dpi.jpg", in);
  Copy("testdata/tiff/gen-feyn-lzw-1bit.tif", in, "single.TIFF");
  const QString out = home_ + "/out";
  const TProgramRun run = Run({"--steps", "none", "--quiet", "--out", out, in});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.isEmpty());
  ASSERT_EQ(FilesBelow(out), FilesBelow(in));
  for (const QString& rel : FilesBelow(in)) {
    const QString src = in + "/" + rel, dst = out + "/" + rel;
    ASSERT_EQ(Pages(dst), Pages(src)) << rel.toStdString();
    if (IsJpegFile(rel)) continue;  // re-encoding JPEG is lossy
    for (int p = 1; p <= Pages(src); ++p)
      EXPECT_TRUE(SamePixels(*LoadPageOf(src, p), *LoadPageOf(dst, p))) << rel.toStdString() << " page " << p;
  }
}

TEST_F(PagemendTest, DefaultChainEqualsTheRoutinesAndJobsDoNotMatter) {
  const QString in = home_ + "/in";
  Copy("testdata/tiff/gen-skew-cw1.0-pageseg1-g4.tif", in);
  Copy("testdata/tiff/gen-multipage-3p-g4.tif", in);
  Copy("testdata/pdf/gen-tiff2pdf-ccitt-g4-3p.pdf", in);
  Copy("testdata/tiff/gen-specks-pageseg1-g4.tif", in + "/sub");
  // Default chain on one side, the same chain named on the other.
  const TProgramRun one = Run({"-j", "1", "--verbose", "--out", home_ + "/j1", in});
  ASSERT_EQ(one.Exit, 0) << one.Err.toStdString();
  const TProgramRun two = Run({"--steps", "deskew,specks,borders,centre", "-j2", "--out", home_ + "/j2", in});
  ASSERT_EQ(two.Exit, 0) << two.Err.toStdString();
  EXPECT_TRUE(two.Out.startsWith("pagemend: 4 files, 8 pages, 0 failed, ")) << two.Out.toStdString();

  for (const QString& rel : FilesBelow(in)) {
    EXPECT_EQ(WithoutDates(Bytes(home_ + "/j1/" + rel)), WithoutDates(Bytes(home_ + "/j2/" + rel)))
        << rel.toStdString();
    const QString src = in + "/" + rel;
    for (int p = 1; p <= Pages(src); ++p) {
      auto expected = LoadPageOf(src, p);
      DefaultChain(*expected);
      EXPECT_TRUE(SamePixels(*expected, *LoadPageOf(home_ + "/j1/" + rel, p))) << rel.toStdString() << " " << p;
    }
  }

  // One line per page and step: file, page, step, measurement.
  const QString skewed = in + "/gen-skew-cw1.0-pageseg1-g4.tif";
  auto page = LoadPageOf(skewed, 1);
  TDibGraphic scratch;
  const QString angle = QString::asprintf("angle=%.4f", static_cast<double>(DetectSkewAngle(*page, &scratch)));
  EXPECT_TRUE(one.Err.contains(
      QRegularExpression(QRegularExpression::escape(skewed + "\t1\tdeskew\t" + angle) + " confidence=\\d+\\.\\d\\d\n")))
      << one.Err.toStdString();
  EXPECT_TRUE(one.Err.contains(QRegularExpression("gen-multipage-3p-g4.tif\t3\tspecks\tboxes=\\d+\n")));
  EXPECT_TRUE(one.Err.contains(QRegularExpression("\tborders\tkept=\\d+,\\d+,\\d+,\\d+\n")));
  EXPECT_TRUE(one.Err.contains(QRegularExpression("\tcentre\tdx=-?\\d+ dy=-?\\d+\n")));
}

TEST_F(PagemendTest, SettingsComeFromTheStoreAndSetOverridesThem) {
  TSettingsRecord stored;
  stored.P1 = 40;
  StoreSettings(stored);
  const QString file = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", home_ + "/in");
  auto page = LoadPageOf(file, 1);
  auto leftOf = [&](int mm) { return MmToPixels(*page, TPoint{mm, mm}).X; };

  TProgramRun run = Run({"--steps", "borders", "-v", "--out", home_ + "/o1", file});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.contains(QString("\tborders\tkept=%1,").arg(leftOf(40)))) << run.Err.toStdString();

  run = Run({"--steps", "borders", "-v", "--set", "P1=10", "--out", home_ + "/o2", file});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.contains(QString("\tborders\tkept=%1,").arg(leftOf(10)))) << run.Err.toStdString();
}

TEST_F(PagemendTest, DamagedFileFailsAloneAndSourcesStayIntact) {
  const QString in = home_ + "/in";
  const QString good = Copy("testdata/tiff/gen-multipage-3p-g4.tif", in);
  const QString bad = in + "/broken.tif";
  {
    QByteArray head = Bytes(good).left(300);  // a TIFF cut off after its header
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(head);
  }
  const QString junk = in + "/junk.pdf";
  {
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a PDF file at all");
  }
  const QByteArray badBefore = Bytes(bad), junkBefore = Bytes(junk), goodBefore = Bytes(good);

  const TProgramRun run = Run({"--steps", "none", in, home_ + "/missing.tif"});  // in place
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Err.contains("pagemend: " + bad + ": ")) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.contains("pagemend: " + junk + ": ")) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.contains("missing.tif: no such file or folder")) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.contains("4 files, 3 pages, 3 failed")) << run.Out.toStdString();
  EXPECT_EQ(Bytes(bad), badBefore);
  EXPECT_EQ(Bytes(junk), junkBefore);
  EXPECT_EQ(Pages(good), 3);
  EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), 3);  // no temporary left behind
  (void)goodBefore;
}

TEST_F(PagemendTest, FailureWhileWritingLeavesTheSourceIntact) {
  // The second page uses a compression the reader refuses: the file fails
  // after its first page went to the temporary file.
  const QString in = home_ + "/in";
  QDir().mkpath(in);
  const QString damaged = in + "/two-pages.tif";
  QProcess tiffcp;
  tiffcp.start("tiffcp",
               {QString::fromStdString(SharedFile("testdata/tiff/gen-feyn-g4-200dpi.tif")),
                QString::fromStdString(SharedFile("testdata/tiff/gen-feyn-adobedeflate8-1bit.tif")), damaged});
  ASSERT_TRUE(tiffcp.waitForFinished(30000) && tiffcp.exitCode() == 0) << "tiffcp (libtiff-tools) is needed";
  const QByteArray before = Bytes(damaged);
  const TProgramRun run = Run({"--steps", "none", damaged});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Err.contains("pagemend: " + damaged + ": ")) << run.Err.toStdString();
  EXPECT_EQ(Bytes(damaged), before);
  EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden), QStringList{"two-pages.tif"});
}

TEST_F(PagemendTest, PagesWhoseFormatRefusesTheChosenCompressionKeepTheirOwn) {
  // Group 4 cannot hold the colour pages of this file: those keep their own
  // compression, the bilevel ones take Group 4, and the file is written whole.
  const QString in = home_ + "/in";
  const QString mixed = Copy("testdata/tiff/gen-multipage-4p-mixed.tif", in);
  std::vector<std::unique_ptr<TDibGraphic>> before;
  for (int p = 1; p <= 4; ++p) before.push_back(LoadPageOf(mixed, p));
  const TProgramRun run = Run({"--steps", "none", "--set", "F=30", mixed});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  ASSERT_EQ(Pages(mixed), 4);
  for (int p = 1; p <= 4; ++p) {
    const auto page = LoadPageOf(mixed, p);
    const auto* tiff = dynamic_cast<const TTiffGraphic*>(page.get());
    ASSERT_NE(tiff, nullptr);
    const auto* old = dynamic_cast<const TTiffGraphic*>(before[p - 1].get());
    EXPECT_EQ(tiff->Compression(), page->ImageFormat() == ifBlackWhite ? tcCCITT4 : old->Compression()) << p;
    EXPECT_TRUE(SamePixels(*page, *before[p - 1])) << p;
  }
  EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(PagemendTest, AFileThatCannotTakeItsPlaceFailsAloneAfterTheOthers) {
  // The last step of a file, putting the finished file in place, runs
  // beside the writing of the next files: its failure is still reported
  // and counted, and the other files are done.
  const QString in = home_ + "/in";
  const QString out = home_ + "/out";
  Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", in, "a.tif");
  Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", in, "b.tif");
  Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", in, "c.tif");
  // A folder with something in it stands where b's result should go.
  ASSERT_TRUE(QDir().mkpath(out + "/b.tif/kept"));
  for (const char* jobs : {"1", "2"}) {
    // Folders given relative to the working folder.
    const TProgramRun run = Run({"--steps", "deskew", "-j", jobs, "--out", "out", "in"}, home_);
    EXPECT_EQ(run.Exit, 1) << jobs;
    EXPECT_TRUE(run.Err.contains("pagemend: in/b.tif: ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("3 files, 2 pages, 1 failed")) << run.Out.toStdString();
    EXPECT_EQ(Pages(out + "/a.tif"), 1);
    EXPECT_EQ(Pages(out + "/c.tif"), 1);
    EXPECT_TRUE(QFileInfo(out + "/b.tif/kept").isDir());
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left behind
  }
}

TEST_F(PagemendTest, InterruptedRunLeavesEveryFileWhole) {
  const QString in = home_ + "/in";
  for (int i = 0; i < 12; ++i) Copy("testdata/tiff/gen-multipage-3p-g4.tif", in, QString("m%1.tif").arg(i));
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", home_ + "/config");
  process.setProcessEnvironment(env);
  process.start(Pagemend, {"--steps", "specks,borders", "-j", "2", in});
  ASSERT_TRUE(process.waitForStarted(10000));
  process.setReadChannel(QProcess::StandardError);
  process.waitForReadyRead(60000);  // the first file is done: the run is under way
  process.terminate();              // SIGTERM, as Ctrl+C would
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_TRUE(process.exitCode() == 130 || process.exitCode() == 0) << process.exitCode();
  const QStringList left = QDir(in).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(left.size(), 12) << left.join(' ').toStdString();  // no temporary files
  for (const QString& f : left) EXPECT_EQ(Pages(in + "/" + f), 3) << f.toStdString();
}

TEST_F(PagemendTest, ShardsSplitTheFilesWithoutOverlap) {
  const QString in = home_ + "/in";
  for (int i = 0; i < 5; ++i) Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", in, QString("p%1.tif").arg(i));
  QStringList all;
  for (int k = 1; k <= 2; ++k) {
    const QString out = home_ + QString("/s%1").arg(k);
    const TProgramRun run = Run({"--steps", "none", "-q", "--shard", QString("%1/2").arg(k), "--out", out, in});
    ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
    const QStringList got = FilesBelow(out);
    EXPECT_EQ(got.size(), k == 1 ? 3 : 2);
    for (const QString& f : got) EXPECT_FALSE(all.contains(f));
    all << got;
  }
  all.sort();
  EXPECT_EQ(all, FilesBelow(in));
}

TEST_F(PagemendTest, HandOffReadsTheListHonoursTheLockAndReports) {
  const QString open = home_ + "/scans/";
  const QString a = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", open + "day1");
  const QString b = Copy("testdata/tiff/gen-multipage-3p-g4.tif", open + "day2/late");
  const QString save = home_ + "/done/";  // missing: created, never a reason to overwrite the sources
  THandOffList list;
  list.Files = {a, b};
  list.SaveFolder = save;
  list.OpenFolder = open;
  list.OpenMode = 2;
  // The child shares this process's runtime folder.
  WriteHandOffList(list);
  QLocalServer desktop;
  ASSERT_TRUE(ListenForHandOffMessages(desktop));

  // While another batch holds the lock, nothing is done.
  {
    THandOffLock held;
    ASSERT_TRUE(held.TryLock());
    const TProgramRun busy = Run({"1, 2, 3"});
    EXPECT_EQ(busy.Exit, 1);
    EXPECT_TRUE(busy.Err.contains("already running")) << busy.Err.toStdString();
    EXPECT_FALSE(QFile::exists(save + "day1/gen-feyn-g4-200dpi.tif"));
  }

  const TProgramRun run = Run({"1, 2, 3"});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(Pages(save + "day1/gen-feyn-g4-200dpi.tif"), 1);
  EXPECT_EQ(Pages(save + "day2/late/gen-multipage-3p-g4.tif"), 3);
  EXPECT_EQ(Bytes(a), Bytes(QString::fromStdString(SharedFile("testdata/tiff/gen-feyn-g4-200dpi.tif"))));

  ASSERT_TRUE(desktop.waitForNewConnection(5000));
  QLocalSocket* socket = desktop.nextPendingConnection();
  QByteArray got = socket->readAll();
  while (socket->waitForReadyRead(1000)) got += socket->readAll();
  QString gotOpen, gotSave;
  ASSERT_TRUE(ParseHandOffMessage(got, gotOpen, gotSave)) << got.toStdString();
  EXPECT_EQ(gotOpen, open);
  EXPECT_EQ(gotSave, save);
}

TEST_F(PagemendTest, FineDeskewFromTheOptionOrTheStoreAndTheConfidenceLimit) {
  const QString file = Copy("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", home_ + "/in");
  auto expected = LoadPageOf(file, 1);
  TDibGraphic work, undo;
  TDeskewOptions fine;
  fine.Fine = true;
  const TDeskewResult result = DeskewPage(*expected, work, undo, false, false, nullptr, fine);

  const TProgramRun byOption = Run({"--steps", "deskew", "--fine-deskew", "-v", "--out", home_ + "/a", file});
  ASSERT_EQ(byOption.Exit, 0) << byOption.Err.toStdString();
  const QString written = home_ + "/a/" + QFileInfo(file).fileName();
  EXPECT_TRUE(SamePixels(*expected, *LoadPageOf(written, 1)));
  EXPECT_TRUE(byOption.Err.contains(QString::asprintf("\tdeskew\tangle=%.4f confidence=%.2f\n",
                                                      static_cast<double>(result.Angle), result.Confidence)))
      << byOption.Err.toStdString();
  // DF=1 in the store (or set) does the same.
  const TProgramRun bySetting = Run({"--steps", "deskew", "--set", "DF=1", "-q", "--out", home_ + "/b", file});
  ASSERT_EQ(bySetting.Exit, 0) << bySetting.Err.toStdString();
  EXPECT_EQ(WithoutDates(Bytes(written)), WithoutDates(Bytes(home_ + "/b/" + QFileInfo(file).fileName())));

  // Below the limit the page is written unrotated, and said so.
  const TProgramRun held = Run({"--steps", "deskew", "--min-confidence", "1000", "-v", "--out", home_ + "/c", file});
  ASSERT_EQ(held.Exit, 0) << held.Err.toStdString();
  EXPECT_TRUE(SamePixels(*LoadPageOf(file, 1), *LoadPageOf(home_ + "/c/" + QFileInfo(file).fileName(), 1)));
  EXPECT_TRUE(held.Err.contains(" unrotated\n")) << held.Err.toStdString();
}

namespace {

// A4 pages at 300 dpi: 'b' a scanned blank back (dust specks, a dark
// scanner edge in the margin band), 't' one short line of text.
std::unique_ptr<TDibGraphic> TestPage(char kind, unsigned seed) {
  auto page = std::make_unique<TTiffGraphic>();
  page->NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  std::memset(page->Bits(), 0xFF, page->ImageSize());
  auto black = [&](int l, int t, int r, int b) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) page->ScanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
  };
  if (kind == 'b') {
    for (unsigned i = 0; i < 500; ++i) {
      const int x = static_cast<int>((i * 7919u + seed * 104729u) % 2470u);
      const int y = static_cast<int>((i * 6007u + seed * 15485863u) % 3500u);
      black(x, y, x + 3, y + 3);
    }
    black(0, 0, 100, 3508);
  } else {
    for (int i = 0; i < 12; ++i) {
      const int x = 600 + i * 34;
      black(x, 1000, x + 24, 1003);
      black(x, 1031, x + 24, 1034);
      black(x, 1000, x + 3, 1034);
      black(x + 21, 1000, x + 24, 1034);
    }
  }
  return page;
}

void WriteTestFile(const QString& path, const std::string& kinds) {
  std::vector<std::unique_ptr<TDibGraphic>> pages;
  for (std::size_t i = 0; i < kinds.size(); ++i) pages.push_back(TestPage(kinds[i], static_cast<unsigned>(i + 1)));
  TOutputPage out;
  TSettingsRecord s;
  s.F = 30;  // Group 4
  WritePages(path.toStdString(), static_cast<int>(pages.size()), SaveOptionsOf(s), [&](int i) -> TOutputPage& {
    out.Borrowed = pages[static_cast<std::size_t>(i)].get();
    return out;
  });
}

}  // namespace

TEST_F(PagemendTest, DropBlankLeavesOutBlankPagesAndNeverDeletesASource) {
  const QString in = home_ + "/in";
  QDir().mkpath(in);
  WriteTestFile(in + "/mixed.tif", "btb");
  WriteTestFile(in + "/blank.tif", "bb");
  const QByteArray blankBefore = Bytes(in + "/blank.tif");

  const TProgramRun run = Run({"--steps", "none", "--drop-blank", "-v", "--out", home_ + "/out", in});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  ASSERT_EQ(Pages(home_ + "/out/mixed.tif"), 1);
  EXPECT_TRUE(SamePixels(*LoadPageOf(in + "/mixed.tif", 2), *LoadPageOf(home_ + "/out/mixed.tif", 1)));
  EXPECT_FALSE(QFileInfo::exists(home_ + "/out/blank.tif"));
  for (const char* dropped : {"mixed.tif\t1\tdropped\tdark=", "mixed.tif\t3\tdropped\tdark=", "blank.tif\t2\tdropped"})
    EXPECT_TRUE(run.Err.contains(dropped)) << dropped << "\n" << run.Err.toStdString();
  EXPECT_FALSE(run.Err.contains("mixed.tif\t2\tdropped"));
  EXPECT_TRUE(run.Err.contains("pagemend: " + in + "/blank.tif: every page is blank; nothing written\n"))
      << run.Err.toStdString();

  // In place: the blank file stays exactly as it was; the other loses its
  // blank pages. A limit of 0 keeps pages with any dark pixel inside the margins.
  const TProgramRun inPlace = Run({"--steps", "none", "--drop-blank", "-q", in});
  ASSERT_EQ(inPlace.Exit, 0) << inPlace.Err.toStdString();
  EXPECT_EQ(Bytes(in + "/blank.tif"), blankBefore);
  EXPECT_EQ(Pages(in + "/mixed.tif"), 1);
  WriteTestFile(in + "/mixed.tif", "btb");
  const TProgramRun strict = Run({"--steps", "none", "--drop-blank=0", "-q", in + "/mixed.tif"});
  ASSERT_EQ(strict.Exit, 0) << strict.Err.toStdString();
  EXPECT_EQ(Pages(in + "/mixed.tif"), 1);
  // Without the option every page stays.
  WriteTestFile(in + "/mixed.tif", "btb");
  ASSERT_EQ(Run({"--steps", "none", "-q", in + "/mixed.tif"}).Exit, 0);
  EXPECT_EQ(Pages(in + "/mixed.tif"), 3);
}
