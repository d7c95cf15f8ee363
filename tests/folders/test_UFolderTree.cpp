// The folder tree and file list models: roots, deletion, ordering, cache, sorting, icons, colours.

#include <gtest/gtest.h>

#include "folders/UFileList.h"
#include "folders/UFolderTree.h"

namespace vantori {
namespace {

TTreeNode* AddFolder(TKXFolder& tree, TTreeNode* parent, const char* name, std::int32_t seq) {
  TFolderItem* rec = nullptr;
  TTreeNode* n = tree.AddNode(parent, name, 0, &rec);
  rec->Kind = nkFolder;
  rec->Seq = seq;
  rec->Name = name;
  return n;
}

TEST(FolderTree, RootsOfBothTrees) {
  TMyFolder mine;
  mine.ShowClubs = false;
  mine.Build();
  ASSERT_EQ(mine.RootCount(), 1);
  TTreeNode* service = mine.Root(0);
  EXPECT_EQ(service->Data->Kind, nkServiceRoot);
  EXPECT_EQ(service->Data->Seq, -2);
  EXPECT_EQ(service->ImageIndex, miService);
  ASSERT_EQ(service->Count(), 1);
  EXPECT_EQ(service->Item(0)->Text, kMyFoldersCaption);
  EXPECT_EQ(service->Item(0)->Data->Kind, nkMyFoldersRoot);
  EXPECT_NE(mine.FindFolderEntry(0, -1), nullptr);
  EXPECT_NE(mine.FindFolderEntry(0, -2), nullptr);

  TMyFolder withClubs;
  withClubs.Build();
  ASSERT_EQ(withClubs.RootCount(), 2);
  EXPECT_EQ(withClubs.Root(1)->Data->Kind, nkClubsRoot);
  EXPECT_EQ(withClubs.Cache.Count(), 2);  // the clubs root is not cached

  TFriendFolder friends;
  friends.Build();
  ASSERT_EQ(friends.RootCount(), 1);
  EXPECT_EQ(friends.Root(0)->Data->Kind, nkFriendsRoot);
  EXPECT_EQ(friends.Root(0)->Data->UserSeq, -1);
  EXPECT_EQ(friends.Cache.Count(), 1);
}

// Deleting a last child must not take the records of the nodes after its parent.
TEST(FolderTree, DeleteNodeTakesExactlyTheSubtreeRecords) {
  TMyFolder tree;
  tree.Build();  // service root, my folders, clubs root
  TTreeNode* mine = tree.Root(0)->Item(0);
  TTreeNode* a = AddFolder(tree, mine, "a", 1);
  TTreeNode* b = AddFolder(tree, mine, "b", 2);
  AddFolder(tree, b, "b1", 3);
  AddFolder(tree, tree.FindBySeq(3), "b11", 4);
  const int before = tree.Folders.Count();

  tree.DeleteNode(b);  // the last child of my folders, with expanded sub-folders
  EXPECT_EQ(tree.Folders.Count(), before - 3);
  EXPECT_EQ(tree.FindBySeq(3), nullptr);
  EXPECT_EQ(tree.FindBySeq(4), nullptr);
  EXPECT_EQ(tree.FindBySeq(1), a);
  EXPECT_EQ(tree.Root(1)->Data->Kind, nkClubsRoot);  // the next root keeps its record
  for (const auto& rec : tree.Folders) {
    ASSERT_NE(rec->Node, nullptr);
    EXPECT_EQ(static_cast<TTreeNode*>(rec->Node)->Data, rec.get());
  }
  EXPECT_FALSE(tree.DeleteBySeq(999));
  EXPECT_EQ(tree.Folders.Count(), before - 3);
}

TEST(FolderTree, NodeOrderingGroupsFirstThenCaptionIgnoringCase) {
  TFriendFolder tree;
  tree.Build();
  TTreeNode* root = tree.Root(0);
  TFolderItem* rec = nullptr;
  tree.AddNode(root, "aaa", fiFriend, &rec);
  rec->Kind = nkFriend;
  tree.AddNode(root, "zzz", fiGroup, &rec);
  rec->Kind = nkFriendGroup;
  tree.AddNode(root, "Beta", fiFriend, &rec);
  rec->Kind = nkFriend;
  tree.AddNode(root, "alpha", fiFriend, &rec);
  rec->Kind = nkFriend;
  tree.SortChildren(root);
  ASSERT_EQ(root->Count(), 4);
  EXPECT_EQ(root->Item(0)->Text, "zzz");
  EXPECT_EQ(root->Item(1)->Text, "aaa");
  EXPECT_EQ(root->Item(2)->Text, "alpha");
  EXPECT_EQ(root->Item(3)->Text, "Beta");
  EXPECT_EQ(root->Item(3)->Index(), 3);
}

TEST(FolderTree, FolderImagesFollowSharingAndPassword) {
  struct Case {
    const char* Pub;
    bool Pass;
    int Mine, Friend, Row, FriendRow;
  } cases[] = {
      {"F", false, miFolder, fiFolder, liFolder, liFolder},
      {"T", false, miSharedFolder, fiFolder, liSharedFolder, liFolder},
      {"A", false, miAdultFolder, fiAdultFolder, liAdultFolder, liAdultFolder},
      {"T", true, miPasswordFolder, fiPasswordFolder, liPasswordFolder, liPasswordFolder},
      {"A", true, miAdultPasswordFolder, fiAdultPasswordFolder, liAdultPasswordFolder, liAdultPasswordFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Pub) + (c.Pass ? " with password" : ""));
    EXPECT_EQ(FolderNodeImage(c.Pub, c.Pass, false), c.Mine);
    EXPECT_EQ(FolderNodeImage(c.Pub, c.Pass, true), c.Friend);
    EXPECT_EQ(FolderRowImage(c.Pub, c.Pass, false), c.Row);
    EXPECT_EQ(FolderRowImage(c.Pub, c.Pass, true), c.FriendRow);
  }
}

TEST(FolderTree, CacheStoresRowsUnderTheirNodeAndShowsThem) {
  TMyFolder tree;
  tree.Build();
  TTreeNode* mine = tree.Root(0)->Item(0);
  TTreeNode* made = AddFolder(tree, mine, "made here", 7);  // never stored by a listing
  TFFItem row;
  row.Kind = nkFile;
  row.FileSeq = 5;
  row.FileName = "a.txt";
  row.Size = row.CurSize = 10;
  tree.StoreRow(made, row);
  row.FileName = "renamed.txt";
  tree.StoreRow(made, row);  // same keys: overwritten
  row.FileSeq = 6;
  row.FileName = "B.txt";
  tree.StoreRow(made, row);
  TCacheItem* entry = tree.FindNodeEntry(*made->Data);
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(entry->Rows.Count(), 2);
  EXPECT_EQ(entry->Rows.Items(0)->FileName, "renamed.txt");

  TMyListView list;
  list.LoadImages();
  tree.ShowCached(made, list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(0)->Caption, "B.txt");
  EXPECT_NE(list.Item(0)->Data, entry->Rows.Items(1));  // the list holds its own copy

  // Many at once: the same keys again overwrite, new keys are added in order.
  TFFItem again = row;
  again.FileName = "B2.txt";
  TFFItem fresh = row;
  fresh.FileSeq = 99;
  tree.StoreRows(made, {&again, &fresh, &fresh});
  ASSERT_EQ(entry->Rows.Count(), 3);
  EXPECT_EQ(entry->Rows.Items(1)->FileName, "B2.txt");
  EXPECT_EQ(entry->Rows.Items(2)->FileSeq, 99);

  tree.ClearCachedRows(made);
  EXPECT_EQ(entry->Rows.Count(), 0);
  TMyListView empty;
  tree.ShowCached(AddFolder(tree, mine, "never listed", 8), empty);
  EXPECT_EQ(empty.Count(), 0);
}

TEST(FolderTree, BufferChecks) {
  TMyFolder tree;
  tree.OwnerSeq = 9;
  tree.Build();
  TTreeNode* mine = tree.Root(0)->Item(0);
  TTreeNode* a = AddFolder(tree, mine, "a", 1);
  TTreeNode* a1 = AddFolder(tree, a, "a1", 2);
  TFolderItems buffer;
  TFolderItem* b = buffer.Add();
  b->UserSeq = 9;
  b->Seq = 1;
  b->Name = "a1";
  EXPECT_TRUE(tree.InBuffer(a, buffer));
  EXPECT_TRUE(tree.AncestorInBuffer(a1, buffer));
  EXPECT_TRUE(tree.ChildInBuffer(mine, buffer));
  EXPECT_TRUE(tree.ChildNameInBuffer(a, buffer));
  b->Seq = -2;  // the service root's Seq: a top-level node never counts
  EXPECT_FALSE(tree.AncestorInBuffer(tree.Root(0), buffer));
  b->Seq = 1;
  b->UserSeq = 4;  // another member's entry: no Seq matches
  EXPECT_FALSE(tree.InBuffer(a, buffer));
}

// ---- Lists ------------------------------------------------------------------------------------

struct ListFixture : ::testing::Test {
  TMyListView list;
  void SetUp() override { list.LoadImages(); }
  TListItem* File(const char* name, std::int64_t size, std::int32_t days) {
    TFFItem* row = nullptr;
    TListItem* item = list.AddItem(name, "", "", "", 0, &row);
    row->Kind = nkFile;
    row->FileName = name;
    row->Size = size;
    row->RemainDays = days;
    return item;
  }
  TListItem* Folder(const char* name) {
    TFFItem* row = nullptr;
    TListItem* item = list.AddItem(name, "", "", "", 0, &row);
    row->Kind = nkFolder;
    row->FolderName = name;
    return item;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i)->Caption);
    return out;
  }
};

