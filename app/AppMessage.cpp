#include "app/AppMessage.h"

#include <QApplication>
#include <QMessageBox>

#include "app/AppTitle.h"

namespace {
std::function<int(const QString&, int)>& Hook() {
  static std::function<int(const QString&, int)> hook;
  return hook;
}
}  // namespace

void SetAppMessageHook(std::function<int(const QString& text, int kind)> hook) { Hook() = std::move(hook); }

int ShowAppMessage(const QString& text, int kind) {
  if (Hook()) return Hook()(text, kind);
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (kind) {
    case amInformation:
      icon = QMessageBox::Information;
      break;
    case amWarning:
      icon = QMessageBox::Warning;
      break;
    case amError:
      icon = QMessageBox::Critical;
      break;
    case amQuestion:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No;
      break;
    case amQuestionCancel:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    default:
      return -1;
  }
  QMessageBox box(icon, QString::fromUtf8(kAppTitle), text, buttons, QApplication::activeWindow());
  return box.exec();
}
