#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include "support/TestSupport.h"
#include "utils/Utils.h"

namespace {

// Each test gets its own store file, removed with the test folder.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = QString::fromStdString(TestTempDir());
    file_ = dir_ + "/Veltrax.ini";
    SetSettingsStoreFile(file_);
  }
  void TearDown() override { SetSettingsStoreFile(QString()); }
  QSettings Raw() { return QSettings(file_, QSettings::IniFormat); }

  QString dir_;
  QString file_;
};

void Touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("x");
}

}  // namespace

TEST_F(SettingsStoreTest, AbsentStoreGivesDefaults) {
  const TSettingsRecord r = LoadSettings();
  const TSettingsRecord d;
  for (const auto& f : SettingsIntFields()) EXPECT_EQ(r.*f.Field, d.*f.Field) << f.Name;
  EXPECT_EQ(SettingsIntFields().size(), 39u);
  EXPECT_EQ(r.W, 9);
  EXPECT_EQ(r.J, 216);
  EXPECT_EQ(r.GC, 0x808080);
  EXPECT_EQ(r.pH, 297);
  EXPECT_EQ(r.jQ, 80);
  EXPECT_FLOAT_EQ(r.R, 1.0f);

  std::vector<TRect> areas;
  LoadFixedAreas(areas);
  EXPECT_TRUE(areas.empty());
  EXPECT_EQ(LoadWindowPosition("FViewTrans"), QPoint(0, 0));
  EXPECT_FALSE(IsStoredPositionUsable(LoadWindowPosition("FViewTrans")));
  EXPECT_TRUE(LoadPageNumberSettings().isEmpty());

  LoadFolders();
  EXPECT_EQ(SaveFolder(), QDir::homePath() + "/");
  EXPECT_TRUE(OpenFolder().endsWith('/'));
  EXPECT_TRUE(QFileInfo(OpenFolder()).isDir());
}

TEST_F(SettingsStoreTest, RoundTripOfEveryValue) {
  TSettingsRecord r;
  int v = 1;
  for (const auto& f : SettingsIntFields()) r.*f.Field = 100 + v++;
  r.GC = static_cast<int>(0xFF00FFu);
  r.R = 1.25f;
  SaveSettings(r);
  const TSettingsRecord back = LoadSettings();
  for (const auto& f : SettingsIntFields()) EXPECT_EQ(back.*f.Field, r.*f.Field) << f.Name;
  EXPECT_FLOAT_EQ(back.R, 1.25f);

  // R is an 8-byte little-endian double; names are case-sensitive.
  QSettings raw = Raw();
  const QByteArray bytes = raw.value("R").toByteArray();
  ASSERT_EQ(bytes.size(), 8);
  double d = 0;
  std::memcpy(&d, bytes.constData(), 8);
  EXPECT_EQ(d, 1.25);
  EXPECT_TRUE(raw.contains("Wopt"));
  EXPECT_TRUE(raw.contains("aH"));
  EXPECT_FALSE(raw.contains("wopt"));
}

TEST_F(SettingsStoreTest, BadValuesKeepDefaultsAndMarginsAreRaised) {
  {
    QSettings raw = Raw();
    raw.setValue("P1", 0);
    raw.setValue("P3", -7);
    raw.setValue("W", "not a number");
    raw.setValue("R", QByteArray("\x01\x02\x03", 3));  // not 8 bytes
    raw.setValue("w", 55);                             // other case: not W
    raw.setValue("H", 14);
  }
  const TSettingsRecord r = LoadSettings();
  EXPECT_EQ(r.P1, 1);
  EXPECT_EQ(r.P2, 30);
  EXPECT_EQ(r.P3, 1);
  EXPECT_EQ(r.W, 9);
  EXPECT_EQ(r.H, 14);
  EXPECT_FLOAT_EQ(r.R, 1.0f);

  {
    QSettings raw = Raw();
    raw.setValue("R", 2.5);  // a number, but not the binary value
  }
  EXPECT_FLOAT_EQ(LoadSettings().R, 1.0f);
}

TEST_F(SettingsStoreTest, FixedAreasStopRuleAndDeleteThenWrite) {
  {
    QSettings raw = Raw();
    raw.setValue("Fixed0", "10,20,0,40");  // right below 1 ends the list at once
    raw.setValue("Fixed1", "1,2,3,4");
  }
  std::vector<TRect> areas;
  LoadFixedAreas(areas);
  EXPECT_TRUE(areas.empty());

  std::vector<TRect> five;
  for (int i = 0; i < 5; ++i) five.push_back(TRect{i, i + 1, 100 + i, 200 + i});
  SaveFixedAreas(five);
  areas.clear();
  LoadFixedAreas(areas);
  EXPECT_EQ(areas, five);

  SaveFixedAreas({TRect{5, 6, 70, 80}, TRect{1, 1, 2, 2}});
  QSettings raw = Raw();
  EXPECT_EQ(raw.value("Fixed0").toString(), "5,6,70,80");
  EXPECT_EQ(raw.value("Fixed1").toString(), "1,1,2,2");
  for (int i = 2; i < 6; ++i) EXPECT_FALSE(raw.contains(QString("Fixed%1").arg(i))) << i;

  // A gap ends the list; loading appends to what the list holds.
  raw.remove("Fixed1");
  raw.setValue("Fixed2", "1,1,9,9");
  raw.sync();
  areas.assign(1, TRect{0, 0, 1, 1});
  LoadFixedAreas(areas);
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas[1], (TRect{5, 6, 70, 80}));

  EXPECT_EQ(ParseFixedArea("3,x,7"), (TRect{3, 0, 7, 0}));
}

