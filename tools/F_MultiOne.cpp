#include "tools/F_MultiOne.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
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
    : TToolRunWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowMinimizeButtonHint),
      operation_(operation),
      entries_(std::move(entries)),
      locationFolder_(WithTrailingSeparator(location)),
      saveFolder_(saveFolder) {
  setWindowTitle(Caption(operation));

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
  AddProgressAndButtons(layout);

  CentreOnOwner();
}

void TFMultiOne::Start() {
  if (Running()) return;
  TToolRun run;
  run.SaveFolder = saveFolder_.toStdString();
  run.Showing = [this](const std::string& output) {
    if (operation_ != TMultiOneOperation::Merge) location_->setText(QString::fromStdString(output));
  };
  const QString error = RunWork(
      run,
      [&] {
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
      },
      type_);
  ProgressLabel()->setText(QString::fromUtf8("작업을 마쳤습니다."));
  if (!error.isEmpty()) {
    Message(QString::fromUtf8("변환중 오류가 발생했습니다."), true);
    close();
    return;
  }
  if (StopRequested()) close();
}
