// Widget tests run on the offscreen platform with the settings store in a
// temporary file, so nothing touches the user's own settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "utils/Utils.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  SetSettingsStoreFile(QDir(dir.path()).filePath("settings.ini"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
