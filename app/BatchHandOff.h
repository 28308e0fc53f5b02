// Handing the working list to the batch correction program pagemend: the
// command "자동 보정(I)" writes the list file, stores the settings pagemend
// reads and starts it beside this program; pagemend's message back
// ("open folder|save folder") moves the save folder to its output and
// reloads the current page, so the result view shows what it wrote.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "utils/HandOff.h"

class QLocalServer;
class TFViewTrans;
class TWorkingList;

class TBatchHandOff : public QObject {
  Q_OBJECT
 public:
  TBatchHandOff(TFViewTrans& window, TWorkingList& list);

  // The command. Does nothing while pagemend runs; a list file that cannot
  // be written or a program that cannot be started is shown in an error box.
  void Start();
  // What the list file will hold for the current list and folders.
  THandOffList CurrentHandOffList() const;
  // A message back from pagemend.
  void TakeMessage(const QByteArray& bytes);

  bool IsListening() const;
  // pagemend beside this program's executable; tests point it elsewhere.
  QString ProgramPath;
  // Starts the program detached; replaced by tests that must not start it.
  std::function<bool(const QString& program, const QStringList& arguments)> StartProgram;

 signals:
  // After a message back has been taken over (the page is reloaded).
  void ResultsArrived();

 private:
  void Listen();
  void ReloadCurrentPage();

  TFViewTrans& window_;
  TWorkingList& list_;
  QLocalServer* server_;
};
