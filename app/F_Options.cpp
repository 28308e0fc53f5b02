#include "app/F_Options.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/CorrectionCommands.h"
#include "app/DesktopModules.h"
#include "app/F_ViewTrans.h"
#include "utils/Utils.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// Every caption of the dialog, in one place.
constexpr const char* kCaption = "환경 설정";
constexpr const char* kDeskewSizes[] = {"크기 고정", "크기 증가"};
constexpr const char* kDirections[] = {"가로 쓰기", "세로 쓰기"};
constexpr const char* kAlignHorizontal[] = {"가운데정렬", "왼쪽기준", "오른쪽기준", "정렬안함"};
constexpr const char* kAlignVertical[] = {"가운데정렬", "위쪽기준", "아래쪽기준", "정렬안함"};
constexpr const char* kCompressions[] = {"원본과 같게", "Group3", "Group4", "Deflate", "JPEG", "Packbits", "LZW"};
constexpr const char* kPapers[] = {"A4  210-297(mm)", "A5  148-210(mm)", "B4  257-364(mm)",
                                   "B5  182-257(mm)", "사용자 정의(mm)", "사용자 정의(pixel)"};
constexpr const char* kMarginCaptions[] = {"좌(mm)", "상(mm)", "우(mm)", "하(mm)"};
constexpr int kMarginDefaults[] = {30, 30, 20, 20};

// A whole number, or the default when the text is not one.
int IntOr(const QLineEdit* field, int fallback) {
  bool ok = false;
  const int v = field->text().trimmed().toInt(&ok);
  return ok ? v : fallback;
}

// Stored colours are 0x00BBGGRR.
QColor FromStored(int c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
int ToStored(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

void PaintSwatch(QPushButton* swatch, int stored) {
  swatch->setProperty("storedColor", stored);
  swatch->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }")
                            .arg(FromStored(stored).name()));
}

template <std::size_t N>
QComboBox* List(QWidget* parent, const char* const (&items)[N]) {
  auto* box = new QComboBox(parent);
  for (const char* item : items) box->addItem(Utf8(item));
  return box;
}

// The checked menu item of a radio group follows the stored code.
void CheckMenuItem(TFViewTrans& window, int group, int tag) {
  for (const TMenuItemSpec& item : MenuItems())
    if (item.RadioGroup == group && item.Tag == tag)
      if (QAction* a = window.Action(item.Command)) a->setChecked(true);
}

TCommand MenuCommand(int group, int tag) {
  for (const TMenuItemSpec& item : MenuItems())
    if (item.RadioGroup == group && item.Tag == tag) return item.Command;
  return TCommand::None;
}

}  // namespace

// --- number fields -------------------------------------------------------------

TOptionField::TOptionField(int maxLength, bool strengthDigits, QWidget* parent)
    : QLineEdit(parent), strengthDigits_(strengthDigits) {
  if (maxLength > 0) setMaxLength(maxLength);
}

bool TOptionField::Accepts(QChar c, bool strengthDigits) {
  const char16_t u = c.unicode();
  if (u == u'.' || u == 8 || u == 9 || u == 12) return true;
  return strengthDigits ? (u >= u'1' && u <= u'8') : (u >= u'0' && u <= u'9');
}

void TOptionField::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  // Keys without a character (arrows, Home, Delete, ...) edit as usual.
  if (text.isEmpty() || event->key() == Qt::Key_Backspace) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  for (QChar c : text)
    if (!Accepts(c, strengthDigits_)) {
      event->accept();  // dropped
      return;
    }
  QLineEdit::keyPressEvent(event);
}

// --- the dialog ------------------------------------------------------------------

TFOptions::TFOptions(TFViewTrans& window) : QDialog(&window), window_(window) {
  setObjectName("TFOptions");
  setWindowTitle(Utf8(kCaption));
  AskColor = [](const QColor& initial, QWidget* parent) { return QColorDialog::getColor(initial, parent); };
  Build();
  Fill();
  setFixedSize(580, 500);
}

int TFOptions::SwatchColor(const QPushButton* swatch) { return swatch->property("storedColor").toInt(); }

