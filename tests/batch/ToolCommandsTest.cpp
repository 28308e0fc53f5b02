// pagemend's merge, split, convert and join run as processes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "batch/ProgramRun.h"
#include "image/GraphicRegistry.h"
#include "image/Stream.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"

namespace {

class ToolCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestQtApp();
    dir_ = QString::fromStdString(TestTempDir());
    QDir(dir_).mkpath("config");
    QDir(dir_).mkpath("in/a");
    QDir(dir_).mkpath("out");
  }

  TProgramRun Run(const QStringList& args) { return RunProgram(args, {{"XDG_CONFIG_HOME", dir_ + "/config"}}); }

  QString Copy(const std::string& shared, const QString& name) {
    const QString target = dir_ + "/" + name;
    EXPECT_TRUE(QFile::copy(QString::fromStdString(SharedFile(shared)), target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
  }

  QString dir_;
};

int Pages(const QString& path) {
  auto g = CreateGraphicForFile(path.toStdString());
  TFileStream s(path.toStdString(), TFileMode::fmOpenRead);
  return g->GetImageCount(s);
}

bool Checked(const QString& path) {
  const std::string command =
      (path.endsWith(".pdf") ? "qpdf --check '" : "tiffinfo '") + path.toStdString() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST_F(ToolCommandsTest, HelpAndBadUsage) {
  const TProgramRun help = Run({"--help"});
  for (const char* line :
       {"pagemend merge   [--type pdf|tif] [--out DIR] FILE|FOLDER...", "pagemend split   [--out DIR] FILE|FOLDER...",
        "pagemend convert [--out DIR] FILE|FOLDER...", "pagemend join    [--trim LEFT,RIGHT] --out DIR FILE|FOLDER..."})
    EXPECT_TRUE(help.Out.contains(QString::fromUtf8(line))) << line;
  for (const char* command : {"merge", "split", "convert", "join"}) {
    EXPECT_EQ(Run({command, "--help"}).Exit, 0) << command;
    EXPECT_EQ(Run({command}).Exit, 2) << command;
  }
  EXPECT_EQ(Run({"merge", "--type", "png", dir_}).Exit, 2);
  EXPECT_EQ(Run({"join", dir_ + "/in"}).Exit, 2);  // no --out
  EXPECT_EQ(Run({"split", "--out", dir_ + "/missing", dir_ + "/in"}).Exit, 2);
}

// A folder merged into one TIFF under --out and a PDF beside the files;
// a damaged file is named on stderr with status 1, and the output it
// belongs to is left as it was.
TEST_F(ToolCommandsTest, MergeSplitConvertAndJoinRealFiles) {
  Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a/1.tif");
  Copy("testdata/tiff/real-pair-g4-photometric0-miniswhite.tif", "in/a/2.tif");
  const QString tag = QString(dir_ + "/in/a").replace('/', '_');

  TProgramRun r = Run({"merge", "--type", "tif", "--out", dir_ + "/out", dir_ + "/in"});
  EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
  const QString merged = dir_ + "/out/" + tag + ".tif";
  EXPECT_EQ(Pages(merged), 2);
  EXPECT_TRUE(Checked(merged));
  r = Run({"merge", dir_ + "/in/a/1.tif", dir_ + "/in/a/2.tif"});
  EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
  EXPECT_EQ(Pages(dir_ + "/in/a/" + tag + ".pdf"), 2);
  EXPECT_TRUE(Checked(dir_ + "/in/a/" + tag + ".pdf"));
  QFile::remove(dir_ + "/in/a/" + tag + ".pdf");

  r = Run({"split", "--out", dir_ + "/out", merged});
  EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
  EXPECT_EQ(Pages(dir_ + "/out/" + tag + "_00002.tif"), 1);
  r = Run({"convert", merged});
  EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
  EXPECT_TRUE(Checked(dir_ + "/out/" + tag + ".pdf"));

  QDir(dir_).mkpath("out/a");
  r = Run({"join", "--trim", "10,20", "--out", dir_ + "/out", dir_ + "/in"});
  EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
  auto joined = CreateGraphicForFile("x.tif");
  joined->LoadFromFile((dir_ + "/out/a/2.tif").toStdString());
  EXPECT_EQ(joined->Width(), 1685 + 100 - 30);
  EXPECT_EQ(joined->Height(), 2200);

  QFile bad(dir_ + "/in/a/3.tif");
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("II*\0not a tiff", 14);
  bad.close();
  const QByteArray before = Bytes(merged);
  r = Run({"merge", "--type", "tif", "--out", dir_ + "/out", dir_ + "/in"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_TRUE(r.Err.contains(dir_ + "/in/a/3.tif: ")) << r.Err.toStdString();
  EXPECT_EQ(Bytes(merged), before);
}
