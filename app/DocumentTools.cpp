#include "app/DocumentTools.h"

#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/Saving.h"
#include "app/ViewTransCommands.h"
#include "app/WorkingList.h"
#include "tools/F_MultiOne.h"
#include "tools/F_TwoInOne.h"
#include "utils/Utils.h"

namespace {

// Every entry of the working list (check marks play no part), with the
// folder and the way they were opened.
std::vector<TToolEntry> ListEntries(TFViewTrans& window, TWorkingList& list) {
  std::vector<TToolEntry> entries;
  const std::string open = WithTrailingSeparator(OpenFolder()).toStdString();
  for (const QString& entry : list.List()->Entries())
    entries.push_back(TToolEntry{entry.toStdString(), open, window.OpenMode()});
  return entries;
}

bool ListEmpty(TWorkingList& list) {
  if (list.List()->Count() > 0) return false;
  ShowAppMessage(QString::fromUtf8("작업할 파일을 선택하세요."), amInformation);
  return true;
}

void Message(const QString& text, bool error) { ShowAppMessage(text, error ? amError : amInformation); }

}  // namespace

void InstallDocumentTools(TFViewTrans& window, TWorkingList& list, TSaving& saving) {
  const auto openMultiOne = [&window, &list](TMultiOneOperation operation) {
    if (ListEmpty(list)) return;
    const QString location = SaveFolder().isEmpty() ? OpenFolder() : SaveFolder();
    auto* tool = new TFMultiOne(operation, ListEntries(window, list), location, SaveFolder(), &window);
    tool->Message = Message;
    tool->show();
  };
  window.SetCommandHandler(TCommand::Merge, [openMultiOne] { openMultiOne(TMultiOneOperation::Merge); });
  window.SetCommandHandler(TCommand::Split, [openMultiOne] { openMultiOne(TMultiOneOperation::Split); });
  window.SetCommandHandler(TCommand::Convert, [openMultiOne] { openMultiOne(TMultiOneOperation::Convert); });
  window.SetCommandHandler(TCommand::TwoInOne, [&window, &list, &saving] {
    if (ListEmpty(list)) return;
    auto* tool = new TFTwoInOne(ListEntries(window, list), &window);
    tool->Message = Message;
    // Joined pages would go over the right-hand sources: without a save
    // folder nothing runs, and the operator is not told otherwise.
    tool->SaveFolder = [&saving] {
      if (SaveFolder().isEmpty()) saving.ChooseSaveFolder(false);
      return SaveFolder();
    };
    tool->show();
  });
}
