// TFOptions ("환경 설정"): the modal dialog that edits the whole settings
// record in one place. Filled from the main window when it opens; "확 인"
// takes every value over, applies it to the main window and both views and
// saves the settings at once; "취 소" changes nothing.
#pragma once

#include <QColor>
#include <QDialog>
#include <QLineEdit>
#include <functional>

#include "pagework/SettingsRecord.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class TFViewTrans;

// A number field of the dialog. Digits, ".", Backspace and the control
// characters 9 and 12 are typed; any other character is dropped. With
// `strengthDigits` only the digits 1 to 8 are taken.
class TOptionField : public QLineEdit {
  Q_OBJECT
 public:
  TOptionField(int maxLength, bool strengthDigits, QWidget* parent = nullptr);
  static bool Accepts(QChar c, bool strengthDigits);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool strengthDigits_;
};

class TFOptions : public QDialog {
  Q_OBJECT
 public:
  explicit TFOptions(TFViewTrans& window);

  // "확 인": takes the values over in order and saves the settings.
  void ApplyAndSave();

  // The colour chooser of the swatches; tests replace it. Returns an
  // invalid colour when cancelled.
  std::function<QColor(const QColor& initial, QWidget* parent)> AskColor;

  // Controls, for the operator's keys and for tests.
  QComboBox* DeskewSize = nullptr;
  QComboBox* Direction = nullptr;
  TOptionField* SpeckWidth = nullptr;
  TOptionField* SpeckHeight = nullptr;
  TOptionField* Strength = nullptr;
  TOptionField* LineHorizontal = nullptr;
  TOptionField* LineVertical = nullptr;
  QComboBox* AlignHorizontal = nullptr;
  TOptionField* SideHorizontal = nullptr;
  QComboBox* AlignVertical = nullptr;
  TOptionField* SideVertical = nullptr;
  QCheckBox* ShowOutline = nullptr;
  QPushButton* OutlineColor = nullptr;
  TOptionField* Margins[4] = {};  // left, top, right, bottom
  TOptionField* Angle = nullptr;
  TOptionField* Shift = nullptr;
  TOptionField* Scale = nullptr;
  QComboBox* Compression = nullptr;
  TOptionField* JpegQuality = nullptr;
  QComboBox* Paper = nullptr;
  QCheckBox* PaperResize = nullptr;
  TOptionField* PaperWidth = nullptr;
  TOptionField* PaperHeight = nullptr;
  QLabel* PaperWidthCaption = nullptr;
  QLabel* PaperHeightCaption = nullptr;
  QCheckBox* Invert = nullptr;
  QCheckBox* Smooth = nullptr;
  QCheckBox* Crosshair = nullptr;
  QCheckBox* Grid = nullptr;
  TOptionField* GridColumns = nullptr;
  TOptionField* GridRows = nullptr;
  QPushButton* GridColor = nullptr;
  QCheckBox* ShowFixed = nullptr;
  QPushButton* FixedColor = nullptr;
  QSlider* WhiteLevel = nullptr;
  QLabel* WhiteLevelLabel = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // The swatch colour as stored (0x00BBGGRR).
  static int SwatchColor(const QPushButton* swatch);

 private:
  void Build();
  void Fill();
  void UpdatePaperFields();
  void UpdateSideField(QComboBox* list, TOptionField* field);
  void UpdateGridFields();
  void UpdateWhiteLevelLabel();
  void ChooseColor(QPushButton* swatch);

  TFViewTrans& window_;
};

// The command that opens the dialog ("환경 설정(H)", its button, H).
class TOptionsCommand : public QObject {
  Q_OBJECT
 public:
  explicit TOptionsCommand(TFViewTrans& window);
  // Creates the dialog, shows it modally and destroys it.
  void Show();

 private:
  TFViewTrans& window_;
};
