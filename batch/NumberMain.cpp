// pagemend-number: runs "pagemend number" for pagemend, which starts it from
// its own folder with the command's arguments. Kept apart so that only this
// program loads Qt's graphical libraries, which the font engine needs.
#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "batch/ToolCommand.h"
#include "image/GraphicRegistry.h"

#if defined(QT_GUI_LIB)
#include <QGuiApplication>
#endif

int main(int argc, char** argv) {
  // Taken before Qt sees them: a graphical application removes options of
  // its own (such as --style) from the command line.
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::unique_ptr<QCoreApplication> app;
#if defined(QT_GUI_LIB)
  // Drawing text works offscreen, with no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app = std::make_unique<QGuiApplication>(argc, argv);
#else
  app = std::make_unique<QCoreApplication>(argc, argv);
#endif
  RegisterStandardFormats();
  return FindToolCommand("number")->Run(arguments);
}
