#include "tools/F_TwoInOne.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "tools/work/JoinPages.h"

TFTwoInOne::TFTwoInOne(std::vector<TToolEntry> entries, QWidget* parent)
    : TToolRunWindow(parent, Qt::Window), entries_(std::move(entries)) {
  setWindowTitle(QString::fromUtf8("두 이미지를 좌우로 붙여 하나로 만들기"));

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
  AddProgressAndButtons(layout);

  CentreOnOwner();
}

void TFTwoInOne::Start() {
  if (Running()) return;
  // Without a save folder each joined page would replace its right-hand
  // source file.
  const QString saveFolder = SaveFolder ? SaveFolder() : QString();
  if (saveFolder.isEmpty()) return;
  TToolRun run;
  run.SaveFolder = saveFolder.toStdString();
  const QString error = RunWork(run, [&] {
    JoinFiles(entries_, ParseTrim(leftTrim_->text().toStdString()), ParseTrim(rightTrim_->text().toStdString()), run);
  });
  if (!error.isEmpty())
    Message(error, true);
  else if (!StopRequested())
    Message(QString::fromUtf8("작업을 완료했습니다."), false);
  ProgressBar()->setValue(0);
  if (StopRequested()) close();
}
