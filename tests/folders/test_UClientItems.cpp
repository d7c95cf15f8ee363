// Item records: defaults, copies, the drop collection and the handle registry.

#include <gtest/gtest.h>

#include "folders/UClientItems.h"
#include "folders/UHandles.h"
#include "settings/UFunction.h"

namespace vantori {
namespace {

TEST(ClientItems, NewRecordsCarryTheirDefaults) {
  TFolderItem folder;
  EXPECT_EQ(folder.Kind, nkFolder);
  EXPECT_FALSE(folder.Loaded);
  EXPECT_EQ(folder.GroupSeq, -1);
  EXPECT_EQ(folder.ParentGroup, -1);
  EXPECT_EQ(folder.ClubSeq, -1);
  EXPECT_EQ(folder.ClubValue1, -1);
  EXPECT_EQ(folder.ClubValue2, 0);
  EXPECT_TRUE(folder.ClubFlag1);
  EXPECT_FALSE(folder.ClubFlag2);
  EXPECT_FALSE(folder.ClubFlag3);
  EXPECT_EQ(folder.Node, nullptr);

  TFFItem row;
  EXPECT_EQ(row.FriendSeq, -1);
  EXPECT_EQ(row.GroupSeq, -1);
  EXPECT_EQ(row.ClubSeq, -1);
  EXPECT_EQ(row.ClubValue1, -1);
  EXPECT_TRUE(row.ClubFlag1);
  EXPECT_EQ(row.Reserved[0] | row.Reserved[1] | row.Reserved[2], 0);

  TDropItems drops;
  EXPECT_EQ(drops.Counter, -10000);
  EXPECT_EQ(drops.Root, -100);
  TDropItem* drop = drops.Add();
  EXPECT_EQ(drop->Index, -100);
  EXPECT_EQ(drop->ParentIndex, -100);
  EXPECT_EQ(drop->TargetSeq, -100);

  TDownFolderItem down;
  EXPECT_EQ(down.Seq, -100);
  EXPECT_TRUE(down.Pass.empty());

  TFolderItems buffer;
  EXPECT_FALSE(buffer.IsCut);
  EXPECT_EQ(buffer.Source, nullptr);
  TNoteItems notes;
  EXPECT_EQ(notes.Value, -1);
  TRequestedPageItem page;
  EXPECT_EQ(page.Page, 1);
}

TEST(ClientItems, CollectionsOwnAndIndexTheirRecords) {
  TFFItems rows;
  TFFItem* a = rows.Add();
  TFFItem* b = rows.Add();
  EXPECT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.Items(1), b);
  EXPECT_EQ(rows.IndexOf(b), 1);
  rows.Delete(0);
  EXPECT_EQ(rows.IndexOf(b), 0);
  EXPECT_EQ(rows.IndexOf(a), -1);
  EXPECT_THROW(rows.Items(1), std::out_of_range);
  EXPECT_THROW(rows.Delete(-1), std::out_of_range);
  rows.Clear();
  EXPECT_EQ(rows.Count(), 0);
}

TEST(ClientItems, CopyRowCopiesEverythingAndShortLeavesTheTail) {
  TFFItem source;
  source.Kind = nkFile;
  source.FileSeq = 7;
  source.FileName = "a.txt";
  source.Size = 5'000'000'000LL;
  source.ExpireDate = 40000.5;
  source.StoredFileSeq = 99;
  source.Reserved[1] = 11;
  source.Downloading = true;
  source.GroupName = "g";
  source.ClubFlag2 = true;

  TFFItem full;
  TFFItems::CopyRow(source, full);
  EXPECT_EQ(full.FileName, "a.txt");
  EXPECT_EQ(full.Size, 5'000'000'000LL);
  EXPECT_EQ(full.ExpireDate, 40000.5);
  EXPECT_EQ(full.Reserved[1], 11);
  EXPECT_TRUE(full.Downloading);
  EXPECT_EQ(full.GroupName, "g");
  EXPECT_NE(full.Handle(), source.Handle());

  TFFItem brief;
  TFFItems::CopyRowShort(source, brief);
  EXPECT_EQ(brief.FileSeq, 7);
  EXPECT_EQ(brief.StoredFileSeq, 99);
  EXPECT_EQ(brief.ExpireDate, 0.0);  // not copied
  EXPECT_EQ(brief.Reserved[1], 0);
  EXPECT_FALSE(brief.Downloading);
  EXPECT_TRUE(brief.GroupName.empty());
  EXPECT_FALSE(brief.ClubFlag2);
}

TEST(ClientItems, CopyFolderCopiesTheIdentifyingFieldsOnly) {
  TFolderItem source;
  source.Kind = nkFolder;
  source.Seq = 5;
  source.Name = "n";
  source.Owner = 3;
  source.Pass = "pw";
  source.OwnerName = "o";
  source.Loaded = true;
  source.GroupSeq = 9;
  int node = 0;
  source.Node = &node;

  TFolderItem target;
  source.CopyFolder(target);
  EXPECT_EQ(target.Seq, 5);
  EXPECT_EQ(target.Owner, 3);
  EXPECT_EQ(target.Pass, "pw");
  EXPECT_EQ(target.OwnerName, "o");
  EXPECT_FALSE(target.Loaded);
  EXPECT_EQ(target.GroupSeq, -1);
  EXPECT_EQ(target.Node, nullptr);
}

TEST(DropItems, FolderWithItsFileLinksTheFileUnderTheFolder) {
  TDropItems drops;
  drops.Root = 42;
  TDropItem* folder = drops.AddPath("C:\\a", true);
  TDropItem* file = drops.AddPath("C:\\a\\b.txt", false);
  EXPECT_EQ(drops.BasePath, "C:");
  drops.LinkParents();
  EXPECT_EQ(folder->IsFile, 0);
  EXPECT_EQ(folder->Name, "a");
  EXPECT_EQ(folder->Index, -9999);
  EXPECT_EQ(folder->ParentIndex, 42);
  EXPECT_EQ(file->IsFile, 1);
  EXPECT_EQ(file->Name, "a");
  EXPECT_EQ(file->FilePath, "C:\\a\\b.txt");
  EXPECT_EQ(file->Index, -9999);
  EXPECT_EQ(file->ParentIndex, -9999);
}

TEST(DropItems, PlainFilesHangUnderTheRoot) {
  TDropItems drops;
  drops.Root = 7;
  TDropItem* one = drops.AddPath("/home/u/x.txt", false);
  TDropItem* two = drops.AddPath("/home/u/y.txt", false);
  drops.LinkParents();
  for (TDropItem* item : {one, two}) {
    EXPECT_EQ(item->Index, 7);
    EXPECT_EQ(item->ParentIndex, 7);
    EXPECT_EQ(item->TargetSeq, 7);
  }
  EXPECT_EQ(drops.BasePath, "/home/u");
}

TEST(DropItems, NestedFoldersNumberInOrderAndLinkToTheirParents) {
  TDropItems drops;
  drops.Root = -1;
  TDropItem* top = drops.AddPath("/d/top/", true);
  TDropItem* sub = drops.AddPath("/d/top/sub", true);
  TDropItem* file = drops.AddPath("/d/top/sub/f", false);
  drops.LinkParents();
  EXPECT_EQ(top->Index, -9999);
  EXPECT_EQ(top->ParentIndex, -1);
  EXPECT_EQ(sub->Index, -9998);
  EXPECT_EQ(sub->ParentIndex, -9999);
  EXPECT_EQ(file->Index, -9998);
  EXPECT_EQ(file->ParentIndex, -9998);
}

TEST(DropItems, AMissingParentFolderIsAnErrorNotADanglingLink) {
  TDropItems drops;
  drops.AddPath("/d/top", true);
  drops.AddPath("/d/top/missing/f", false);  // "/d/top/missing" was never added
  EXPECT_THROW(drops.LinkParents(), std::runtime_error);
}

TEST(Handles, LiveObjectsAreFoundAndFreedOnesAreNot) {
  auto node = std::make_unique<TFolderItem>();
  std::int32_t handle = node->Handle();
  EXPECT_GT(handle, 0);
  EXPECT_EQ(FindHandle<TFolderItem>(handle), node.get());
  EXPECT_EQ(FindHandle<TFFItem>(handle), nullptr);  // another kind of object
  node.reset();
  EXPECT_EQ(FindHandle<TFolderItem>(handle), nullptr);

  TFolderItem next;
  EXPECT_NE(next.Handle(), handle);  // handles are not reused at once
  for (std::int64_t bad : {std::int64_t{0}, std::int64_t{-5}, std::int64_t{1} << 40})
    EXPECT_EQ(FindHandleObject(bad), nullptr) << bad;
}

TEST(Handles, RecordsInCollectionsUnregisterWhenTheCollectionGoes) {
  std::size_t before = LiveHandleCount();
  std::int32_t handle = 0;
  {
    TFFItems rows;
    handle = rows.Add()->Handle();
    rows.Add();
    EXPECT_EQ(LiveHandleCount(), before + 3);  // the collection and its two rows
  }
  EXPECT_EQ(LiveHandleCount(), before);
  EXPECT_EQ(FindHandleObject(handle), nullptr);
}

TEST(Handles, ScrambledHandlesParseBackOrGiveNoObject) {
  EXPECT_EQ(ParseScrambledHandle(ScrambleText("1234")), 1234);
  EXPECT_EQ(ParseScrambledHandle(ScrambleText(" 77 ")), 77);
  EXPECT_EQ(ParseScrambledHandle(ScrambleText("12x")), 0);
  EXPECT_EQ(ParseScrambledHandle(""), 0);
  EXPECT_EQ(ParseScrambledHandle("\x01garbage"), 0);
}

}  // namespace
}  // namespace vantori
