// The merge / split / convert window: a thin layer over the file work of
// tools/work/DocumentFiles.h, run in the user-interface thread with the
// window kept responsive between pages.
#pragma once

#include <vector>

#include "tools/ToolRunWindow.h"

class QComboBox;
class QLineEdit;

enum class TMultiOneOperation { Merge, Split, Convert };

class TFMultiOne : public TToolRunWindow {
  Q_OBJECT
 public:
  // location: the folder shown and merged into; saveFolder: where split and
  // converted files go below (empty: beside their sources).
  TFMultiOne(TMultiOneOperation operation, std::vector<TToolEntry> entries, const QString& location,
             const QString& saveFolder, QWidget* parent = nullptr);

  TMultiOneOperation Operation() const { return operation_; }
  QComboBox* TypeChoice() const { return type_; }
  QLineEdit* LocationBox() const { return location_; }

  void Start() override;

 private:
  TMultiOneOperation operation_;
  std::vector<TToolEntry> entries_;
  QString locationFolder_;
  QString saveFolder_;
  QComboBox* type_ = nullptr;
  QLineEdit* location_ = nullptr;
};
