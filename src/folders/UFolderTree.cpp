#include "folders/UFolderTree.h"

#include <algorithm>
#include <unordered_set>

#include "folders/UFileList.h"

namespace vantori {

const char kServiceCaption[] = "Vantori";
const char kMyFoldersCaption[] = "\xB3\xBB \xC6\xFA\xB4\xF5";
const char kMyClubsCaption[] = "\xB3\xBB \xC5\xAC\xB7\xB4";
const char kMyFriendsCaption[] = "\xB3\xBB \xC4\xA3\xB1\xB8";

namespace {

bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

}  // namespace

int CompareCaption(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  bool trailA = false, trailB = false;
  while (i < a.size() && j < b.size()) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[j]);
    unsigned char fa = trailA ? ca : FoldAscii(ca);
    unsigned char fb = trailB ? cb : FoldAscii(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    trailA = !trailA && IsLeadByte(ca);
    trailB = !trailB && IsLeadByte(cb);
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int FolderNodeImage(std::string_view pub, bool hasPassword, bool friendTree) {
  const bool adult = pub == kPubAdult;
  if (friendTree) {
    if (adult && hasPassword) return fiAdultPasswordFolder;
    if (hasPassword) return fiPasswordFolder;
    if (adult) return fiAdultFolder;
    return fiFolder;
  }
  if (adult && hasPassword) return miAdultPasswordFolder;
  if (hasPassword) return miPasswordFolder;
  if (adult) return miAdultFolder;
  if (pub == kPubShared) return miSharedFolder;
  return miFolder;
}

// ---- TTreeNode ------------------------------------------------------------------------------

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* p = FParent; p; p = p->FParent) ++level;
  return level;
}

bool TTreeNode::HasAsParent(const TTreeNode* ancestor) const {
  for (const TTreeNode* p = FParent; p; p = p->FParent)
    if (p == ancestor) return true;
  return false;
}

// ---- TKXFolder ------------------------------------------------------------------------------

TKXFolder::~TKXFolder() {
  // Records first refer to nodes; detach them before both go.
  for (const auto& rec : Folders) rec->Node = nullptr;
}

void TKXFolder::BeginChange() {
  if (FChangeDepth++ == 0 && OnBeginChange) OnBeginChange();
}

void TKXFolder::EndChange() {
  if (FChangeDepth > 0 && --FChangeDepth == 0 && OnEndChange) OnEndChange();
}

bool TKXFolder::Select(TTreeNode* node) {
  if (node == FSelected) return true;
  if (node && OnChanging) {
    bool allow = true;
    OnChanging(node, allow);
    if (!allow) return false;
  }
  FSelected = node;
  if (node && OnChange) OnChange(node);
  return true;
}

void TKXFolder::ClearAll() {
  TTreeChange change(*this);
  FSelected = nullptr;
  for (const auto& rec : Folders) rec->Node = nullptr;
  FRoots.clear();
  Folders.Clear();
  Cache.Clear();
}

void TKXFolder::Build() {
  TTreeChange change(*this);
  ClearAll();
  BuildRoots();
}

void TKXFolder::Renumber(std::vector<std::unique_ptr<TTreeNode>>& list) {
  for (std::size_t i = 0; i < list.size(); ++i) list[i]->FIndex = static_cast<int>(i);
}

TTreeNode* TKXFolder::AddNode(TTreeNode* parent, std::string_view text, int closedImage,
                              TFolderItem** record) {
  TTreeChange change(*this);
  auto node = std::make_unique<TTreeNode>();
  node->Text = ByteString(text);
  node->SetImage(closedImage);
  node->FParent = parent;
  TFolderItem* rec = Folders.Add();
  rec->Node = node.get();
  node->Data = rec;
  auto& list = Siblings(parent);
  node->FIndex = static_cast<int>(list.size());
  TTreeNode* result = node.get();
  list.push_back(std::move(node));
  if (record) *record = rec;
  return result;
}