TEST_F(ListFixture, SortOrdersFoldersBeforeFilesAndKeepsUpRowFirst) {
  File("big", 5000000000LL, 3);
  Folder("Zeta");
  File("small", 4000000000LL, 30);
  Folder("alpha");
  list.AddUpRow();
  File("Mid", 4500000000LL, 10);

  using V = std::vector<std::string>;
  list.Sort(0);
  EXPECT_EQ(Captions(), (V{"..", "alpha", "Zeta", "big", "Mid", "small"}));
  list.ColumnClick(1);  // another column keeps the direction; folders keep their order
  EXPECT_EQ(Captions(), (V{"..", "alpha", "Zeta", "small", "Mid", "big"}));
  list.ColumnClick(1);  // the same column toggles it
  EXPECT_FALSE(list.Ascending);
  EXPECT_EQ(Captions(), (V{"..", "alpha", "Zeta", "big", "Mid", "small"}));
  EXPECT_EQ(list.ColumnCaption(1), std::string(kColumnSizeCaption) + kDescendingMarker);
  EXPECT_EQ(list.ColumnCaption(0), kColumnNameCaption);
  list.ColumnClick(2);
  EXPECT_EQ(Captions(), (V{"..", "alpha", "Zeta", "small", "Mid", "big"}));
  list.ColumnClick(3);  // the comment column never sorts
  EXPECT_EQ(list.SortColumn, 2);
  EXPECT_EQ(list.ColumnCaption(3), kColumnCommentCaption);
}