TEST_F(SettingsStoreTest, FoldersPositionsAndPageNumbers) {
  SetOpenFolder("/data/in/");
  SetSaveFolder("");
  SaveFolders();
  SetOpenFolder("x");
  SetSaveFolder("y");
  LoadFolders();
  EXPECT_EQ(OpenFolder(), "/data/in/");
  EXPECT_EQ(SaveFolder(), "");  // empty is a value, not an absence

  SaveWindowPosition("FViewTrans", 0, 300);
  const QPoint p = LoadWindowPosition("FViewTrans");
  EXPECT_EQ(p, QPoint(0, 300));
  EXPECT_FALSE(IsStoredPositionUsable(p));
  SaveWindowPosition("FViewZoom", 12, 34);
  EXPECT_TRUE(IsStoredPositionUsable(LoadWindowPosition("FViewZoom")));
  EXPECT_TRUE(Raw().contains("FViewZoom_L"));

  const QString ipn = "1,2,굴림,,x=y,17";
  SavePageNumberSettings(ipn);
  EXPECT_EQ(LoadPageNumberSettings(), ipn);
}

TEST_F(SettingsStoreTest, UnusableStoreIsSilent) {
  // The store's folder is a plain file: nothing can be opened or written.
  const QString blocker = dir_ + "/blocker";
  Touch(blocker);
  SetSettingsStoreFile(blocker + "/Veltrax.ini");
  TSettingsRecord r;
  r.W = 77;
  SaveSettings(r);
  SaveFixedAreas({TRect{1, 1, 5, 5}});
  EXPECT_EQ(LoadSettings().W, 9);
  std::vector<TRect> areas;
  LoadFixedAreas(areas);
  EXPECT_TRUE(areas.empty());
}

TEST(SettingsValue, SetByName) {
  TSettingsRecord r;
  EXPECT_TRUE(SetSettingsValue(r, "W", "12"));
  EXPECT_TRUE(SetSettingsValue(r, "D", "200"));
  EXPECT_TRUE(SetSettingsValue(r, "R", "1.5"));
  EXPECT_TRUE(SetSettingsValue(r, "GC", "0xFF0000"));
  EXPECT_EQ(r.W, 12);
  EXPECT_EQ(r.D, 200);
  EXPECT_FLOAT_EQ(r.R, 1.5f);
  EXPECT_EQ(r.GC, 0xFF0000);
  EXPECT_FALSE(SetSettingsValue(r, "w", "3"));
  EXPECT_FALSE(SetSettingsValue(r, "W", "3.5"));
  EXPECT_FALSE(SetSettingsValue(r, "Q", "1"));
  EXPECT_EQ(r.W, 12);
}

TEST(FileTypes, ExtensionsAndFolderWalk) {
  EXPECT_TRUE(IsTiffFile(std::string("/a/B.TIF")));
  EXPECT_TRUE(IsTiffFile(std::string("x.tiff")));
  EXPECT_TRUE(IsPdfFile(std::string("x.Pdf")));
  EXPECT_TRUE(IsJpegFile(std::string("x.JPEG")));
  EXPECT_TRUE(IsJpegFile(std::string("x.jpg")));
  EXPECT_FALSE(IsImageFile(std::string("x.tif.txt")));
  EXPECT_FALSE(IsImageFile(std::string("/a.tif/readme")));
  EXPECT_FALSE(IsImageFile(std::string("x.png")));

  const QString root = QString::fromStdString(TestTempDir());
  QDir(root).mkpath("sub/deeper");
  for (const char* n : {"a.tif", "b.PDF", "c.txt", "sub/.hidden.jpg", "sub/deeper/d.tiff", "sub/e.jpeg"})
    Touch(root + "/" + n);
  QFile::link(root, root + "/sub/loop");  // a link cycle must not trap the walk
  const QStringList all = FindImageFiles(root);
  EXPECT_EQ(all, (QStringList{root + "/a.tif", root + "/b.PDF", root + "/sub/.hidden.jpg", root + "/sub/deeper/d.tiff",
                              root + "/sub/e.jpeg"}));
  EXPECT_EQ(FindImageFiles(root, false).size(), 2);
}

TEST(OutputNames, PerOpenMode) {
  const QString save = QString::fromStdString(TestTempDir());
  const QString src = "/scans/box1/day2/p.tif";
  EXPECT_EQ(OutputFileName(src, save, "/scans/", 1), save + "/p.tif");
  EXPECT_EQ(OutputFileName(src, save + "/", "/scans/", 2), save + "/box1/day2/p.tif");
  EXPECT_EQ(OutputFileName(src, save, "/scans", 2), save + "/box1/day2/p.tif");
  EXPECT_EQ(OutputFileName(src, save, "/scans/", 0), src);
  EXPECT_EQ(OutputFileName(src, "", "/scans/", 1), src);
  EXPECT_EQ(OutputFileName(src, save + "/missing/", "/scans/", 2), src);
  // Outside the opened folder: never a path built from an unrelated prefix.
  EXPECT_EQ(OutputFileName("/elsewhere/q.tif", save, "/scans/", 2), save + "/q.tif");
}
