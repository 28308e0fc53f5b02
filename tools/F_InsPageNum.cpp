#include "tools/F_InsPageNum.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "image/DibGraphic.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QToolButton* ToggleButton(const char* caption, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setText(QString::fromUtf8(caption));
  b->setCheckable(true);
  b->setObjectName(QString::fromUtf8(caption));
  return b;
}

}  // namespace

std::string TFInsPageNum::RenderFace(const std::string& face) {
  return StampFaceFor(face, [](const std::string& f) { return QFontDatabase::hasFamily(Q(f)); });
}

TFInsPageNum::TFInsPageNum(TPageNumberHost host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(std::move(host)) {
  setObjectName("FInsPageNum");
  setWindowTitle(QString::fromUtf8("페이지 번호 넣기"));
  setAttribute(Qt::WA_DeleteOnClose);

  font_ = new QComboBox(this);
  size_ = new QComboBox(this);
  size_->setEditable(true);
  for (const char* s : {"5", "8", "10", "15", "20", "25", "30", "35", "40", "45", "50"}) size_->addItem(s);
  size_->setCurrentText("10");
  const char* styles[4] = {"B", "I", "U", "S"};
  for (int i = 0; i < 4; ++i) style_[i] = ToggleButton(styles[i], this);
  const char* anchors[5] = {"좌", "중", "우", "상", "하"};
  for (int i = 0; i < 5; ++i) anchor_[i] = ToggleButton(anchors[i], this);
  auto* horz = new QButtonGroup(this);
  auto* vert = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) horz->addButton(anchor_[i]);
  for (int i = 3; i < 5; ++i) vert->addButton(anchor_[i]);
  anchor_[1]->setChecked(true);
  anchor_[4]->setChecked(true);
  const auto edit = [this](const char* text, int maxLength) {
    auto* e = new QLineEdit(QString::fromUtf8(text), this);
    if (maxLength) e->setMaxLength(maxLength);
    return e;
  };
  x_ = edit("50", 2);
  y_ = edit("90", 2);
  text_ = edit("- {P} -", 0);
  text_->setObjectName("DisplayText");
  text_->setFont(QFont(Q(RenderFace(kDefaultStampFace))));
  start_ = edit("1", 0);
  step_ = edit("1", 0);
  auto* startBox = new QGroupBox(QString::fromUtf8("시작이미지"), this);
  auto* startLayout = new QHBoxLayout(startBox);
  startImage_[0] = new QRadioButton(QString::fromUtf8("처음"), startBox);
  startImage_[1] = new QRadioButton(QString::fromUtf8("현재"), startBox);
  startImage_[0]->setChecked(true);
  startLayout->addWidget(startImage_[0]);
  startLayout->addWidget(startImage_[1]);

  preview_ = new TImageScrollBox(this);
  preview_->SetZoomMode(zmFitToPage);
  preview_->SetCentered(true);
  preview_->setMinimumSize(240, 320);
  progress_ = new QProgressBar(this);
  progress_->hide();
  run_ = new QPushButton(QString::fromUtf8("실행"), this);
  previewButton_ = new QPushButton(QString::fromUtf8("보기"), this);

  auto* grid = new QGridLayout;
  int row = 0;
  const auto label = [this](const char* t) { return new QLabel(QString::fromUtf8(t), this); };
  grid->addWidget(label("글꼴"), row, 0);
  grid->addWidget(font_, row++, 1, 1, 5);
  grid->addWidget(label("크기"), row, 0);
  grid->addWidget(size_, row, 1);
  for (int i = 0; i < 4; ++i) grid->addWidget(style_[i], row, 2 + i);
  ++row;
  grid->addWidget(label("위치"), row, 0);
  for (int i = 0; i < 5; ++i) grid->addWidget(anchor_[i], row, 1 + i);
  ++row;
  grid->addWidget(label("X(%)"), row, 0);
  grid->addWidget(x_, row, 1);
  grid->addWidget(label("Y(%)"), row, 2);
  grid->addWidget(y_, row++, 3);
  grid->addWidget(label("표시문자열"), row, 0);
  grid->addWidget(text_, row++, 1, 1, 5);
  grid->addWidget(label("시작"), row, 0);
  grid->addWidget(start_, row, 1);
  grid->addWidget(label("증가"), row, 2);
  grid->addWidget(step_, row++, 3);
  grid->addWidget(startBox, row++, 0, 1, 6);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(progress_, 1);
  buttons->addStretch();
  buttons->addWidget(previewButton_);
  buttons->addWidget(run_);
  auto* left = new QVBoxLayout;
  left->addLayout(grid);
  left->addStretch();
  left->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addWidget(preview_, 1);

  connect(font_, &QComboBox::currentTextChanged, this, [this] { UpdateEditFont(); });
  for (QToolButton* b : style_) connect(b, &QToolButton::toggled, this, [this] { UpdateEditFont(); });
  const int xs[3] = {10, 50, 90};
  for (int i = 0; i < 3; ++i)
    connect(anchor_[i], &QToolButton::clicked, this, [this, v = xs[i]] { x_->setText(QString::number(v)); });
  connect(anchor_[3], &QToolButton::clicked, this, [this] { y_->setText("10"); });
  connect(anchor_[4], &QToolButton::clicked, this, [this] { y_->setText("90"); });
  connect(previewButton_, &QPushButton::clicked, this, &TFInsPageNum::Preview);
  connect(run_, &QPushButton::clicked, this, &TFInsPageNum::Run);
}

