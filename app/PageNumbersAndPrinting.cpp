// The page-number window and the print command wired to the main window.
#include "app/PageNumbersAndPrinting.h"

#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>

#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/ViewTransCommands.h"
#include "app/WorkingList.h"
#include "image/DibGraphic.h"
#include "tools/F_InsPageNum.h"
#include "tools/F_PrintRange.h"
#include "tools/PrintingCommands.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

const TDibGraphic* ShownImage(TFViewTrans& window) {
  TImageScrollBox* result = window.ResultView();
  if (result && !result->Graphic().Empty()) return &result->Graphic();
  return &window.SourceView()->Graphic();
}

}  // namespace

void InstallPageNumbersAndPrinting(TFViewTrans& window, TWorkingList& list) {
  auto pageNumbers = std::make_shared<QPointer<TFInsPageNum>>();
  window.SetCommandHandler(TCommand::PageNumbers, [&window, &list, pageNumbers] {
    if (list.List()->Count() == 0) {
      ShowAppMessage(QString::fromUtf8("작업할 파일을 선택하세요."), amInformation);
      return;
    }
    if (*pageNumbers) {
      (*pageNumbers)->raise();
      (*pageNumbers)->activateWindow();
      return;
    }
    TPageNumberHost host;
    host.MainImage = [&window] { return ShownImage(window); };
    host.Entries = [&list] { return list.List()->Entries(); };
    host.CurrentEntry = [&list] { return list.List()->Current(); };
    host.SaveFolder = [&window] {
      if (SaveFolder().isEmpty()) window.Execute(TCommand::ChooseSaveFolder);
      return SaveFolder();
    };
    host.SaveOptions = [&window] { return SaveOptionsOf(window.Settings()); };
    host.Message = [](const QString& text, bool error) { ShowAppMessage(text, error ? amError : amInformation); };
    *pageNumbers = new TFInsPageNum(std::move(host), &window);
    (*pageNumbers)->show();
  });

  window.SetCommandHandler(TCommand::Print, [&window, &list] {
    TPrintHost host;
    host.ActiveImage = [&window]() -> const TDibGraphic* { return &window.ActiveScrollBox()->Graphic(); };
    host.ActiveFile = [&window] { return window.ActiveScrollBox()->FileName(); };
    host.Count = [&list] { return list.List()->Count(); };
    host.IsChecked = [&list](int i) { return list.List()->IsChecked(i); };
    host.Entry = [&list](int i) { return list.List()->Entry(i); };
    host.Current = [&list] { return list.List()->Current(); };
    host.LoadEntry = [&list](int i) {
      list.List()->SetCurrent(i);
      list.Navigate(10);
    };
    host.UndoImage = [&window]() -> TDibGraphic& { return window.UndoImage(); };
    host.AskPrinter = [&window](QPrinter& printer) {
      if (PrinterDialogHook()) return PrinterDialogHook()(printer);
      QPrintDialog dialog(&printer, &window);
      return dialog.exec() == QDialog::Accepted;
    };
    host.AskRange = [&window] { return PrintRangeHook() ? PrintRangeHook()() : TFPrintRange::Ask(&window); };
    host.Error = [](const QString& text) { ShowAppMessage(text, amError); };
    QPrinter printer(QPrinter::HighResolution);
    RunPrintCommand(host, printer);
  });
}
