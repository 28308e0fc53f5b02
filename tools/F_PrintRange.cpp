#include "tools/F_PrintRange.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFPrintRange::TFPrintRange(QWidget* parent) : QDialog(parent) {
  setObjectName("FPrintRange");
  setWindowTitle(QString::fromUtf8("인쇄 범위 설정"));
  auto* box = new QGroupBox(QString::fromUtf8("인쇄 범위"), this);
  auto* boxLayout = new QVBoxLayout(box);
  const char* captions[4] = {"모든 파일", "선택(체크) 파일", "현재 파일", "현재 페이지"};
  for (int i = 0; i < 4; ++i) {
    choices_[i] = new QRadioButton(QString::fromUtf8(captions[i]), box);
    boxLayout->addWidget(choices_[i]);
  }
  choices_[prCurrentFile]->setChecked(true);
  auto* ok = new QPushButton(QString::fromUtf8("확 인"), this);
  auto* cancel = new QPushButton(QString::fromUtf8("취 소"), this);
  ok->setObjectName("OkButton");
  cancel->setObjectName("CancelButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addLayout(buttons);
}

int TFPrintRange::Range() const {
  for (int i = 0; i < 4; ++i)
    if (choices_[i]->isChecked()) return i;
  return prCurrentFile;
}

void TFPrintRange::SetRange(int range) {
  if (range >= 0 && range < 4) choices_[range]->setChecked(true);
}

int TFPrintRange::Ask(QWidget* parent) {
  TFPrintRange dialog(parent);
  return dialog.exec() == QDialog::Accepted ? dialog.Range() : -1;
}
