#pragma once
// The two folder trees of the main window as models: my folders (TMyFolder) and my
// friends with their groups and shared folders (TFriendFolder).
//
// A tree owns its nodes, the record of every node (Folders) and a cache of the contents
// already received for each node. The views of the main window show a tree through its
// change notifications; the reply handlers and the commands change it through the
// operations below. Everything runs on the user-interface thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "folders/UClientItems.h"

namespace vantori {

class TKXListView;

// Captions of the roots (cp949).
extern const char kServiceCaption[];
extern const char kMyFoldersCaption[];
extern const char kMyClubsCaption[];
extern const char kMyFriendsCaption[];

// Compares two captions ignoring the case of ASCII letters (the bytes of double-byte
// characters are compared as they are): <0, 0, >0.
int CompareCaption(std::string_view a, std::string_view b);

// Image indexes of my tree.
enum TMyTreeImage : int {
  miFolder = 0,
  miSharedFolder = 2,
  miDisk = 4,
  miClubs = 5,
  miClub = 7,
  miClubHome = 8,
  miAdultFolder = 9,
  miService = 11,
  miPasswordFolder = 12,
  miAdultPasswordFolder = 14,
};

// Image indexes of the friend tree.
enum TFriendTreeImage : int {
  fiFriendsRoot = 0,
  fiFriend = 1,
  fiFolder = 2,
  fiGroup = 4,
  fiAdultFolder = 5,
  fiPasswordFolder = 7,
  fiAdultPasswordFolder = 9,
};

// The closed image of a folder node by its sharing flag and password (the selected image
// is the next index): plain, "T" shared (my tree only), "A" adult, a password, "A" with a
// password - later rules win.
int FolderNodeImage(std::string_view pub, bool hasPassword, bool friendTree);

class TTreeNode {
 public:
  ByteString Text;
  int ImageIndex = 0;
  int SelectedIndex = 0;
  bool Expanded = false;
  TFolderItem* Data = nullptr;  // the node's record, owned by the tree's Folders

  TTreeNode* Parent() const { return FParent; }
  int Level() const;
  int Count() const { return static_cast<int>(FChildren.size()); }
  TTreeNode* Item(int index) const { return FChildren.at(static_cast<std::size_t>(index)).get(); }
  // Position among its siblings (or among the roots).
  int Index() const { return FIndex; }
  bool HasAsParent(const TTreeNode* ancestor) const;
  void SetImage(int closedImage) {
    ImageIndex = closedImage;
    SelectedIndex = closedImage + 1;
  }

 private:
  friend class TKXFolder;
  TTreeNode* FParent = nullptr;
  int FIndex = 0;
  std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

// A tree of folder nodes with its records and cache.
class TKXFolder {
 public:
  TKXFolder() = default;
  TKXFolder(const TKXFolder&) = delete;
  TKXFolder& operator=(const TKXFolder&) = delete;
  virtual ~TKXFolder();

  TFolderItems Folders;
  TCacheItems Cache;
  bool FriendTree = false;
  std::int32_t OwnerSeq = 0;

  // ---- Change notifications: every operation that changes nodes runs between one
  // OnBeginChange and one OnEndChange (nested operations report only the outermost pair).
  std::function<void()> OnBeginChange;
  std::function<void()> OnEndChange;
  void BeginChange();
  void EndChange();

  // Selection: OnChanging may refuse a new node; OnChange runs after it was taken.
  std::function<void(TTreeNode* node, bool& allow)> OnChanging;
  std::function<void(TTreeNode* node)> OnChange;
  // Selects the node (nullptr clears the selection). False when OnChanging refused.
  bool Select(TTreeNode* node);
  TTreeNode* Selected() const { return FSelected; }

  // Builds the roots (after clearing everything).
  void Build();
  virtual void BuildRoots() = 0;
  // Fills a list from the cache without a request, then sorts.
  virtual void ShowCached(TTreeNode* node, TKXListView& list) = 0;