int TKXFolder::NodeCount() const {
  int n = 0;
  for (TTreeNode* p = First(); p; p = Next(p)) ++n;
  return n;
}

TTreeNode* TKXFolder::Next(const TTreeNode* node) const {
  if (!node) return nullptr;
  if (!node->FChildren.empty()) return node->FChildren.front().get();
  // The next sibling of the node or of its nearest ancestor that has one.
  for (const TTreeNode* p = node; p; p = p->FParent) {
    const auto& list = p->FParent ? p->FParent->FChildren : FRoots;
    if (static_cast<std::size_t>(p->FIndex) + 1 < list.size())
      return list[static_cast<std::size_t>(p->FIndex) + 1].get();
  }
  return nullptr;
}

void TKXFolder::DeleteRecords(TTreeNode* node) {
  // Every record whose node lies in the subtree: the node and its descendants only, so
  // that no record of a node outside it is ever detached.
  std::unordered_set<const void*> subtree;
  std::vector<TTreeNode*> stack{node};
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    subtree.insert(n);
    for (const auto& c : n->FChildren) stack.push_back(c.get());
  }
  for (int i = Folders.Count() - 1; i >= 0; --i) {
    TFolderItem* rec = Folders.Items(i);
    if (rec->Node && subtree.count(rec->Node)) {
      static_cast<TTreeNode*>(rec->Node)->Data = nullptr;
      rec->Node = nullptr;
      Folders.Delete(i);
    }
  }
  if (FSelected && subtree.count(FSelected)) FSelected = nullptr;
}

void TKXFolder::DeleteNode(TTreeNode* node) {
  if (!node) return;
  TTreeChange change(*this);
  DeleteRecords(node);
  auto& list = Siblings(node->FParent);
  list.erase(list.begin() + node->FIndex);
  Renumber(list);
}

void TKXFolder::DeleteChildren(TTreeNode* node) {
  if (!node) return;
  TTreeChange change(*this);
  while (node->Count() > 0) DeleteNode(node->Item(node->Count() - 1));
}

// Tree order over all roots.
namespace {
template <class F>
TTreeNode* WalkTree(const TKXFolder& tree, F&& match) {
  for (int r = 0; r < tree.RootCount(); ++r) {
    TTreeNode* root = tree.Root(r);
    std::vector<TTreeNode*> stack{root};
    while (!stack.empty()) {
      TTreeNode* n = stack.back();
      stack.pop_back();
      if (match(n)) return n;
      for (int i = n->Count() - 1; i >= 0; --i) stack.push_back(n->Item(i));
    }
  }
  return nullptr;
}
}  // namespace

TTreeNode* TKXFolder::FindBySeq(std::int32_t seq) const {
  return WalkTree(*this, [seq](TTreeNode* n) { return n->Data && n->Data->Seq == seq; });
}

bool TKXFolder::DeleteBySeq(std::int32_t seq) {
  TTreeNode* n = FindBySeq(seq);
  if (!n) return false;
  DeleteNode(n);
  return true;
}

bool TKXFolder::SelectBySeq(std::int32_t seq) {
  TTreeNode* n = FindBySeq(seq);
  return n && Select(n);
}

bool TKXFolder::SelectChildBySeq(TTreeNode* node, std::int32_t seq) {
  if (!node) return false;
  for (int i = 0; i < node->Count(); ++i) {
    TTreeNode* c = node->Item(i);
    if (c->Data && c->Data->Seq == seq) return Select(c);
  }
  return false;
}

void TKXFolder::MoveNode(TTreeNode* node, TTreeNode* target) {
  if (!node || node == target || (target && target->HasAsParent(node))) return;
  TTreeChange change(*this);
  auto& from = Siblings(node->FParent);
  std::unique_ptr<TTreeNode> owned = std::move(from[static_cast<std::size_t>(node->FIndex)]);
  from.erase(from.begin() + node->FIndex);
  Renumber(from);
  auto& to = Siblings(target);
  owned->FParent = target;
  owned->FIndex = static_cast<int>(to.size());
  to.push_back(std::move(owned));
}

