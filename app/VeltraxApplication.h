// The desktop's application object: an exception that escapes an event
// handler is shown in an error box and the event loop goes on, instead of
// ending the program with the operator's work.
#pragma once

#include <QApplication>

class TVeltraxApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};
