// One of this build's command-line programs run as its own process, as a
// script would run it.
#pragma once

#include <gtest/gtest.h>

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

const QString Pagemend = QStringLiteral(VELTRAX_BINARY_DIR "/app/pagemend");

struct TProgramRun {
  int Exit = -1;  // -1 when the program did not end normally
  QString Out;
  QString Err;
};

// env: variables set for the child on top of this process's own.
inline TProgramRun RunProgram(const QStringList& args, const QList<QPair<QString, QString>>& env,
                              const QString& program = Pagemend, const QString& workingFolder = QString()) {
  QProcess process;
  if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : env) environment.insert(name, value);
  process.setProcessEnvironment(environment);
  process.start(program, args);
  EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString();
  EXPECT_TRUE(process.waitForFinished(300000));
  TProgramRun run;
  run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = QString::fromUtf8(process.readAllStandardOutput());
  run.Err = QString::fromUtf8(process.readAllStandardError());
  return run;
}
