#include "mainwindow/UFolderViews.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeDatabase>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>

#include "ui/UUiText.h"

namespace vantori {

// ---- Icons ------------------------------------------------------------------------------------

void TIconSet::Load(const TResourceModule& skin, const QStringList& names) {
  FIcons.clear();
  const QIcon plain = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
  for (const QString& name : names) {
    QIcon icon;
    if (!name.isEmpty() && !skin.IsEmpty()) {
      try {
        QImage picture = LoadSkinBitmap(skin, name);
        icon = QIcon(QPixmap::fromImage(WithTransparentColor(picture, AutoTransparentColor(picture))));
      } catch (const std::exception&) {
      }
    }
    FIcons.append(icon.isNull() ? plain : icon);
  }
}

int TIconSet::Append(const QIcon& icon) {
  FIcons.append(icon);
  return FIcons.size() - 1;
}

QIcon TIconSet::Icon(int index) const {
  return index >= 0 && index < FIcons.size() ? FIcons[index] : QIcon();
}

QStringList MyTreeImageNames() {
  return {"FOLDERCLOSE",     "FOLDEROPEN", "PUBFOLDERCLOSE", "PUBFOLDEROPEN", "DISK",   "CALENDAR",
          "BOARDTAB_ENABLE", "FRIENDS",    "GOHOME",         "ADCLOSE",       "ADOPEN", "MAINICON",
          "FPWDCLOSE",       "FPWDOPEN",   "FADPWDCLOSE",    "FADPWDOPEN"};
}

QStringList FriendTreeImageNames() {
  return {"FRIENDS", "SINGLEUSER", "FOLDERCLOSE", "FOLDEROPEN",  "CHATTAB_ENABLE", "ADCLOSE",
          "ADOPEN",  "FPWDCLOSE",  "FPWDOPEN",    "FADPWDCLOSE", "FADPWDOPEN"};
}

QStringList ListImageNames() {
  QStringList names;
  for (const TBuiltInImage& image : kListBuiltInImages)
    names << (*image.Resource ? QString::fromLatin1(image.Resource) : QStringLiteral("MAINICON"));
  return names;
}

// ---- Tree model ---------------------------------------------------------------------------------

TFolderTreeModel::TFolderTreeModel(TKXFolder& tree, QObject* parent)
    : QAbstractItemModel(parent), FTree(tree) {
  FTree.OnBeginChange = [this] { beginResetModel(); };
  FTree.OnEndChange = [this] {
    endResetModel();
    emit Reset();
  };
}

TFolderTreeModel::~TFolderTreeModel() {
  FTree.OnBeginChange = nullptr;
  FTree.OnEndChange = nullptr;
}

TTreeNode* TFolderTreeModel::Node(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(const TTreeNode* node) const {
  if (!node) return QModelIndex();
  return createIndex(node->Index(), 0, const_cast<TTreeNode*>(node));
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  if (TTreeNode* p = Node(parent)) {
    if (row >= p->Count()) return QModelIndex();
    return createIndex(row, 0, p->Item(row));
  }
  if (row >= FTree.RootCount()) return QModelIndex();
  return createIndex(row, 0, FTree.Root(row));
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
  TTreeNode* n = Node(child);
  return n ? IndexOf(n->Parent()) : QModelIndex();
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  if (TTreeNode* p = Node(parent)) return p->Count();
  return FTree.RootCount();
}

int TFolderTreeModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
  TTreeNode* n = Node(index);
  if (!n) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return FromAnsi(n->Text);
    case Qt::DecorationRole:
      return FIcons.Icon(FTree.Selected() == n ? n->SelectedIndex : n->ImageIndex);
    default:
      return QVariant();
  }
}

// ---- List model ---------------------------------------------------------------------------------

TFileListModel::TFileListModel(TKXListView& list, QObject* parent) : QAbstractItemModel(parent), FList(list) {
  FList.OnBeginChange = [this] { beginResetModel(); };
  FList.OnEndChange = [this] {
    endResetModel();
    emit Reset();
  };
  FList.OnNewIcon = [this](const ByteString& extension) {
    // The system's icon of a file type, found by name only (no file is opened).
    QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile("*" + FromAnsi(extension), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    while (FIcons.Count() < FList.ImageCount()) FIcons.Append(QIcon());
    return FIcons.Append(icon);
  };
}

TFileListModel::~TFileListModel() {
  FList.OnBeginChange = nullptr;
  FList.OnEndChange = nullptr;
  FList.OnNewIcon = nullptr;
}

QModelIndex TFileListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || row >= FList.Count() || column < 0 || column >= kListColumnCount)
    return QModelIndex();
  return createIndex(row, column, FList.Item(row));
}

int TFileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FList.Count();
}