TPageNumberSettings TFInsPageNum::Settings() const {
  TPageNumberSettings s;
  s.FontName = font_->currentIndex() >= 0 ? S(font_->currentText()) : kDefaultStampFace;
  s.SizeText = S(size_->currentText());
  s.Bold = style_[0]->isChecked();
  s.Italic = style_[1]->isChecked();
  s.Underline = style_[2]->isChecked();
  s.StrikeOut = style_[3]->isChecked();
  s.Left = anchor_[0]->isChecked();
  s.Centre = anchor_[1]->isChecked();
  s.Right = anchor_[2]->isChecked();
  s.Top = anchor_[3]->isChecked();
  s.Bottom = anchor_[4]->isChecked();
  s.XText = S(x_->text());
  s.YText = S(y_->text());
  s.DisplayText = S(text_->text());
  s.StartText = S(start_->text());
  s.StepText = S(step_->text());
  s.StartImage = startImage_[1]->isChecked() ? 1 : 0;
  return s;
}

void TFInsPageNum::SetSettings(const TPageNumberSettings& s) {
  const int font = font_->findText(Q(s.FontName), Qt::MatchFixedString);
  if (font >= 0) font_->setCurrentIndex(font);
  size_->setCurrentText(Q(s.SizeText));
  const bool styles[4] = {s.Bold, s.Italic, s.Underline, s.StrikeOut};
  for (int i = 0; i < 4; ++i) style_[i]->setChecked(styles[i]);
  // Exclusive groups: the one down button is set; none down stays as is.
  const bool anchors[5] = {s.Left, s.Centre, s.Right, s.Top, s.Bottom};
  for (int i = 0; i < 5; ++i)
    if (anchors[i]) anchor_[i]->setChecked(true);
  x_->setText(Q(s.XText));
  y_->setText(Q(s.YText));
  text_->setText(Q(s.DisplayText));
  start_->setText(Q(s.StartText));
  step_->setText(Q(s.StepText));
  startImage_[s.StartImage == 1 ? 1 : 0]->setChecked(true);
  UpdateEditFont();
}

void TFInsPageNum::UpdateEditFont() {
  const TPageNumberSettings s = Settings();
  QFont f(Q(RenderFace(s.FontName)));
  f.setBold(s.Bold);
  f.setItalic(s.Italic);
  f.setUnderline(s.Underline);
  f.setStrikeOut(s.StrikeOut);
  text_->setFont(f);
}

