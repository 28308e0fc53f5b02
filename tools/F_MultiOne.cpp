#include "tools/F_MultiOne.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "utils/Utils.h"

namespace {

QString Caption(TMultiOneOperation operation) {
  switch (operation) {
    case TMultiOneOperation::Merge:
      return QString::fromUtf8("하나의 파일로 합치기");
    case TMultiOneOperation::Split:
      return QString::fromUtf8("여러개의 파일로 분리 하기");
    default:
      return QString::fromUtf8("멀티TIF <-> PDF 변환하기");
  }
}

}  // namespace

TFMultiOne::TFMultiOne(TMultiOneOperation operation, std::vector<TToolEntry> entries, const QString& location,
                       const QString& saveFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      operation_(operation),
      entries_(std::move(entries)),
      locationFolder_(WithTrailingSeparator(location)),
      saveFolder_(saveFolder) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(Caption(operation));
  Message = [this](const QString& text, bool error) {
    if (error)
      QMessageBox::critical(this, windowTitle(), text);
    else
      QMessageBox::information(this, windowTitle(), text);
  };

  auto* layout = new QVBoxLayout(this);
  type_ = new QComboBox(this);
  type_->addItem(QString::fromUtf8("PDF 파일"));
  type_->addItem(QString::fromUtf8("TIF 파일"));
  type_->setCurrentIndex(0);
  type_->setVisible(operation == TMultiOneOperation::Merge);
  layout->addWidget(type_);
  layout->addWidget(new QLabel(QString::fromUtf8("저장위치(파일이 이미 있는 경우 그 파일에 추가됩니다.)"), this));
  location_ = new QLineEdit(locationFolder_, this);
  location_->setReadOnly(true);
  location_->setMinimumWidth(360);
  layout->addWidget(location_);
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
  connect(start_, &QPushButton::clicked, this, &TFMultiOne::Start);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);

  if (parent) {
    adjustSize();
    const QRect owner = parent->window()->frameGeometry();
    move(owner.center() - rect().center());
  }
}

void TFMultiOne::Start() {
  if (running_) return;
  running_ = true;
  stop_ = false;
  start_->setEnabled(false);
  type_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);

  TToolRun run;
  run.SaveFolder = saveFolder_.toStdString();
  run.Progress = [this](int position, int maximum) {
    progress_->setMaximum(std::max(maximum, 1));
    progress_->setValue(std::min(position, progress_->maximum()));
    QCoreApplication::processEvents();
    return !stop_;
  };
  run.Showing = [this](const std::string& output) {
    if (operation_ != TMultiOneOperation::Merge) location_->setText(QString::fromStdString(output));
  };
  bool failed = false;
  try {
    switch (operation_) {
      case TMultiOneOperation::Merge:
        MergeFiles(entries_, type_->currentIndex() == 0, locationFolder_.toStdString(), run);
        break;
      case TMultiOneOperation::Split:
        SplitFiles(entries_, run);
        break;
      case TMultiOneOperation::Convert:
        ConvertFiles(entries_, run);
        break;
    }
  } catch (const EToolStopped&) {
  } catch (const std::exception&) {
    failed = true;
  }
  QApplication::restoreOverrideCursor();
  progressLabel_->setText(QString::fromUtf8("작업을 마쳤습니다."));
  start_->setEnabled(true);
  type_->setEnabled(true);
  close_->setText(QString::fromUtf8("닫 기"));
  running_ = false;
  if (failed) {
    Message(QString::fromUtf8("변환중 오류가 발생했습니다."), true);
    stop_ = true;
  }
  if (stop_) close();
}

void TFMultiOne::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run ends at the next page boundary and closes the window then.
    stop_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}