// With many mixed rows the ordering must stay a strict weak ordering (std::sort would
// run past its range otherwise); the result must be folders, then files by name.
TEST_F(ListFixture, LargeMixedSortIsConsistent) {
  for (int i = 0; i < 300; ++i) {
    const std::string n = "n" + std::to_string((i * 7919) % 300);
    if (i % 3 == 0) {
      Folder(n.c_str());
    } else {
      File(n.c_str(), i, i);
    }
  }
  list.Sort(0);
  bool seenFile = false;
  for (int i = 0; i < list.Count(); ++i) {
    const bool file = list.Item(i)->Data->Kind == nkFile;
    EXPECT_FALSE(seenFile && !file) << "a folder after a file at " << i;
    seenFile = seenFile || file;
    if (i > 0 && list.Item(i - 1)->Data->Kind == list.Item(i)->Data->Kind) {
      EXPECT_LE(CompareCaption(list.Item(i - 1)->Caption, list.Item(i)->Caption), 0);
    }
  }
}

TEST_F(ListFixture, FileIconsAreCachedByExactExtension) {
  int asked = 0;
  list.OnNewIcon = [&asked, this](const ByteString&) {
    ++asked;
    return list.ImageCount();
  };
  const int upper = list.FileIcon("a.TXT");
  const int lower = list.FileIcon("b.txt");
  const int none = list.FileIcon("README");
  EXPECT_NE(upper, lower);
  EXPECT_EQ(list.FileIcon("c.txt"), lower);
  EXPECT_EQ(list.FileIcon("other"), none);
  EXPECT_EQ(asked, 3);
  ASSERT_NE(list.Icons.Find(""), nullptr);
  EXPECT_GE(upper, liBuiltInCount);
  EXPECT_EQ(list.Icons.Find("Up Folder")->ImageIndex, liUpFolder);
}

TEST(FileList, RowColoursAndDaysScale) {
  struct Case {
    std::int32_t Days, Period;
    std::uint32_t Color;
  } cases[] = {
      {30, 30, RGB(15, 0, 240)}, {31, 30, RGB(10, 10, 200)}, {0, 30, RGB(255, 0, 0)},
      {-5, 30, RGB(255, 0, 0)},  {5, 0, RGB(10, 10, 200)},   {0, 0, RGB(255, 0, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(DaysColor(c.Days, c.Period), c.Color) << c.Days << "/" << c.Period;

  TFFItem file;
  file.Kind = nkFile;
  file.Size = file.CurSize = 10;
  file.UserSeq = file.UploaderSeq = 3;
  EXPECT_EQ(RowColors(file, 30).Caption, RGB(0, 0, 0));
  file.UploaderSeq = 4;
  EXPECT_EQ(RowColors(file, 30).Caption, RGB(0, 0, 200));
  file.CurSize = 5;
  EXPECT_EQ(RowColors(file, 30).Caption, RGB(200, 0, 0));
  EXPECT_EQ(RowColors(file, 30).Size, RGB(200, 0, 0));
  TFFItem folder;
  EXPECT_EQ(RowColors(folder, 30).Caption, TRowColors::Default);
}

}  // namespace
}  // namespace vantori