  // ---- Nodes
  int RootCount() const { return static_cast<int>(FRoots.size()); }
  TTreeNode* Root(int index) const { return FRoots.at(static_cast<std::size_t>(index)).get(); }
  // Adds a node at the end of the parent's children (a root when parent is null) with a new
  // record in Folders, linked both ways.
  TTreeNode* AddNode(TTreeNode* parent, std::string_view text, int closedImage,
                     TFolderItem** record = nullptr);
  // Number of nodes in the tree.
  int NodeCount() const;
  // Tree order (depth first); nullptr after the last node.
  TTreeNode* First() const { return FRoots.empty() ? nullptr : FRoots.front().get(); }
  TTreeNode* Next(const TTreeNode* node) const;
  // Deletes the node with its whole subtree and the records of all of them.
  void DeleteNode(TTreeNode* node);
  void DeleteChildren(TTreeNode* node);
  // Deletes (as DeleteNode) the first node, in tree order, whose record has the Seq.
  bool DeleteBySeq(std::int32_t seq);
  bool SelectBySeq(std::int32_t seq);
  bool SelectChildBySeq(TTreeNode* node, std::int32_t seq);
  TTreeNode* FindBySeq(std::int32_t seq) const;
  // Makes the node the last child of target.
  void MoveNode(TTreeNode* node, TTreeNode* target);
  // Sorts the node's children (the roots when null) by the tree's node ordering.
  void SortChildren(TTreeNode* node);
  // The node ordering: friend groups first, then by kind, then by caption ignoring case.
  static bool NodeLess(const TTreeNode& a, const TTreeNode& b);

  // The node of a record handle that travelled with a request, when the record still
  // belongs to this tree; nullptr otherwise.
  TTreeNode* NodeOfHandle(std::int64_t handle) const;
  bool OwnsRecord(const TFolderItem* record) const;

  // ---- Cache
  TCacheItem* FindFolderEntry(std::int32_t userSeq, std::int32_t seq) const;
  TCacheItem* FindGroupEntry(std::int32_t groupSeq) const;
  TCacheItem* FindNodeEntry(const TFolderItem& record) const;
  void StoreFolder(const TFolderItem& record);
  void StoreGroup(const TFolderItem& record);
  void StoreFriend(const TFolderItem& record);
  void StoreRow(const TTreeNode* node, const TFFItem& row);
  // StoreRow for many rows at once, in order (a listing's rows).
  void StoreRows(const TTreeNode* node, const std::vector<const TFFItem*>& rows);
  void StoreGroupRow(const TTreeNode* node, const TFFItem& row);
  void ClearCachedRows(const TTreeNode* node);
  void ClearFriendRows(const TTreeNode* node);

  // ---- Checks of the paste and drop commands
  bool InBuffer(const TTreeNode* node, const TFolderItems& buffer) const;
  bool AncestorInBuffer(const TTreeNode* node, const TFolderItems& buffer) const;
  bool ChildInBuffer(const TTreeNode* node, const TFolderItems& buffer) const;
  bool ChildNameInBuffer(const TTreeNode* node, const TFolderItems& buffer) const;

 protected:
  void ClearAll();

 private:
  std::vector<std::unique_ptr<TTreeNode>>& Siblings(TTreeNode* parent) {
    return parent ? parent->FChildren : FRoots;
  }
  static void Renumber(std::vector<std::unique_ptr<TTreeNode>>& list);
  void DeleteRecords(TTreeNode* node);
  bool SeqInBuffer(std::int32_t seq, const TFolderItems& buffer) const;
  TCacheItem* NodeEntryForRows(const TTreeNode* node);

  std::vector<std::unique_ptr<TTreeNode>> FRoots;
  TTreeNode* FSelected = nullptr;
  int FChangeDepth = 0;
};

// Fills one list item from a cached or received row (captions, images), for both lists.
void AddCachedRowItem(TKXListView& list, const TFFItem& row, bool friendList);

class TMyFolder : public TKXFolder {
 public:
  bool ShowClubs = true;
  bool ShowNotice = true;
  void BuildRoots() override;
  void ShowCached(TTreeNode* node, TKXListView& list) override;
};

class TFriendFolder : public TKXFolder {
 public:
  TFriendFolder() { FriendTree = true; }
  void BuildRoots() override;
  void ShowCached(TTreeNode* node, TKXListView& list) override;
};

// Runs BeginChange / EndChange of a tree around a scope.
class TTreeChange {
 public:
  explicit TTreeChange(TKXFolder& tree) : FTree(tree) { FTree.BeginChange(); }
  ~TTreeChange() { FTree.EndChange(); }
  TTreeChange(const TTreeChange&) = delete;
  TTreeChange& operator=(const TTreeChange&) = delete;

 private:
  TKXFolder& FTree;
};

}  // namespace vantori
