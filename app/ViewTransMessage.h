// The main window's private command message: a posted event carrying two
// parameters. Codes: 10 open files, 20 redraw the active view, 30 align the
// scroll positions, 100 / 200 / 900 from the folder watch.
#pragma once

#include <QEvent>

class TViewTransMessage : public QEvent {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 777);
  TViewTransMessage(int wParam, long long lParam) : QEvent(kType), WParam(wParam), LParam(lParam) {}
  const int WParam;
  const long long LParam;
};

// Posts the message to a receiver (queued; safe from any thread).
void PostViewTransMessage(QObject* receiver, int wParam, long long lParam = 0);