TFontSpec TFInsPageNum::Font(int imageDpiX) const {
  TFontSpec f = StampFont(Settings(), imageDpiX);
  f.Name = RenderFace(f.Name);
  return f;
}

void TFInsPageNum::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (font_->count() == 0) {
    QStringList faces;
    for (const QString& f : QFontDatabase::families())
      if (!f.startsWith('@')) faces << f;
    // The layout's default face is offered even where a stand-in renders it.
    if (!faces.contains(QString::fromUtf8(kDefaultStampFace))) faces << QString::fromUtf8(kDefaultStampFace);
    faces.sort(Qt::CaseInsensitive);
    font_->addItems(faces);
    font_->setCurrentIndex(-1);
  }
  const QString stored = LoadPageNumberSettings();
  if (!stored.isEmpty()) SetSettings(ParsePageNumberValue(S(stored)));
  if (font_->currentIndex() < 0) font_->setCurrentIndex(font_->findText(QString::fromUtf8(kDefaultStampFace)));
  CopyMainImage();
}

void TFInsPageNum::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  SavePageNumberSettings(Q(PageNumberValue(Settings())));
  QWidget::closeEvent(event);
}

bool TFInsPageNum::CheckDisplayText() {
  if (HasNumberPlace(S(text_->text()))) return true;
  if (host_.Message) host_.Message(QString::fromUtf8(kNoNumberPlaceMessage), false);
  return false;
}

void TFInsPageNum::CopyMainImage() {
  const TDibGraphic* image = host_.MainImage ? host_.MainImage() : nullptr;
  if (image && !image->Empty())
    preview_->AssignGraphic(*image);
  else
    preview_->Clear();
  preview_->Redraw(true);
}

void TFInsPageNum::Preview() {
  if (!CheckDisplayText()) return;
  CopyMainImage();
  TDibGraphic& page = preview_->Graphic();
  if (page.Empty()) return;
  const TPageNumberSettings s = Settings();
  DrawStamp(page, Font(page.XDotsPerInch()), s, WholeNumberOr(s.StartText, 1));
  preview_->Redraw(false);
}

void TFInsPageNum::Run() {
  if (running_ || !CheckDisplayText()) return;
  const QStringList entries = host_.Entries ? host_.Entries() : QStringList();
  if (entries.isEmpty()) return;
  const QString folder = host_.SaveFolder ? host_.SaveFolder() : QString();
  if (folder.isEmpty()) return;  // no save folder chosen: nothing is done
  TPageNumberRun run;
  run.Settings = Settings();
  run.Settings.FontName = RenderFace(run.Settings.FontName);
  run.SaveFolder = S(folder);
  if (host_.SaveOptions) run.Save = host_.SaveOptions();
  const int first = run.Settings.StartImage == 1 && host_.CurrentEntry ? std::max(0, host_.CurrentEntry()) : 0;
  for (int i = first; i < entries.size(); ++i) run.Files.push_back(S(entries[i]));
  // The font is sized once, for the resolution of the page on show.
  const TDibGraphic* image = host_.MainImage ? host_.MainImage() : nullptr;
  run.FontDpi = image && !image->Empty() ? image->XDotsPerInch() : 0;
  running_ = true;
  run_->setEnabled(false);
  progress_->setRange(0, static_cast<int>(run.Files.size()));
  progress_->setValue(0);
  progress_->show();
  try {
    StampPageNumbers(run, [this](int position, int maximum) {
      progress_->setMaximum(maximum);
      progress_->setValue(position);
      QApplication::processEvents();
      return true;
    });
  } catch (const std::exception& e) {
    if (host_.Message) host_.Message(QString::fromUtf8(e.what()), true);
  }
  progress_->hide();
  run_->setEnabled(true);
  running_ = false;
}
