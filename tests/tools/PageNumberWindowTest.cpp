// The page-number window with real fonts: defaults, the stored value, the
// preview's stamp on a copy of the page, and the run over the list.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"
#include "tools/F_InsPageNum.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"
#include "view/QtTextRenderer.h"

namespace {

class PageNumberWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = QString::fromStdString(TestTempDir());
    SetSettingsStoreFile(dir_ + "/store.conf");
    ImagingHooks().TextRenderer = std::make_shared<TQtTextRenderer>();
    MakeWhitePage(page_, 2480, 3508, 300);
    host_.MainImage = [this] { return &page_; };
    host_.Entries = [this] { return entries_; };
    host_.CurrentEntry = [this] { return current_; };
    host_.SaveFolder = [this] { return folder_; };
    host_.Message = [this](const QString& text, bool) { messages_ << text; };
  }
  void TearDown() override {
    SetSettingsStoreFile(QString());
    ImagingHooks().TextRenderer.reset();
  }
  TFInsPageNum* Open() {
    auto* w = new TFInsPageNum(host_, nullptr);
    w->show();
    return w;
  }

  QString dir_, folder_;
  TDibGraphic page_;
  TPageNumberHost host_;
  QStringList entries_, messages_;
  int current_ = 0;
};

TEST_F(PageNumberWindowTest, PreviewStampsACopyCentredAboveNinetyPercent) {
  TFInsPageNum* w = Open();
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("페이지 번호 넣기"));
  EXPECT_EQ(w->FontList()->currentText(), QString::fromUtf8("굴림체"));
  EXPECT_EQ(w->FontList()->findText("@", Qt::MatchStartsWith), -1);
  EXPECT_EQ(TFInsPageNum::RenderFace("굴림체"), QFontDatabase::hasFamily("굴림체") ? "굴림체" : "NanumGothicCoding");
  w->PreviewButton()->click();
  const TRect ink = InkBounds(w->PreviewView()->Graphic());
  EXPECT_EQ(InkBounds(page_).Right, 0);  // the main window's page is unchanged
  // "- 1 -" in a fixed-pitch face: the ink is centred on x 1240 and lies
  // in the text's rectangle, whose bottom is y 3157.
  EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 1240, 40);
  EXPECT_LE(ink.Bottom, 3157);
  EXPECT_GT(ink.Bottom, 3157 - 140);
  EXPECT_EQ(w->PreviewView()->Graphic().BitCount(), 1);
  w->close();
}

TEST_F(PageNumberWindowTest, StoredOnCloseAndReadOnShowWithCommas) {
  TFInsPageNum* w = Open();
  TPageNumberSettings s = w->Settings();
  s.DisplayText = "Page {P}, total 9";
  s.XText = "10", s.Left = true, s.Centre = false;
  s.StartText = "5", s.StartImage = 1;
  w->SetSettings(s);
  w->close();
  EXPECT_EQ(LoadPageNumberSettings().toStdString(), PageNumberValue(s));
  TFInsPageNum* again = Open();
  EXPECT_EQ(again->Settings(), s);
  // A text without {P} gives the message and draws nothing.
  again->DisplayTextEdit()->setText("no place");
  again->PreviewButton()->click();
  EXPECT_EQ(messages_, QStringList{QString::fromUtf8(kNoNumberPlaceMessage)});
  EXPECT_EQ(InkBounds(again->PreviewView()->Graphic()).Right, 0);
  again->close();
}

TEST_F(PageNumberWindowTest, RunFromTheCurrentEntryWithProgress) {
  for (const char* name : {"a.tif", "b.tif", "c.tif"}) {
    const QString path = dir_ + "/" + name;
    QFile::copy(QString::fromStdString(SharedFile("testdata/tiff/gen-unpaper-imgsrc001-g4-300dpi.tif")), path);
    entries_ << path;
  }
  folder_ = dir_ + "/out";
  QDir().mkpath(folder_);
  current_ = 2;
  TFInsPageNum* w = Open();
  TPageNumberSettings s = w->Settings();
  s.StartImage = 1;
  w->SetSettings(s);
  w->RunButton()->click();
  EXPECT_FALSE(QFileInfo::exists(folder_ + "/a.tif"));
  EXPECT_FALSE(QFileInfo::exists(folder_ + "/b.tif"));
  ASSERT_TRUE(QFileInfo::exists(folder_ + "/c.tif"));
  EXPECT_FALSE(w->ProgressBar()->isVisible());
  EXPECT_EQ(w->ProgressBar()->value(), 1);
  const TRect before = InkBounds(*LoadPage(entries_[2].toStdString(), 0).Page());
  const TRect after = InkBounds(*LoadPage((folder_ + "/c.tif").toStdString(), 0).Page());
  EXPECT_GT(after.Bottom, before.Bottom);  // the stamp lies below the page's own ink
  // No save folder chosen: nothing is done.
  folder_.clear();
  current_ = 0;
  w->RunButton()->click();
  EXPECT_FALSE(QFileInfo::exists(dir_ + "/out/a.tif"));
  EXPECT_TRUE(messages_.isEmpty());
  w->close();
}

}  // namespace