bool TKXFolder::NodeLess(const TTreeNode& a, const TTreeNode& b) {
  if (!a.Data || !b.Data) return false;
  const int ka = a.Data->Kind, kb = b.Data->Kind;
  if (ka != kb) {
    const bool ga = ka == nkFriendGroup, gb = kb == nkFriendGroup;
    if (ga != gb) return ga;
    return ka < kb;
  }
  return CompareCaption(a.Text, b.Text) < 0;
}

void TKXFolder::SortChildren(TTreeNode* node) {
  TTreeChange change(*this);
  auto& list = Siblings(node);
  std::stable_sort(list.begin(), list.end(), [](const auto& x, const auto& y) { return NodeLess(*x, *y); });
  Renumber(list);
}

bool TKXFolder::OwnsRecord(const TFolderItem* record) const {
  return record && Folders.IndexOf(record) >= 0;
}

TTreeNode* TKXFolder::NodeOfHandle(std::int64_t handle) const {
  auto* rec = FindHandle<TFolderItem>(handle);
  if (!OwnsRecord(rec)) return nullptr;
  return static_cast<TTreeNode*>(rec->Node);
}

// ---- Cache ----------------------------------------------------------------------------------

TCacheItem* TKXFolder::FindFolderEntry(std::int32_t userSeq, std::int32_t seq) const {
  for (const auto& e : Cache)
    if (e->UserSeq == userSeq && e->Seq == seq) return e.get();
  return nullptr;
}

TCacheItem* TKXFolder::FindGroupEntry(std::int32_t groupSeq) const {
  for (const auto& e : Cache)
    if (e->GroupSeq == groupSeq) return e.get();
  return nullptr;
}

TCacheItem* TKXFolder::FindNodeEntry(const TFolderItem& r) const {
  for (const auto& e : Cache)
    if (e->FriendSeq == r.FriendSeq && e->GroupSeq == r.GroupSeq && e->UserSeq == r.UserSeq &&
        e->Seq == r.Seq)
      return e.get();
  return nullptr;
}

namespace {
void StoreInto(TCacheItems& cache, TCacheItem* entry, const TFolderItem& record) {
  if (!entry) entry = cache.Add();
  record.CopyAll(*entry);
  entry->Node = nullptr;
}
}  // namespace

void TKXFolder::StoreFolder(const TFolderItem& record) {
  StoreInto(Cache, FindFolderEntry(record.UserSeq, record.Seq), record);
}

void TKXFolder::StoreGroup(const TFolderItem& record) {
  StoreInto(Cache, FindGroupEntry(record.GroupSeq), record);
}

void TKXFolder::StoreFriend(const TFolderItem& record) {
  TCacheItem* found = nullptr;
  for (const auto& e : Cache)
    if (e->FriendSeq == record.FriendSeq && e->GroupSeq == record.GroupSeq && e->UserSeq == record.UserSeq) {
      found = e.get();
      break;
    }
  StoreInto(Cache, found, record);
}

namespace {

struct TRowKey {
  std::int32_t V[5];
  bool operator==(const TRowKey& o) const { return std::equal(V, V + 5, o.V); }
};

struct TRowKeyHash {
  std::size_t operator()(const TRowKey& k) const {
    std::size_t h = 0;
    for (std::int32_t v : k.V) h = h * 1000003u ^ static_cast<std::uint32_t>(v);
    return h;
  }
};

TRowKey KeyOf(const TFFItem& r) {
  return {{r.FriendSeq, r.GroupSeq, r.UserSeq, r.FolderSeq, r.FileSeq}};
}

}  // namespace

