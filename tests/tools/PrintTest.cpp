// Printing: the placement of a page on the device, and the print command
// printing into a PDF file through QPrinter, checked with poppler's tools.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>

#include "image/DibGraphic.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"
#include "tools/DibGraphicPrinter.h"
#include "tools/F_PrintRange.h"
#include "tools/PrintingCommands.h"

namespace {

TEST(PrintGeometry, EveryMode) {
  TPrinterDevice d{4800, 6800, 600, 600, 60, 50, 100, 100};
  struct Case {
    TPrintPlacement p;
    int w, h, dpi;
    TRect want;
  } cases[] = {
      // True size, shrunk by the 32-bit float s = 0.96774191.
      {{pmTrueSize}, 2480, 3508, 300, {0, 0, 4799, 6789}},
      {{pmTrueSize}, 1000, 1000, 200, {0, 0, 3000, 3000}},
      {{pmTrueSize, 5, 5, 1.0, 0.5}, 1000, 1000, 200, {550, 240, 3550, 3240}},
      {{pmFit}, 1000, 2000, 200, {0, 0, 3400, 6800}},
      {{pmFit, 5, 5, 1.0, 1.0}, 2000, 1000, 200, {0, 0, 4800, 2400}},
      {{pmWidth, 2.5}, 1000, 3000, 300, {0, 0, 1500, 4500}},
      {{pmHeight, 5, 2.5}, 3000, 1000, 300, {0, 0, 4500, 1500}},
      {{pmWidthHeight, 1.5, 2.25, 0.05, 0.05}, 10, 10, 300, {0, 0, 900, 1350}},
      {{pmStretch}, 10, 10, 300, {0, 0, 4799, 6799}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PrintRect(d, c.p, c.w, c.h, c.dpi, c.dpi), c.want) << int(c.p.Mode) << " " << c.w << "x" << c.h;
}

struct TPdfImage {
  int Width = 0, Height = 0, Bpc = 0, Ppi = 0;
};

QString RunTool(const QString& tool, const QStringList& args) {
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
  const auto m = QRegularExpression(R"(Pages:\s+(\d+))").match(RunTool("pdfinfo", {pdf}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// pdfimages -list: page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
std::vector<TPdfImage> PdfImages(const QString& pdf) {
  std::vector<TPdfImage> images;
  const QStringList lines = RunTool("pdfimages", {"-list", pdf}).split('\n');
  for (int i = 2; i < lines.size(); ++i) {
    const QStringList f = lines[i].split(' ', Qt::SkipEmptyParts);
    if (f.size() < 14) continue;
    images.push_back({f[3].toInt(), f[4].toInt(), f[7].toInt(), f[12].toInt()});
  }
  return images;
}

class PrintCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = QString::fromStdString(TestTempDir());
    pdf_ = dir_ + "/out.pdf";
    host_.ActiveImage = [this] { return &active_; };
    host_.ActiveFile = [this] { return activeFile_; };
    host_.Count = [this] { return static_cast<int>(entries_.size()); };
    host_.IsChecked = [this](int i) { return checked_[static_cast<std::size_t>(i)]; };
    host_.Entry = [this](int i) { return QString::fromStdString(entries_[static_cast<std::size_t>(i)]); };
    host_.Current = [this] { return current_; };
    host_.LoadEntry = [this](int i) { Load(i); };
    host_.UndoImage = [this]() -> TDibGraphic& { return undo_; };
    host_.AskPrinter = [this](QPrinter& p) {
      p.setOutputFormat(QPrinter::PdfFormat);
      p.setOutputFileName(pdf_);
      p.setPageSize(QPageSize(QPageSize::A4));
      p.setPageMargins(QMarginsF(0, 0, 0, 0));
      return askPrinter_;
    };
    host_.AskRange = [this] { return range_; };
    host_.Error = [this](const QString& e) { errors_ << e; };
  }
  void Load(int i) {
    current_ = i;
    activeFile_ = entries_[static_cast<std::size_t>(i)];
    active_.Assign(*LoadPage(activeFile_, 0).Page());
  }
  void SetEntries(const std::vector<std::string>& shared) {
    entries_.clear();
    for (const std::string& s : shared) entries_.push_back(SharedFile(s));
    checked_.assign(entries_.size(), false);
    Load(0);
  }
  int Print() {
    QPrinter printer(QPrinter::HighResolution);
    return RunPrintCommand(host_, printer);
  }

  QString dir_, pdf_;
  TPrintHost host_;
  TDibGraphic active_, undo_;
  std::string activeFile_;
  std::vector<std::string> entries_;
  std::vector<bool> checked_;
  int current_ = 0;
  bool askPrinter_ = true;
  int range_ = prCurrentFile;
  QStringList errors_;
};

const char* kA4 = "testdata/tiff/gen-unpaper-imgsrc001-g4-300dpi.tif";
const char* kThree = "testdata/tiff/gen-multipage-3p-g4.tif";
const char* kFour = "testdata/tiff/gen-multipage-4p-mixed.tif";

TEST_F(PrintCommandTest, FourPageFileIsOneJobOfFourSheetsAtTrueSize) {
  SetEntries({kFour});
  EXPECT_EQ(Print(), 4);
  EXPECT_EQ(PdfPages(pdf_), 4);
  const std::vector<TPdfImage> images = PdfImages(pdf_);
  ASSERT_EQ(images.size(), 4u);
  // Bilevel pages stay 1-bit. Pages 1 and 2 (8.4 inches wide at 300 dpi)
  // are shrunk to A4's width of 8.27 inches; page 3 fits at true size, and
  // so does page 4 at its own 150 dpi.
  EXPECT_EQ(images[0].Width, 2528);
  EXPECT_EQ(images[0].Bpc, 1);
  EXPECT_EQ(images[0].Ppi, 306);
  EXPECT_EQ(images[1].Ppi, 310);
  EXPECT_EQ(images[2].Bpc, 1);
  EXPECT_EQ(images[2].Ppi, 300);
  EXPECT_EQ(images[3].Bpc, 8);
  EXPECT_EQ(images[3].Ppi, 150);
  EXPECT_TRUE(undo_.Empty());
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(PrintCommandTest, CheckedFilesLeaveNoBlankSheetAndAllFilesRunOn) {
  SetEntries({kA4, kThree, kA4});
  checked_[0] = true;
  range_ = prCheckedFiles;
  EXPECT_EQ(Print(), 1);
  EXPECT_EQ(PdfPages(pdf_), 1);
  range_ = prAllFiles;
  EXPECT_EQ(Print(), 5);
  EXPECT_EQ(PdfPages(pdf_), 5);
  EXPECT_EQ(current_, 2);
}

TEST_F(PrintCommandTest, CurrentPageAndCancelling) {
  SetEntries({kA4});
  range_ = prCurrentPage;
  EXPECT_EQ(Print(), 1);
  const std::vector<TPdfImage> images = PdfImages(pdf_);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].Width, 2480);
  EXPECT_EQ(images[0].Bpc, 1);
  EXPECT_EQ(images[0].Ppi, 300);  // an A4 page at 300 dpi prints at true size
  QFile::remove(pdf_);
  range_ = -1;
  EXPECT_EQ(Print(), 0);
  range_ = prCurrentFile;
  askPrinter_ = false;
  EXPECT_EQ(Print(), 0);
  EXPECT_FALSE(QFile::exists(pdf_));
}

TEST(PrintRangeDialog, CaptionsAndDefault) {
  TFPrintRange dialog;
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("인쇄 범위 설정"));
  EXPECT_EQ(dialog.Range(), prCurrentFile);
  EXPECT_EQ(dialog.Choice(prCheckedFiles)->text(), QString::fromUtf8("선택(체크) 파일"));
  dialog.Choice(prAllFiles)->click();
  EXPECT_EQ(dialog.Range(), prAllFiles);
}

}  // namespace
