#include "app/DocumentList.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

class TEntryItem : public QListWidgetItem {
 public:
  explicit TEntryItem(const QString& path) : QListWidgetItem(path) {
    setFlags(flags() | Qt::ItemIsUserCheckable);
    setCheckState(Qt::Unchecked);
    setToolTip(path);
  }
  bool operator<(const QListWidgetItem& other) const override {
    const int c = QString::compare(text(), other.text(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : text() < other.text();
  }
};

// Entries take the pane's width, not their text's, and show as much of
// their path as fits there, the file name whole.
class TEntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(1);
    return size;
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    item.text = EntryDisplayText(item.text, item.fontMetrics, text.width() - 2 * margin);
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
  }
};

QString FolderOf(const QString& path) {
  const int slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
  return slash < 0 ? QString() : path.left(slash + 1);
}

}  // namespace

QString EntryDisplayText(const QString& path, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const int slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
  const QString name = path.mid(slash + 1);
  const int folderWidth = width - metrics.horizontalAdvance(name);
  if (slash < 0 || folderWidth < metrics.horizontalAdvance(QStringLiteral("\u2026/")))
    return metrics.elidedText(path, Qt::ElideMiddle, width);
  return metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, folderWidth) + name;
}

TDocumentList::TDocumentList(QWidget* parent) : QListWidget(parent) {
  setObjectName("DocumentList");
  setSortingEnabled(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setMouseTracking(true);
  // Entries show as much of their path as the pane holds, keeping the file
  // name at the end in view; the hint shows the whole path.
  setTextElideMode(Qt::ElideMiddle);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setResizeMode(QListView::Adjust);
  setItemDelegate(new TEntryDelegate(this));
  // Keys here are commands too, never input-method text.
  setAttribute(Qt::WA_InputMethodEnabled, false);
}

QString TDocumentList::Entry(int index) const {
  const QListWidgetItem* it = item(index);
  return it ? it->text() : QString();
}

QStringList TDocumentList::Entries() const {
  QStringList list;
  for (int i = 0; i < count(); ++i) list << item(i)->text();
  return list;
}

void TDocumentList::SetCurrent(int index) {
  if (index < 0 || index >= count()) {
    setCurrentRow(-1);
    return;
  }
  setCurrentRow(index);
}

QString TDocumentList::CurrentEntry() const { return Entry(currentRow()); }

void TDocumentList::AddFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  // A few files joining a long sorted list (a watched folder's arrivals)
  // each take their place by a binary search; a whole sort would cost a list
  // of thousands of pages far more.
  if (isSortingEnabled() && files.size() * 16 < count()) {
    for (const QString& f : files) addItem(new TEntryItem(f));
    return;
  }
  setUpdatesEnabled(false);
  setSortingEnabled(false);
  for (const QString& f : files) addItem(new TEntryItem(f));
  setSortingEnabled(true);
  sortItems(Qt::AscendingOrder);
  setUpdatesEnabled(true);
}

bool TDocumentList::IsChecked(int index) const {
  const QListWidgetItem* it = item(index);
  return it && it->checkState() == Qt::Checked;
}

void TDocumentList::SetChecked(int index, bool checked) {
  if (QListWidgetItem* it = item(index)) it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QStringList TDocumentList::CheckedEntries() const {
  QStringList list;
  for (int i = 0; i < count(); ++i)
    if (IsChecked(i)) list << Entry(i);
  return list;
}

void TDocumentList::CheckEntries(int tag) {
  if (tag == 9) {
    if (currentRow() < 0) return;
    const QString folder = FolderOf(CurrentEntry());
    for (int i = 0; i < count(); ++i) SetChecked(i, FolderOf(Entry(i)) == folder);
    return;
  }
  for (int i = 0; i < count(); ++i) SetChecked(i, tag == 1);
}

void TDocumentList::RemoveCurrent() {
  const int row = currentRow();
  if (row >= 0) delete takeItem(row);
}

void TDocumentList::RemoveChecked() {
  for (int i = count() - 1; i >= 0; --i)
    if (IsChecked(i)) delete takeItem(i);
}

void TDocumentList::RemoveByPosition(int tag) {
  if (tag == 30) {
    clear();
    return;
  }
  // Positions counted from 1: odd positions are even indices.
  const int firstIndex = tag == 10 ? 0 : 1;
  for (int i = count() - 1; i >= 0; --i)
    if (i % 2 == firstIndex % 2) delete takeItem(i);
}
