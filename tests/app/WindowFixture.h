// A main window with its working list, messages collected instead of shown,
// and files copied from the shared test data into a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/AppMessage.h"
#include "app/F_ViewTrans.h"
#include "app/WorkingList.h"
#include "support/TestSupport.h"
#include "utils/Utils.h"

struct WindowFixture : ::testing::Test {
  QTemporaryDir dir;
  std::unique_ptr<TFViewTrans> window;
  TWorkingList* work = nullptr;
  QStringList messages;

  void SetUp() override {
    SetAppMessageHook([this](const QString& text, int) {
      messages << text;
      return 0;
    });
    window = std::make_unique<TFViewTrans>();
    // The store's default save folder is the home folder: tests start with none.
    SetSaveFolder(QString());
    work = new TWorkingList(*window);
  }
  void TearDown() override {
    window.reset();
    SetAppMessageHook(nullptr);
  }
  // A writable copy of a shared test file at `name` below the folder.
  QString Copy(const char* shared, const QString& name) {
    const QString target = QDir(dir.path()).filePath(name);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(QString::fromStdString(SharedFile(shared)), target);
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return target;
  }
};
