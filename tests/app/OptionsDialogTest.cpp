#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "DesktopFixture.h"
#include "app/DesktopModules.h"
#include "app/F_Options.h"
#include "app/NumberField.h"
#include "app/Saving.h"
#include "view/ImageScrollBox.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

struct OptionsFixture : DesktopFixture {
  void SetUp() override {
    DesktopFixture::SetUp();
    InstallOptionsDialog(*window);
    Activate();
  }
  // Presses H and lets `act` work on the dialog while it is shown modally;
  // a dialog the test left open is cancelled.
  void WithDialog(const std::function<void(TFOptions&)>& act) {
    Activate();  // the main window is active again after an earlier dialog
    bool seen = false;
    QTimer::singleShot(0, window.get(), [&] {
      auto* dialog = qobject_cast<TFOptions*>(QApplication::activeModalWidget());
      if (!dialog) return;
      seen = true;
      act(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    Press(Qt::Key_H);
    ASSERT_TRUE(seen) << "H opened no options dialog";
  }
  static void Retype(QLineEdit* field, const char* text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QString::fromUtf8(text));
  }
  static void Confirm(TFOptions& d) { QTest::mouseClick(d.OkButton, Qt::LeftButton); }
};

}  // namespace

TEST_F(OptionsFixture, PresetPapersFixTheSizeFieldsAndUserSizesFreeThem) {
  window->Settings().A = 20;
  WithDialog([](TFOptions& d) {
    EXPECT_EQ(d.windowTitle(), Utf8("환경 설정"));
    EXPECT_EQ(d.size(), QSize(580, 500));
    EXPECT_EQ(d.Paper->currentText(), Utf8("A5  148-210(mm)"));
    EXPECT_EQ(d.PaperWidth->text(), "148");
    EXPECT_EQ(d.PaperHeight->text(), "210");
    EXPECT_FALSE(d.PaperWidth->isEnabled());
    EXPECT_FALSE(d.PaperHeight->isEnabled());
    d.Paper->setCurrentIndex(5);  // user-defined in pixels
    EXPECT_TRUE(d.PaperWidth->isEnabled());
    EXPECT_EQ(d.PaperWidth->text(), "148") << "the user sizes keep their text";
    EXPECT_EQ(d.PaperWidthCaption->text(), Utf8("가로크기(pixel)"));
    EXPECT_EQ(d.PaperHeightCaption->text(), Utf8("세로크기(pixel)"));
    d.Paper->setCurrentIndex(1);
    EXPECT_EQ(d.PaperWidthCaption->text(), Utf8("가로크기(mm)"));
    Confirm(d);
  });
  const TSettingsRecord stored = LoadSettings();
  EXPECT_EQ(stored.A, 20);
  EXPECT_EQ(stored.pW, 148);
  EXPECT_EQ(stored.pH, 210);
  EXPECT_TRUE(window->Action(TCommand::PaperA5)->isChecked());
}

TEST_F(OptionsFixture, FieldsFilterKeysAndFallBackToTheirDefaults) {
  window->Settings().W = 15;
  window->Settings().R = 2.5f;
  window->ShowParameters();
  WithDialog([](TFOptions& d) {
    EXPECT_EQ(d.SpeckWidth->text(), "15");
    EXPECT_EQ(d.Angle->text(), "2.50");
    Retype(d.SpeckWidth, "");            // left empty
    Retype(d.SpeckHeight, "1x2y34567");  // letters dropped, four characters at most
    EXPECT_EQ(d.SpeckHeight->text(), "1234");
    Retype(d.Strength, "09a7");  // only 1 to 8, one character
    EXPECT_EQ(d.Strength->text(), "7");
    Retype(d.JpegQuality, "150");
    Retype(d.Angle, "1..2");  // not a decimal number
    Retype(d.Margins[0], "0");
    Confirm(d);
  });
  const TSettingsRecord stored = LoadSettings();
  EXPECT_EQ(stored.W, 9);
  EXPECT_EQ(stored.H, 1234);
  EXPECT_EQ(stored.Bo, 7);
  EXPECT_EQ(stored.jQ, 100);
  EXPECT_FLOAT_EQ(stored.R, 2.5f) << "the previous angle is kept";
  EXPECT_EQ(stored.P1, 1) << "margins are at least 1";
  EXPECT_EQ(window->Field(1)->text(), "9") << "the main window's fields show the values";
  EXPECT_EQ(window->Field(2)->text(), "1234");
  EXPECT_EQ(window->Field(7)->text(), "2.50");
}

TEST_F(OptionsFixture, ChoosingLzwChangesTheSaveHintWithoutSaving) {
  auto* saving = new TSaving(*window, *work);  // choosing from the save menu itself would save
  QDir().mkpath(Path("out"));
  saving->AskSaveFolder = [this] { return Path("out/"); };
  work->OpenFiles({Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif")});
  ASSERT_EQ(SaveFolder(), Path("out/"));
  messages.clear();
  WithDialog([](TFOptions& d) {
    d.Compression->setCurrentIndex(6);
    EXPECT_EQ(d.Compression->currentText(), "LZW");
    Confirm(d);
  });
  EXPECT_TRUE(window->ToolButton(TCommand::Save)->toolTip().endsWith("LZW"))
      << window->ToolButton(TCommand::Save)->toolTip().toStdString();
  EXPECT_TRUE(window->Action(TCommand::SaveLzw)->isChecked());
  EXPECT_EQ(LoadSettings().F, 70);
  EXPECT_FALSE(QFileInfo::exists(Path("out/a.tif"))) << "nothing was saved";
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OptionsFixture, TheGridBoxEnablesItsFieldsAndTheDisplayOptionsReachBothViews) {
  WithDialog([](TFOptions& d) {
    ASSERT_FALSE(d.Grid->isChecked());
    EXPECT_FALSE(d.GridColumns->isEnabled());
    QTest::mouseClick(d.Grid, Qt::LeftButton, {}, QPoint(4, d.Grid->height() / 2));
    EXPECT_TRUE(d.GridColumns->isEnabled());
    EXPECT_TRUE(d.GridRows->isEnabled());
    Retype(d.GridColumns, "6");
    d.AskColor = [](const QColor&, QWidget*) { return QColor(255, 0, 0); };
    QTest::mouseClick(d.GridColor, Qt::LeftButton);
    d.Invert->setChecked(true);
    Confirm(d);
  });
  for (TImageScrollBox* view : {window->SourceView(), window->ResultView()}) {
    EXPECT_TRUE(view->ShowGrid());
    EXPECT_EQ(view->GridColumns(), 6);
    EXPECT_TRUE(view->Invert());
  }
  EXPECT_TRUE(window->Action(TCommand::ToggleGrid)->isChecked());
  EXPECT_EQ(LoadSettings().GC, 0x0000FF) << "red, stored as 0x00BBGGRR";

  WithDialog([](TFOptions& d) {
    QTest::mouseClick(d.Grid, Qt::LeftButton, {}, QPoint(4, d.Grid->height() / 2));
    EXPECT_FALSE(d.GridColumns->isEnabled());
    EXPECT_FALSE(d.GridRows->isEnabled());
  });
}

TEST_F(OptionsFixture, CancelChangesNothing) {
  const TSettingsRecord before = window->Settings();
  SaveSettings(before);
  WithDialog([](TFOptions& d) {
    Retype(d.SpeckWidth, "77");
    d.Compression->setCurrentIndex(6);
    d.Invert->setChecked(true);
    d.WhiteLevel->setValue(100);
    QTest::mouseClick(d.CancelButton, Qt::LeftButton);
  });
  EXPECT_EQ(window->Settings().W, before.W);
  EXPECT_EQ(window->Settings().F, before.F);
  EXPECT_EQ(window->Settings().J, before.J);
  EXPECT_FALSE(window->SourceView()->Invert());
  EXPECT_EQ(LoadSettings().W, before.W);
}

TEST_F(OptionsFixture, TheWhiteLevelLabelShowsItsGreyWithReadableText) {
  WithDialog([](TFOptions& d) {
    for (int level : {149, 150}) {
      d.WhiteLevel->setValue(level);
      const QPalette p = d.WhiteLevelLabel->palette();
      EXPECT_EQ(d.WhiteLevelLabel->text(), QString::number(level));
      EXPECT_EQ(p.color(QPalette::Window), QColor(level, level, level));
      EXPECT_EQ(p.color(QPalette::WindowText), level >= 150 ? QColor(Qt::blue) : QColor(Qt::yellow));
    }
    // The offset beside an alignment list only for the rules from one side.
    d.AlignHorizontal->setCurrentIndex(1);
    EXPECT_TRUE(d.SideHorizontal->isEnabled());
    Retype(d.SideHorizontal, "12");
    d.AlignHorizontal->setCurrentIndex(3);
    EXPECT_FALSE(d.SideHorizontal->isEnabled());
    EXPECT_TRUE(d.SideHorizontal->text().isEmpty());
  });
}
