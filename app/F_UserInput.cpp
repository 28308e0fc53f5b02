#include "app/F_UserInput.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethod>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFUserInput::TFUserInput(QWidget* parent) : QDialog(parent) {
  setObjectName("TFUserInput");
  setWindowTitle(QString::fromUtf8("폴더 이름"));
  edit_ = new QLineEdit(QString::fromUtf8("새폴더"), this);
  edit_->setMaxLength(30);
  edit_->selectAll();
  // Names are typed in Korean: the field takes input-method text (only the
  // main window's views and lists keep input methods off).
  edit_->setAttribute(Qt::WA_InputMethodEnabled, true);
  edit_->setInputMethodHints(Qt::ImhNone);
  ok_ = new QPushButton(QString::fromUtf8("확 인"), this);
  cancel_ = new QPushButton(QString::fromUtf8("취 소"), this);
  ok_->setDefault(false);
  ok_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edit_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &TFUserInput::TryAccept);
  connect(edit_, &QLineEdit::returnPressed, this, &TFUserInput::TryAccept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFUserInput::Text() const { return edit_->text(); }

void TFUserInput::TryAccept() {
  // A syllable still being composed belongs to the name.
  if (QInputMethod* im = QGuiApplication::inputMethod()) im->commit();
  if (!edit_->text().isEmpty()) accept();
}

QString TFUserInput::AskFolderName(QWidget* parent) {
  TFUserInput dialog(parent);
  return dialog.exec() == QDialog::Accepted ? dialog.Text() : QString();
}