int TFileListModel::columnCount(const QModelIndex&) const {
  return kListColumnCount;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const TListItem* item = static_cast<TListItem*>(index.internalPointer());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return FromAnsi(column == 0 ? item->Caption : item->SubItems[column - 1]);
    case Qt::DecorationRole:
      return column == 0 ? QVariant(FIcons.Icon(item->ImageIndex)) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          Qt::Alignment((column == 1 || column == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    case Qt::ForegroundRole: {
      if (!item->Data || !FList.ReportStyle) return QVariant();
      const TRowColors colors = RowColors(*item->Data, BasicPeriod ? BasicPeriod() : 30);
      const std::uint32_t c = column == 0   ? colors.Caption
                              : column == 1 ? colors.Size
                              : column == 2 ? colors.Days
                                            : TRowColors::Default;
      if (c == TRowColors::Default) return QVariant();
      return QColor(QRgb(c));
    }
    default:
      return QVariant();
  }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  return FromAnsi(FList.ColumnCaption(section));
}

// ---- Views -----------------------------------------------------------------------------------------

TFolderTreeView::TFolderTreeView(TFolderTreeModel* model, QWidget* parent)
    : QTreeView(parent), FModel(model) {
  setModel(model);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  setAcceptDrops(true);
  setFrameShape(QFrame::NoFrame);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { CurrentChanged(current); });
  connect(model, &TFolderTreeModel::Reset, this, [this] { SyncFromCore(); });
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) {
    if (!FSyncing)
      if (TTreeNode* n = FModel->Node(i)) n->Expanded = true;
  });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
    if (!FSyncing)
      if (TTreeNode* n = FModel->Node(i)) n->Expanded = false;
  });
  SyncFromCore();
}

void TFolderTreeView::SyncFromCore() {
  FSyncing = true;
  TKXFolder& tree = FModel->Tree();
  for (TTreeNode* n = tree.First(); n; n = tree.Next(n))
    if (n->Expanded) expand(FModel->IndexOf(n));
  const QModelIndex current = FModel->IndexOf(tree.Selected());
  if (current != currentIndex())
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
  FSyncing = false;
}

void TFolderTreeView::CurrentChanged(const QModelIndex& current) {
  if (FSyncing) return;
  TTreeNode* node = FModel->Node(current);
  if (!node || !node->Data) return;
  // The core runs the selection handlers, which may wait for a reply; run them after this
  // signal, and find the node again by its record's handle in case it went meanwhile.
  const std::int32_t handle = node->Data->Handle();
  QTimer::singleShot(0, this, [this, handle] {
    TKXFolder& tree = FModel->Tree();
    TTreeNode* n = tree.NodeOfHandle(handle);
    if (n) tree.Select(n);
    SyncFromCore();
    viewport()->update();
  });
}

TFileListView::TFileListView(TFileListModel* model, QWidget* parent) : QTreeView(parent), FModel(model) {
  setModel(model);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setDragEnabled(true);
  setAcceptDrops(true);
  setFrameShape(QFrame::NoFrame);
  header()->setSectionsClickable(true);
  header()->setStretchLastSection(false);
  for (int c = 0; c < kListColumnCount; ++c) setColumnWidth(c, kListColumnWidths[c]);
  connect(header(), &QHeaderView::sectionClicked, this,
          [this](int column) { FModel->List().ColumnClick(column); });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SyncSelectionToCore(); });
}

void TFileListView::SyncSelectionToCore() {
  TKXListView& list = FModel->List();
  for (int i = 0; i < list.Count(); ++i) list.Item(i)->Selected = false;
  for (const QModelIndex& i : selectionModel()->selectedRows())
    if (i.row() < list.Count()) list.Item(i.row())->Selected = true;
}

void TFileListView::SetSimpleStyle(bool simple) {
  FModel->List().ReportStyle = !simple;
  for (int c = 1; c < kListColumnCount; ++c) setColumnHidden(c, simple);
  header()->setVisible(!simple);
  if (simple) {
    const QFontMetrics metrics(font());
    setColumnWidth(0, FModel->List().FitListColumn([&metrics](const ByteString& text) {
      return metrics.horizontalAdvance(FromAnsi(text));
    }));
  } else {
    setColumnWidth(0, kListColumnWidths[0]);
  }
}

void TFileListView::FitColumns() {
  if (!FModel->List().ReportStyle) return;
  const int used = columnWidth(0) + columnWidth(1) + columnWidth(2) + 20;
  const int width = viewport()->width();
  if (width - used > 100) setColumnWidth(3, width - used + 20 - 20);
}

void TFileListView::resizeEvent(QResizeEvent* event) {
  QTreeView::resizeEvent(event);
  FitColumns();
}

}  // namespace vantori