TCacheItem* TKXFolder::NodeEntryForRows(const TTreeNode* node) {
  if (!node || !node->Data) return nullptr;
  TCacheItem* entry = FindNodeEntry(*node->Data);
  // A node made here (a folder created by a command) was never stored; its first listing
  // creates its entry, so that showing it again from the cache does not come up empty.
  if (!entry) {
    entry = Cache.Add();
    node->Data->CopyAll(*entry);
    entry->Node = nullptr;
  }
  return entry;
}

void TKXFolder::StoreRows(const TTreeNode* node, const std::vector<const TFFItem*>& rows) {
  TCacheItem* entry = NodeEntryForRows(node);
  if (!entry) return;
  std::unordered_map<TRowKey, TFFItem*, TRowKeyHash> index;
  index.reserve(static_cast<std::size_t>(entry->Rows.Count()) + rows.size());
  for (const auto& r : entry->Rows) index.emplace(KeyOf(*r), r.get());
  for (const TFFItem* row : rows) {
    auto [it, added] = index.emplace(KeyOf(*row), nullptr);
    if (added) it->second = entry->Rows.Add();
    TFFItems::CopyRow(*row, *it->second);
  }
}

void TKXFolder::StoreRow(const TTreeNode* node, const TFFItem& row) {
  TCacheItem* entry = NodeEntryForRows(node);
  if (!entry) return;
  for (const auto& r : entry->Rows) {
    if (r->FriendSeq == row.FriendSeq && r->GroupSeq == row.GroupSeq && r->UserSeq == row.UserSeq &&
        r->FolderSeq == row.FolderSeq && r->FileSeq == row.FileSeq) {
      TFFItems::CopyRow(row, *r);
      return;
    }
  }
  TFFItems::CopyRow(row, *entry->Rows.Add());
}

void TKXFolder::StoreGroupRow(const TTreeNode* node, const TFFItem& row) {
  if (!node || !node->Data) return;
  TCacheItem* entry = FindGroupEntry(node->Data->GroupSeq);
  if (!entry) return;
  for (const auto& r : entry->Rows) {
    if (r->GroupSeq == row.GroupSeq && r->FriendSeq == row.FriendSeq) {
      TFFItems::CopyRow(row, *r);
      return;
    }
  }
  TFFItems::CopyRow(row, *entry->Rows.Add());
}

void TKXFolder::ClearCachedRows(const TTreeNode* node) {
  if (!node || !node->Data) return;
  if (TCacheItem* e = FindFolderEntry(node->Data->UserSeq, node->Data->Seq)) e->Rows.Clear();
}

void TKXFolder::ClearFriendRows(const TTreeNode* node) {
  if (!node || !node->Data || node->Data->Kind == nkFriendsRoot) return;
  const TFolderItem& r = *node->Data;
  for (const auto& e : Cache)
    if (e->UserSeq == r.UserSeq && e->GroupSeq == r.GroupSeq && e->FriendSeq == r.FriendSeq) {
      e->Rows.Clear();
      return;
    }
}

// ---- Buffer checks ----------------------------------------------------------------------------

bool TKXFolder::SeqInBuffer(std::int32_t seq, const TFolderItems& buffer) const {
  for (const auto& b : buffer) {
    if (b->UserSeq != OwnerSeq) break;
    if (b->Seq == seq) return true;
  }
  return false;
}

bool TKXFolder::InBuffer(const TTreeNode* node, const TFolderItems& buffer) const {
  return node && node->Data && SeqInBuffer(node->Data->Seq, buffer);
}

bool TKXFolder::AncestorInBuffer(const TTreeNode* node, const TFolderItems& buffer) const {
  for (const TTreeNode* p = node; p && p->Level() > 0; p = p->Parent())
    if (p->Data && SeqInBuffer(p->Data->Seq, buffer)) return true;
  return false;
}

bool TKXFolder::ChildInBuffer(const TTreeNode* node, const TFolderItems& buffer) const {
  if (!node) return false;
  for (int i = 0; i < node->Count(); ++i)
    if (InBuffer(node->Item(i), buffer)) return true;
  return false;
}

