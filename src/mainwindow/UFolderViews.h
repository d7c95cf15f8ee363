#pragma once
// The Qt views of the folder trees and file lists: item models over the core models, which
// reset whenever a change of the core model ends, and the two view widgets.

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>
#include <QVector>
#include <functional>

#include "folders/UFileList.h"
#include "folders/UFolderTree.h"
#include "ui/USkin.h"

namespace vantori {

// The icons of a tree or list, by image index.
class TIconSet {
 public:
  // Loads the named pictures of the skin in order ("" or a missing picture: a plain icon).
  void Load(const TResourceModule& skin, const QStringList& names);
  // Appends an icon, returns its index.
  int Append(const QIcon& icon);
  QIcon Icon(int index) const;
  int Count() const { return FIcons.size(); }

 private:
  QVector<QIcon> FIcons;
};

// The picture names of my tree, the friend tree and the lists, by image index.
QStringList MyTreeImageNames();
QStringList FriendTreeImageNames();
QStringList ListImageNames();

class TFolderTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  TFolderTreeModel(TKXFolder& tree, QObject* parent = nullptr);
  ~TFolderTreeModel() override;

  TKXFolder& Tree() const { return FTree; }
  TIconSet& Icons() { return FIcons; }
  TTreeNode* Node(const QModelIndex& index) const;
  QModelIndex IndexOf(const TTreeNode* node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  void Reset();

 private:
  TKXFolder& FTree;
  TIconSet FIcons;
};

class TFileListModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  TFileListModel(TKXListView& list, QObject* parent = nullptr);
  ~TFileListModel() override;

  TKXListView& List() const { return FList; }
  TIconSet& Icons() { return FIcons; }
  // The basic storage period for the days colours.
  std::function<int()> BasicPeriod;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex&) const override { return QModelIndex(); }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  void Reset();

 private:
  TKXListView& FList;
  TIconSet FIcons;
};

// A folder tree view: follows the model's selection and asks the core tree to select what
// the user clicks (the core may refuse it).
class TFolderTreeView : public QTreeView {
  Q_OBJECT
 public:
  TFolderTreeView(TFolderTreeModel* model, QWidget* parent = nullptr);
  TFolderTreeModel* Model() const { return FModel; }
  // Shows the core tree's selection and expanded nodes (after a reset).
  void SyncFromCore();

 private:
  void CurrentChanged(const QModelIndex& current);
  TFolderTreeModel* FModel;
  bool FSyncing = false;
};

// A file list view in the detailed (report) or simple (list) style.
class TFileListView : public QTreeView {
  Q_OBJECT
 public:
  TFileListView(TFileListModel* model, QWidget* parent = nullptr);
  TFileListModel* Model() const { return FModel; }
  void SetSimpleStyle(bool simple);
  // Column 3 takes the remaining width when the list is wide enough.
  void FitColumns();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SyncSelectionToCore();
  TFileListModel* FModel;
};

}  // namespace vantori
