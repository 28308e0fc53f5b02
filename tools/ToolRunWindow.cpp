#include "tools/ToolRunWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "image/ImagingHooks.h"

TToolRunWindow::TToolRunWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
  setAttribute(Qt::WA_DeleteOnClose);
  Message = [this](const QString& text, bool error) {
    if (error)
      QMessageBox::critical(this, windowTitle(), text);
    else
      QMessageBox::information(this, windowTitle(), text);
  };
}

void TToolRunWindow::AddProgressAndButtons(QVBoxLayout* layout) {
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
  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
}

void TToolRunWindow::CentreOnOwner() {
  if (!parentWidget()) return;
  adjustSize();
  const QRect owner = parentWidget()->window()->frameGeometry();
  move(owner.center() - rect().center());
}

QString TToolRunWindow::RunWork(TToolRun& run, const std::function<void()>& work, QWidget* alsoDisabled) {
  running_ = true;
  stop_ = false;
  start_->setEnabled(false);
  if (alsoDisabled) alsoDisabled->setEnabled(false);
  QString error;
  {
    TBusyCursor busy;
    run.Progress = [this](int position, int maximum) {
      progress_->setMaximum(std::max(maximum, 1));
      progress_->setValue(std::min(position, progress_->maximum()));
      QCoreApplication::processEvents();
      return !stop_;
    };
    try {
      work();
    } catch (const EToolStopped&) {
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
      if (error.isEmpty()) error = QStringLiteral("Unknown error");
    }
  }
  start_->setEnabled(true);
  if (alsoDisabled) alsoDisabled->setEnabled(true);
  running_ = false;
  return error;
}

void TToolRunWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run ends at the next page boundary and closes the window then.
    stop_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}
