#include "tools/F_TwoInOne.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "tools/work/JoinPages.h"

TFTwoInOne::TFTwoInOne(std::vector<TToolEntry> entries, QWidget* parent)
    : QWidget(parent, Qt::Window), entries_(std::move(entries)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromUtf8("두 이미지를 좌우로 붙여 하나로 만들기"));
  Message = [this](const QString& text, bool error) {
    if (error)
      QMessageBox::critical(this, windowTitle(), text);
    else
      QMessageBox::information(this, windowTitle(), text);
  };

  auto* layout = new QVBoxLayout(this);
  auto* frame = new QGroupBox(QString::fromUtf8("[ 모서리 잘라내기 ]"), this);
  auto* grid = new QGridLayout(frame);
  // Only digits and "." get into the boxes.
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), this);
  leftTrim_ = new QLineEdit(QStringLiteral("0"), frame);
  rightTrim_ = new QLineEdit(QStringLiteral("0"), frame);
  leftTrim_->setValidator(digits);
  rightTrim_->setValidator(digits);
  grid->addWidget(new QLabel(QString::fromUtf8("왼쪽 이미지의 오른쪽 모서리"), frame), 0, 0, 1, 2);
  grid->addWidget(leftTrim_, 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("Pixels"), frame), 1, 1);
  grid->addWidget(new QLabel(QString::fromUtf8("오른쪽 이미지의 왼쪽 모서리"), frame), 2, 0, 1, 2);
  grid->addWidget(rightTrim_, 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("Pixels"), frame), 3, 1);
  layout->addWidget(frame);
  progressLabel_ = new QLabel(QString::fromUtf8("진행상태"), this);
  layout->addWidget(progressLabel_);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  start_ = new QPushButton(QString::fromUtf8("변 환"), this);
  close_ = new QPushButton(QString::fromUtf8("닫 기"), this);
  buttons->addWidget(start_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, &TFTwoInOne::Start);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
}

void TFTwoInOne::Start() {
  if (running_) return;
  // Without a save folder each joined page would replace its right-hand
  // source file.
  const QString saveFolder = SaveFolder ? SaveFolder() : QString();
  if (saveFolder.isEmpty()) return;
  running_ = true;
  stop_ = false;
  start_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  TToolRun run;
  run.SaveFolder = saveFolder.toStdString();
  run.Progress = [this](int position, int maximum) {
    progress_->setMaximum(std::max(maximum, 1));
    progress_->setValue(std::min(position, progress_->maximum()));
    QCoreApplication::processEvents();
    return !stop_;
  };
  QString error;
  try {
    JoinFiles(entries_, ParseTrim(leftTrim_->text().toStdString()), ParseTrim(rightTrim_->text().toStdString()), run);
  } catch (const EToolStopped&) {
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
  }
  QApplication::restoreOverrideCursor();
  start_->setEnabled(true);
  running_ = false;
  if (!error.isEmpty())
    Message(error, true);
  else if (!stop_)
    Message(QString::fromUtf8("작업을 완료했습니다."), false);
  progress_->setValue(0);
  if (stop_) close();
}

void TFTwoInOne::closeEvent(QCloseEvent* event) {
  if (running_) {
    stop_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}
