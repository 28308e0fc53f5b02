#include "tools/PrintingCommands.h"

#include <QPrinter>
#include <stdexcept>

#include "image/DibGraphic.h"
#include "pagework/PageWriter.h"
#include "tools/DibGraphicPrinter.h"
#include "tools/F_PrintRange.h"

namespace {

// Prints the pages of the page on show: every page of its file when the file
// has several, else the page itself (which may carry unsaved corrections).
// Each page goes through the undo image, the main window's page copy.
int PrintPagesOfFile(const TPrintHost& host, TDibGraphicPrinter& printer) {
  const TDibGraphic* image = host.ActiveImage ? host.ActiveImage() : nullptr;
  if (!image || image->Empty()) return 0;
  TDibGraphic& copy = host.UndoImage();
  const std::string file = host.ActiveFile ? host.ActiveFile() : std::string();
  const int count = file.empty() ? 1 : CountPages(file);
  if (count <= 1) {
    copy.Assign(*image);
    printer.PrintPage(&copy);
    return 1;
  }
  for (int k = 0; k < count; ++k) {
    TOutputPage page = LoadPage(file, k);
    copy.Assign(*page.Page());
    printer.PrintPage(&copy);
    if (k + 1 < count) printer.PrintPage(nullptr);
  }
  return count;
}

}  // namespace

std::function<bool(QPrinter&)>& PrinterDialogHook() {
  static std::function<bool(QPrinter&)> hook;
  return hook;
}

std::function<int()>& PrintRangeHook() {
  static std::function<int()> hook;
  return hook;
}

int RunPrintCommand(const TPrintHost& host, QPrinter& printer) {
  const TDibGraphic* image = host.ActiveImage ? host.ActiveImage() : nullptr;
  if (!image || image->Empty()) return 0;
  if (!host.AskPrinter(printer)) return 0;
  const int range = host.AskRange();
  if (range < 0) return 0;
  int sheets = 0;
  try {
    TDibGraphicPrinter p(printer);
    p.SetPrintMode(pmTrueSize);
    p.ManageDocument = true;
    switch (range) {
      case prAllFiles:
      case prCheckedFiles: {
        p.BeginDocument();
        bool first = true;
        for (int i = 0; i < host.Count(); ++i) {
          if (range == prCheckedFiles && !host.IsChecked(i)) continue;
          host.LoadEntry(i);
          if (!first) p.PrintPage(nullptr);
          first = false;
          sheets += PrintPagesOfFile(host, p);
        }
        p.EndDocument();
        break;
      }
      case prCurrentFile:
        p.BeginDocument();
        sheets = PrintPagesOfFile(host, p);
        p.EndDocument();
        break;
      case prCurrentPage:
        p.Title = host.Entry(host.Current());
        host.UndoImage().Assign(*image);
        p.PrintImage(host.UndoImage());
        sheets = 1;
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    sheets = 0;
    if (host.Error) host.Error(QString::fromUtf8(e.what()));
  }
  host.UndoImage().Clear();
  return sheets;
}