void TFOptions::Build() {
  auto group = [this](const char* title) {
    auto* box = new QGroupBox(Utf8(title), this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    return std::pair{box, grid};
  };
  auto label = [](const char* text, QWidget* parent) { return new QLabel(Utf8(text), parent); };
  auto field = [](QWidget* parent, int maxLength, bool strength = false) {
    auto* f = new TOptionField(maxLength, strength, parent);
    f->setFixedWidth(42);
    f->setAlignment(Qt::AlignRight);
    return f;
  };
  auto swatch = [this](QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setFixedSize(30, 18);
    connect(b, &QPushButton::clicked, this, [this, b] { ChooseColor(b); });
    return b;
  };

  // Column 1.
  auto [deskewBox, deskew] = group("[ 기울기 보정 ]");
  DeskewSize = List(deskewBox, kDeskewSizes);
  Direction = List(deskewBox, kDirections);
  deskew->addWidget(label("회전후 문서크기", deskewBox), 0, 0);
  deskew->addWidget(DeskewSize, 1, 0);
  deskew->addWidget(label("문서 형태", deskewBox), 2, 0);
  deskew->addWidget(Direction, 3, 0);

  auto [speckBox, speck] = group("[ 잡티제거 ]");
  SpeckWidth = field(speckBox, 4);
  SpeckHeight = field(speckBox, 4);
  speck->addWidget(label("가로크기(pixel)", speckBox), 0, 0);
  speck->addWidget(SpeckWidth, 0, 1);
  speck->addWidget(label("세로크기(pixel)", speckBox), 1, 0);
  speck->addWidget(SpeckHeight, 1, 1);

  auto [darkBox, dark] = group("[ 진하게 하기 ]");
  Strength = field(darkBox, 1, true);
  dark->addWidget(label("진하기 정도(1~8)", darkBox), 0, 0);
  dark->addWidget(Strength, 0, 1);

  auto [moveBox, move] = group("[ 이미지 회전/이동/크기 ]");
  Angle = field(moveBox, 5);
  Shift = field(moveBox, 0);
  Scale = field(moveBox, 0);
  move->addWidget(label("회전각도", moveBox), 0, 0);
  move->addWidget(Angle, 0, 1);
  move->addWidget(label("이동(mm)", moveBox), 1, 0);
  move->addWidget(Shift, 1, 1);
  move->addWidget(label("확대/축소(%)", moveBox), 2, 0);
  move->addWidget(Scale, 2, 1);

  auto [saveBox, save] = group("[ 저장 압축 방식 ]");
  Compression = List(saveBox, kCompressions);
  JpegQuality = field(saveBox, 0);
  save->addWidget(label("TIF 압축", saveBox), 0, 0);
  save->addWidget(Compression, 1, 0, 1, 2);
  save->addWidget(label("JPG압축(1-100)", saveBox), 2, 0);
  save->addWidget(JpegQuality, 2, 1, Qt::AlignRight);

  // Column 2.
  auto [alignBox, align] = group("[ 가운데 정렬 ]");
  LineHorizontal = field(alignBox, 0);
  LineVertical = field(alignBox, 0);
  AlignHorizontal = List(alignBox, kAlignHorizontal);
  AlignVertical = List(alignBox, kAlignVertical);
  SideHorizontal = field(alignBox, 0);
  SideVertical = field(alignBox, 0);
  align->addWidget(label("가로선 검정색(px)", alignBox), 0, 0, 1, 2);
  align->addWidget(LineHorizontal, 0, 2);
  align->addWidget(label("세로선 검정색(px)", alignBox), 1, 0, 1, 2);
  align->addWidget(LineVertical, 1, 2);
  align->addWidget(label("정렬", alignBox), 2, 0);
  align->addWidget(AlignHorizontal, 2, 1, 1, 2);
  align->addWidget(SideHorizontal, 3, 1);
  align->addWidget(label("pixel", alignBox), 3, 2);
  align->addWidget(label("기준", alignBox), 4, 0);
  align->addWidget(AlignVertical, 4, 1, 1, 2);
  align->addWidget(SideVertical, 5, 1);
  align->addWidget(label("pixel", alignBox), 5, 2);

  auto [marginBox, margin] = group("[ 여백(테두리) ]");
  ShowOutline = new QCheckBox(Utf8("테두리선 보기"), marginBox);
  OutlineColor = swatch(marginBox);
  margin->addWidget(ShowOutline, 0, 0, 1, 4);
  margin->addWidget(label("선색", marginBox), 1, 2);
  margin->addWidget(OutlineColor, 1, 3);
  for (int i = 0; i < 4; ++i) {
    Margins[i] = field(marginBox, 3);
    Margins[i]->setFixedWidth(34);
    margin->addWidget(label(kMarginCaptions[i], marginBox), 2 + i / 2, (i % 2) * 2);
    margin->addWidget(Margins[i], 2 + i / 2, (i % 2) * 2 + 1);
  }

  auto [paperBox, paper] = group("[ 문서(용지) 크기 ]");
  Paper = List(paperBox, kPapers);
  PaperResize = new QCheckBox(Utf8("이미지크기 변경"), paperBox);
  PaperWidth = field(paperBox, 5);
  PaperHeight = field(paperBox, 0);
  PaperWidthCaption = new QLabel(paperBox);
  PaperHeightCaption = new QLabel(paperBox);
  paper->addWidget(label("용지종류", paperBox), 0, 0, 1, 2);
  paper->addWidget(Paper, 1, 0, 1, 2);
  paper->addWidget(PaperResize, 2, 0, 1, 2);
  paper->addWidget(PaperWidthCaption, 3, 0);
  paper->addWidget(PaperWidth, 3, 1);
  paper->addWidget(PaperHeightCaption, 4, 0);
  paper->addWidget(PaperHeight, 4, 1);

  // Column 3.
  auto [otherBox, other] = group("[ 기타 옵션 ]");
  Invert = new QCheckBox(Utf8("반전된 이미지로 보기"), otherBox);
  Smooth = new QCheckBox(Utf8("부드럽게 보기(AntiAlised)"), otherBox);
  Crosshair = new QCheckBox(Utf8("십자선 보기"), otherBox);
  Grid = new QCheckBox(Utf8("격자 보기(Grid)"), otherBox);
  GridColumns = field(otherBox, 2);
  GridRows = field(otherBox, 2);
  GridColumns->setFixedWidth(30);
  GridRows->setFixedWidth(30);
  GridColor = swatch(otherBox);
  ShowFixed = new QCheckBox(Utf8("설정된 고정영역 보이기"), otherBox);
  FixedColor = swatch(otherBox);
  other->addWidget(Invert, 0, 0, 1, 4);
  other->addWidget(Smooth, 1, 0, 1, 4);
  other->addWidget(Crosshair, 2, 0, 1, 4);
  other->addWidget(Grid, 3, 0, 1, 4);
  other->addWidget(label("세로선수", otherBox), 4, 0);
  other->addWidget(GridColumns, 4, 1);
  other->addWidget(label("가로선수", otherBox), 4, 2);
  other->addWidget(GridRows, 4, 3);
  other->addWidget(label("선색", otherBox), 5, 2);
  other->addWidget(GridColor, 5, 3);
  other->addWidget(ShowFixed, 6, 0, 1, 4);
  other->addWidget(label("선색", otherBox), 7, 2);
  other->addWidget(FixedColor, 7, 3);

  auto [whiteBox, white] = group("[ 회색(칼러) 흰색처리 ]");
  WhiteLevel = new QSlider(Qt::Horizontal, whiteBox);
  WhiteLevel->setRange(0, 255);
  WhiteLevel->setPageStep(10);
  WhiteLevelLabel = new QLabel(whiteBox);
  WhiteLevelLabel->setAutoFillBackground(true);
  WhiteLevelLabel->setAlignment(Qt::AlignCenter);
  WhiteLevelLabel->setFixedWidth(36);
  white->addWidget(WhiteLevel, 0, 0);
  white->addWidget(WhiteLevelLabel, 0, 1);

  OkButton = new QPushButton(Utf8("확 인"), this);
  CancelButton = new QPushButton(Utf8("취 소"), this);
  OkButton->setDefault(true);

  // Three columns of fixed widths that fill the dialog.
  auto column = [this](int width, std::initializer_list<QWidget*> boxes) {
    auto* holder = new QWidget(this);
    holder->setFixedWidth(width);
    auto* c = new QVBoxLayout(holder);
    c->setContentsMargins(0, 0, 0, 0);
    c->setSpacing(4);
    for (QWidget* b : boxes) c->addWidget(b);
    c->addStretch(1);
    return holder;
  };
  auto* columns = new QHBoxLayout;
  columns->setSpacing(6);
  columns->addWidget(column(166, {deskewBox, speckBox, darkBox, moveBox, whiteBox}));
  columns->addWidget(column(190, {alignBox, saveBox, marginBox}));
  columns->addWidget(column(194, {paperBox, otherBox}));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(8, 8, 8, 8);
  top->addLayout(columns, 1);
  top->addLayout(buttons);

  // Object names for anyone looking the controls up.
  const std::pair<QWidget*, const char*> names[] = {{DeskewSize, "DeskewSize"},
                                                    {Direction, "Direction"},
                                                    {SpeckWidth, "SpeckWidth"},
                                                    {SpeckHeight, "SpeckHeight"},
                                                    {Strength, "Strength"},
                                                    {LineHorizontal, "LineHorizontal"},
                                                    {LineVertical, "LineVertical"},
                                                    {AlignHorizontal, "AlignHorizontal"},
                                                    {SideHorizontal, "SideHorizontal"},
                                                    {AlignVertical, "AlignVertical"},
                                                    {SideVertical, "SideVertical"},
                                                    {ShowOutline, "ShowOutline"},
                                                    {OutlineColor, "OutlineColor"},
                                                    {Angle, "Angle"},
                                                    {Shift, "Shift"},
                                                    {Scale, "Scale"},
                                                    {Compression, "Compression"},
                                                    {JpegQuality, "JpegQuality"},
                                                    {Paper, "Paper"},
                                                    {PaperResize, "PaperResize"},
                                                    {PaperWidth, "PaperWidth"},
                                                    {PaperHeight, "PaperHeight"},
                                                    {Invert, "Invert"},
                                                    {Smooth, "Smooth"},
                                                    {Crosshair, "Crosshair"},
                                                    {Grid, "Grid"},
                                                    {GridColumns, "GridColumns"},
                                                    {GridRows, "GridRows"},
                                                    {GridColor, "GridColor"},
                                                    {ShowFixed, "ShowFixed"},
                                                    {FixedColor, "FixedColor"},
                                                    {WhiteLevel, "WhiteLevel"},
                                                    {WhiteLevelLabel, "WhiteLevelLabel"},
                                                    {OkButton, "OkButton"},
                                                    {CancelButton, "CancelButton"}};
  for (auto [w, name] : names) w->setObjectName(name);

  connect(Paper, &QComboBox::currentIndexChanged, this, [this] { UpdatePaperFields(); });
  connect(AlignHorizontal, &QComboBox::currentIndexChanged, this,
          [this] { UpdateSideField(AlignHorizontal, SideHorizontal); });
  connect(AlignVertical, &QComboBox::currentIndexChanged, this,
          [this] { UpdateSideField(AlignVertical, SideVertical); });
  connect(Grid, &QCheckBox::toggled, this, [this] { UpdateGridFields(); });
  connect(WhiteLevel, &QSlider::valueChanged, this, [this] { UpdateWhiteLevelLabel(); });
  connect(OkButton, &QPushButton::clicked, this, [this] {
    ApplyAndSave();
    accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

// Every control from the main window's current values.
void TFOptions::Fill() {
  window_.ReadParameters();
  const TSettingsRecord& s = window_.Settings();
  auto show = [](QLineEdit* f, int v) { f->setText(QString::number(v)); };
  DeskewSize->setCurrentIndex(std::clamp(s.K / 10 - 1, 0, 1));
  Direction->setCurrentIndex(std::clamp(s.D / 100 - 1, 0, 1));
  show(SpeckWidth, s.W);
  show(SpeckHeight, s.H);
  show(Strength, s.Bo);
  show(LineHorizontal, s.aH);
  show(LineVertical, s.aV);
  AlignHorizontal->setCurrentIndex(std::clamp(s.Wopt, 0, 3));
  AlignVertical->setCurrentIndex(std::clamp(s.Hopt, 0, 3));
  SideHorizontal->setText(s.Wside > 0 ? QString::number(s.Wside) : QString());
  SideVertical->setText(s.Hside > 0 ? QString::number(s.Hside) : QString());
  ShowOutline->setChecked(s.oS == 1);
  PaintSwatch(OutlineColor, s.oC);
  const int margins[4] = {s.P1, s.P2, s.P3, s.P4};
  for (int i = 0; i < 4; ++i) show(Margins[i], margins[i]);
  Angle->setText(QString::number(static_cast<double>(s.R), 'f', 2));
  show(Shift, s.M);
  show(Scale, s.B);
  Compression->setCurrentIndex(std::clamp(s.F / 10 - 1, 0, 6));
  show(JpegQuality, s.jQ);
  show(PaperWidth, s.pW);
  show(PaperHeight, s.pH);
  PaperResize->setChecked(s.pS == 1);
  {
    // The paper fields are set below whether or not the index changes.
    const QSignalBlocker block(Paper);
    Paper->setCurrentIndex(std::clamp(s.A / 10 - 1, 0, 5));
  }
  // The display toggles as the view menu shows them.
  auto menuChecked = [this](TCommand toggle, int stored) {
    const QAction* a = window_.Action(toggle);
    return a ? a->isChecked() : stored == 1;
  };
  Invert->setChecked(menuChecked(TCommand::ToggleInvert, s.I));
  Smooth->setChecked(menuChecked(TCommand::ToggleSmooth, s.AL));
  Crosshair->setChecked(menuChecked(TCommand::ToggleCrosshair, s.CL));
  Grid->setChecked(menuChecked(TCommand::ToggleGrid, s.GS));
  ShowFixed->setChecked(menuChecked(TCommand::ToggleFixed, s.fA));
  show(GridColumns, s.GW);
  show(GridRows, s.GH);
  PaintSwatch(GridColor, s.GC);
  PaintSwatch(FixedColor, s.fC);
  WhiteLevel->setValue(std::clamp(s.J, 0, 255));
  // Enabled states.
  UpdateGridFields();
  UpdatePaperFields();
  UpdateSideField(AlignHorizontal, SideHorizontal);
  UpdateSideField(AlignVertical, SideVertical);
  UpdateWhiteLevelLabel();
}

// The presets fix the paper size; the two user-defined items take the
// operator's own, in millimetres or in pixels.
void TFOptions::UpdatePaperFields() {
  const int index = Paper->currentIndex();
  int width = 0, height = 0;
  const bool preset = PaperPresetSize((index + 1) * 10, width, height);
  if (preset) {
    PaperWidth->setText(QString::number(width));
    PaperHeight->setText(QString::number(height));
  }
  PaperWidth->setEnabled(!preset);
  PaperHeight->setEnabled(!preset);
  const QString unit = QString::fromLatin1(index == 5 ? "pixel" : "mm");
  PaperWidthCaption->setText(Utf8("가로크기(%1)").arg(unit));
  PaperHeightCaption->setText(Utf8("세로크기(%1)").arg(unit));
}

// The offset beside an alignment list counts only for the rules that start
// from one side.
void TFOptions::UpdateSideField(QComboBox* list, TOptionField* field) {
  const bool fromSide = list->currentIndex() == 1 || list->currentIndex() == 2;
  field->setEnabled(fromSide);
  if (!fromSide) field->clear();
}

void TFOptions::UpdateGridFields() {
  GridColumns->setEnabled(Grid->isChecked());
  GridRows->setEnabled(Grid->isChecked());
}

// The grey of the level as background; blue text on the light greys, yellow
// on the dark ones.
void TFOptions::UpdateWhiteLevelLabel() {
  const int v = WhiteLevel->value();
  WhiteLevelLabel->setText(QString::number(v));
  QPalette p = WhiteLevelLabel->palette();
  p.setColor(QPalette::Window, QColor(v, v, v));
  p.setColor(QPalette::WindowText, v >= 150 ? QColor(0, 0, 255) : QColor(255, 255, 0));
  WhiteLevelLabel->setPalette(p);
}

void TFOptions::ChooseColor(QPushButton* swatch) {
  if (!AskColor) return;
  const QColor chosen = AskColor(FromStored(SwatchColor(swatch)), this);
  if (chosen.isValid()) PaintSwatch(swatch, ToStored(chosen));
}

void TFOptions::ApplyAndSave() {
  TSettingsRecord& s = window_.Settings();
  // 1. The fields, each with its default when it holds no whole number.
  s.W = IntOr(SpeckWidth, 9);
  s.H = IntOr(SpeckHeight, 9);
  // An angle that is not a decimal number keeps the previous angle.
  bool angleOk = false;
  const double angle = Angle->text().trimmed().toDouble(&angleOk);
  if (angleOk) s.R = static_cast<float>(angle);
  s.M = IntOr(Shift, 20);
  int* const margins[4] = {&s.P1, &s.P2, &s.P3, &s.P4};
  for (int i = 0; i < 4; ++i) *margins[i] = IntOr(Margins[i], kMarginDefaults[i]);
  s.ClampMargins();
  s.B = IntOr(Scale, 2);
  s.aH = IntOr(LineHorizontal, 10);
  s.aV = IntOr(LineVertical, 10);
  s.Wopt = AlignHorizontal->currentIndex();
  s.Hopt = AlignVertical->currentIndex();
  s.Wside = IntOr(SideHorizontal, 0);
  s.Hside = IntOr(SideVertical, 0);
  s.jQ = std::min(100, IntOr(JpegQuality, 80));
  s.Bo = IntOr(Strength, 4);
  s.pW = IntOr(PaperWidth, 210);
  s.pH = IntOr(PaperHeight, 297);
  s.pS = PaperResize->isChecked() ? 1 : 0;
  // 2. Grid, outline and fixed-area looks for the views.
  s.GW = IntOr(GridColumns, 4);
  s.GH = IntOr(GridRows, 4);
  s.GC = SwatchColor(GridColor);
  s.oC = SwatchColor(OutlineColor);
  s.fC = SwatchColor(FixedColor);
  // 3. Deskew rule and direction through their submenu; the compression
  // and paper size as checks and hints only (nothing is saved here).
  window_.Execute(MenuCommand(3, (DeskewSize->currentIndex() + 1) * 10));
  window_.Execute(MenuCommand(4, (Direction->currentIndex() + 1) * 100));
  s.F = (Compression->currentIndex() + 1) * 10;
  CheckMenuItem(window_, 1, s.F);
  s.A = (Paper->currentIndex() + 1) * 10;
  CheckMenuItem(window_, 5, s.A);
  for (TCommand button : {TCommand::Save, TCommand::PaperSize})
    if (QToolButton* b = window_.ToolButton(button)) {
      b->setToolTip(TFViewTrans::ChoiceHint(button, s));
      b->setProperty("tag", button == TCommand::Save ? s.F : s.A);
    }
  // 4. The display toggles on both views (and an open full-screen editor)
  // and the white level.
  const std::pair<TCommand, QCheckBox*> toggles[] = {
      {TCommand::ToggleInvert, Invert}, {TCommand::ToggleGrid, Grid},           {TCommand::ToggleCrosshair, Crosshair},
      {TCommand::ToggleSmooth, Smooth}, {TCommand::ToggleOutline, ShowOutline}, {TCommand::ToggleFixed, ShowFixed}};
  s.I = Invert->isChecked() ? 1 : 0;
  s.GS = Grid->isChecked() ? 1 : 0;
  s.CL = Crosshair->isChecked() ? 1 : 0;
  s.AL = Smooth->isChecked() ? 1 : 0;
  s.oS = ShowOutline->isChecked() ? 1 : 0;
  s.fA = ShowFixed->isChecked() ? 1 : 0;
  for (auto [toggle, box] : toggles)
    if (QAction* a = window_.Action(toggle)) a->setChecked(box->isChecked());
  s.J = WhiteLevel->value();
  emit window_.DisplayOptionChanged(TCommand::ToggleInvert, s.I == 1);
  // 5. The main window's number fields.
  window_.ShowParameters();
  // 6. Stored at once.
  SaveSettings(s);
}

// --- the command --------------------------------------------------------------

TOptionsCommand::TOptionsCommand(TFViewTrans& window) : QObject(&window), window_(window) {
  window.SetCommandHandler(TCommand::Options, [this] { Show(); });
}

void TOptionsCommand::Show() {
  TFOptions dialog(window_);
  dialog.exec();
}

TOptionsCommand* InstallOptionsDialog(TFViewTrans& window) { return new TOptionsCommand(window); }
