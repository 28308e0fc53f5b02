// "pagemend number" run as a process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "batch/ProgramRun.h"
#include "image/GraphicRegistry.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"

namespace {

class NumberCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestQtApp();
    home_ = QString::fromStdString(TestTempDir());
    QDir(home_).mkpath("config");
    QDir(home_).mkpath("in");
  }
  TProgramRun Run(const QStringList& args, const QString& program = Pagemend) {
    return RunProgram(QStringList{"number"} + args,
                      {{"XDG_CONFIG_HOME", home_ + "/config"}, {"QT_QPA_PLATFORM", "offscreen"}}, program);
  }
  QString Input(const char* name) {
    const QString path = home_ + "/in/" + name;
    QFile::remove(path);
    EXPECT_TRUE(
        QFile::copy(QString::fromStdString(SharedFile("testdata/tiff/gen-unpaper-imgsrc001-g4-300dpi.tif")), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
  }
  QString home_;
};

TEST_F(NumberCommandTest, BadUsageIsRefusedAndNothingWritten) {
  const QString in = Input("a.tif");
  const QString out = home_ + "/out";
  for (const QStringList& args :
       {QStringList{in}, QStringList{"--out", out}, QStringList{"--align", "middle", "--out", out, in},
        QStringList{"--start", "x", "--out", out, in}, QStringList{"--style", "Q", "--out", out, in},
        QStringList{"--text", "no place", "--out", out, in}})
    EXPECT_EQ(Run(args).Exit, 2) << args.join(' ').toStdString();
  EXPECT_FALSE(QFile::exists(out + "/a.tif"));
}

TEST_F(NumberCommandTest, StampsBelowTheCentreOfEveryPage) {
  const QString in = Input("a.tif");
  const QString out = home_ + "/out";
  const TProgramRun run = Run({"--text", "100% - {P}", "--start", "5", "--out", out, home_ + "/in"});
  if (run.Exit == 1 && run.Err.contains("draws no text")) GTEST_SKIP() << run.Err.toStdString();
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  auto before = CreateGraphicForFile(in.toStdString());
  before->LoadFromFile(in.toStdString());
  auto after = CreateGraphicForFile((out + "/a.tif").toStdString());
  after->LoadFromFile((out + "/a.tif").toStdString());
  ASSERT_EQ(after->Width(), before->Width());
  ASSERT_EQ(after->BitCount(), 1);
  // New ink only in the band above y = 3507 x 90 / 100 = 3156, around x 1240.
  int changed = 0, outside = 0;
  for (int y = 0; y < after->Height(); ++y)
    for (int x = 0; x < after->Width(); ++x)
      if (after->GetPixel(x, y) != before->GetPixel(x, y)) {
        ++changed;
        outside += y >= 3156 || y < 2900 || x < 700 || x > 1780;
      }
  EXPECT_GT(changed, 1000);
  EXPECT_EQ(outside, 0);
}

// pagemend hands the command to pagemend-number in its own folder; a copy of
// pagemend without it says so instead of failing silently or writing.
TEST_F(NumberCommandTest, WithoutItsDrawingProgramSaysSoAndWritesNothing) {
  const QString in = Input("a.tif");
  const QString out = home_ + "/out";
  const QString lone = home_ + "/lone/pagemend";
  QDir(home_).mkpath("lone");
  ASSERT_TRUE(QFile::copy(Pagemend, lone));
  const TProgramRun run = Run({"--out", out, in}, lone);
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Err.contains(QFileInfo(lone).canonicalPath() + "/pagemend-number")) << run.Err.toStdString();
  EXPECT_FALSE(QFile::exists(out));
}

}  // namespace