bool TKXFolder::ChildNameInBuffer(const TTreeNode* node, const TFolderItems& buffer) const {
  if (!node) return false;
  for (int i = 0; i < node->Count(); ++i) {
    const TTreeNode* c = node->Item(i);
    if (!c->Data) continue;
    for (const auto& b : buffer)
      if (b->Name == c->Data->Name) return true;
  }
  return false;
}

// ---- My tree and the friend tree ---------------------------------------------------------------

void TMyFolder::BuildRoots() {
  TTreeChange change(*this);
  TFolderItem* rec = nullptr;
  TTreeNode* service = AddNode(nullptr, kServiceCaption, miService, &rec);
  service->SelectedIndex = miService;
  rec->Kind = nkServiceRoot;
  rec->Seq = rec->Owner = -2;
  rec->Caption = kServiceCaption;
  service->Expanded = true;
  StoreFolder(*rec);
  TTreeNode* mine = AddNode(service, kMyFoldersCaption, miDisk, &rec);
  mine->SelectedIndex = miDisk;
  rec->Kind = nkMyFoldersRoot;
  rec->Seq = rec->Owner = -1;
  rec->Caption = kMyFoldersCaption;
  StoreFolder(*rec);
  if (ShowClubs) {
    TTreeNode* clubs = AddNode(nullptr, kMyClubsCaption, miClubs, &rec);
    clubs->SelectedIndex = miClubs;
    rec->Kind = nkClubsRoot;
    rec->Seq = rec->Owner = -1;
    rec->Caption = kMyClubsCaption;
  }
}

void TFriendFolder::BuildRoots() {
  TTreeChange change(*this);
  TFolderItem* rec = nullptr;
  TTreeNode* root = AddNode(nullptr, kMyFriendsCaption, fiFriendsRoot, &rec);
  root->SelectedIndex = fiFriendsRoot;
  rec->Kind = nkFriendsRoot;
  rec->Seq = rec->Owner = rec->UserSeq = -1;
  rec->Caption = kMyFriendsCaption;
  StoreFolder(*rec);
}

void AddCachedRowItem(TKXListView& list, const TFFItem& row, bool friendList) {
  TFFItem* copy = nullptr;
  switch (row.Kind) {
    case nkFolder:
      list.AddItem(row.FolderName, "", "", row.FolderComment,
                   FolderRowImage(row.Pub, !row.Pass.empty(), friendList), &copy);
      break;
    case nkFile: {
      TListItem* item = list.AddItem(row.FileName, SizeColumnText(row.Size, row.CurSize),
                                     DaysColumnText(row.RemainDays), row.FileComment, 0, &copy);
      item->ImageIndex = list.FileIcon(row.FileName);
      break;
    }
    case nkFriendGroup:
      if (!friendList) return;
      list.AddItem(row.GroupName, "", "", "", liUserGroup, &copy);
      break;
    case nkFriend:
      if (!friendList) return;
      list.AddItem(row.OwnerName, "", "", "", liSingleUser, &copy);
      break;
    default:
      return;
  }
  TFFItems::CopyRow(row, *copy);
}

void TMyFolder::ShowCached(TTreeNode* node, TKXListView& list) {
  if (!node || !node->Data) return;
  TListChange change(list);
  if (TCacheItem* e = FindFolderEntry(node->Data->UserSeq, node->Data->Seq))
    for (const auto& row : e->Rows) AddCachedRowItem(list, *row, false);
  SortChildren(node);
  list.Sort(list.SortColumn);
}

void TFriendFolder::ShowCached(TTreeNode* node, TKXListView& list) {
  if (!node || !node->Data) return;
  TListChange change(list);
  if (TCacheItem* e = FindNodeEntry(*node->Data))
    for (const auto& row : e->Rows) AddCachedRowItem(list, *row, true);
  SortChildren(node);
  list.Sort(list.SortColumn);
}

}  // namespace vantori
