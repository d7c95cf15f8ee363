// The folder-service reply handlers and the trees' selection handlers, driven without a
// display or a server.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

#include "folders/UErrorCodes.h"
#include "folders/UReplyHandlers.h"
#include "folders/UWait.h"
#include "platform/TempHome.h"
#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/UMoneyInfo.h"

namespace vantori {
namespace {

class FakeView : public IWaitView {
 public:
  std::deque<std::function<void()>> Server;  // replies that "arrive" while a wait runs
  std::uint32_t Tick = 1000;
  ByteString Status;
  int WaitWindows = 0;
  void ShowStatusText(const ByteString& text) override { Status = text; }
  void ShowWaitWindow(const ByteString&) override { ++WaitWindows; }
  void CloseWaitWindow() override {}
  void RunLoopUntil(const std::function<bool()>& done) override {
    while (!done()) {
      if (Server.empty()) {
        Tick += 70000;  // nothing more arrives: let the reply time limit pass
        continue;
      }
      auto next = std::move(Server.front());
      Server.pop_front();
      next();
    }
  }
  void ShowWaitError(const ByteString& text) override { WaitErrors.push_back(text); }
  std::vector<ByteString> WaitErrors;
};

class FakeWindow : public IFolderWindow {
 public:
  std::vector<ByteString> Errors, Infos, Progress, PasswordTitles;
  ByteString Typed;  // the password the user types
  int Stops = 0;
  void ShowError(const ByteString& t) override { Errors.push_back(t); }
  void ShowInformation(const ByteString& t) override { Infos.push_back(t); }
  void SetStatusText(const ByteString&) override {}
  void StopTransfers() override { ++Stops; }
  void AddWaitProgress(const ByteString& t) override { Progress.push_back(t); }
  bool AskFolderPassword(const ByteString& title, const ByteString& password) override {
    PasswordTitles.push_back(title);
    return Typed == password;
  }
};

class FakeService : public IFolderService {
 public:
  std::function<void(const TFolderItem&)> OnListMy, OnListFriendFolder;
  std::function<void(const TFolderItem&, std::int32_t)> OnListFriends;
  int Requests = 0;
  void ListMyFolder(const TFolderItem& n) override {
    ++Requests;
    if (OnListMy) OnListMy(n);
  }
  void ListMyClubs(const TFolderItem&) override { ++Requests; }
  void ListFriends(const TFolderItem& n, std::int32_t g) override {
    ++Requests;
    if (OnListFriends) OnListFriends(n, g);
  }
  void ListFriendFolder(const TFolderItem& n) override {
    ++Requests;
    if (OnListFriendFolder) OnListFriendFolder(n);
  }
  void Disconnect() override {}
};

TDataParameter Reply(std::int32_t type, bool ok = true) {
  TDataParameter m;
  m.AddInteger("T", type);
  m.AddBoolean("R", ok);
  return m;
}

void AddMyFolderRow(TDataParameter& m, std::int32_t seq, const char* name, const char* pub,
                    const char* pass) {
  m.AddInteger("", 0);
  m.AddInteger("", seq);
  m.AddString("", name);
  m.AddInteger("", -1);
  m.AddString("", pub);
  m.AddString("", "");
  m.AddString("", "comment");
  m.AddString("", ScrambleText(pass));
}

void AddMyFileRow(TDataParameter& m, std::int32_t seq, const char* name, std::int64_t size) {
  m.AddInteger("", 1);
  m.AddInteger("", seq);
  m.AddString("", name);
  m.AddInteger("", size);
  m.AddInteger("", size);
  m.AddInteger("", -1);
  m.AddString("", "t1");
  m.AddString("", "t2");
  m.AddInteger("", 12);
  m.AddString("", "file comment");
  m.AddReal("", 45000.0);
  m.AddInteger("", 9);
  m.AddString("", "t3");
  m.AddInteger("", 77);
}

class RepliesTest : public testing::TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    Config = std::make_unique<TClientConfig>(nullptr);
    Config->SetUserSeq(9);
    Config->SetUserID("me");
    Wait = std::make_unique<TWaitControl>(View, [this] { return View.Tick; });
    MyTree.ShowClubs = false;
    MyTree.OwnerSeq = FriendTree.OwnerSeq = 9;
    MyTree.Build();
    FriendTree.Build();
    MyList.LoadImages();
    FriendList.LoadImages();
    Replies = std::make_unique<TFolderReplies>(MyTree, FriendTree, MyList, FriendList, *Config, Money, *Wait,
                                               Window, &Service, nullptr, [this] { return View.Tick; });
    Replies->ConnectSelectionHandlers();
    Replies->Ready = true;
  }
  void TearDown() override {
    Replies.reset();
    Config.reset();
    TempHomeTest::TearDown();
  }
  TTreeNode* MyRoot() { return MyTree.Root(0)->Item(0); }
  // Selects my-folders and answers its listing with the given rows.
  void ListMine(const std::function<void(TDataParameter&)>& rows) {
    Service.OnListMy = [this, rows](const TFolderItem& node) {
      const std::int32_t handle = node.Handle();
      View.Server.push_back([this, handle, rows] {
        TDataParameter m;
        m.AddInteger("T", 582);
        m.AddInteger("Hdl", handle);
        rows(m);
        Replies->Dispatch(m);
      });
    };
    MyTree.Select(MyRoot());
  }

  FakeView View;
  FakeWindow Window;
  FakeService Service;
  std::unique_ptr<TClientConfig> Config;
  TMoneyInfo Money;
  std::unique_ptr<TWaitControl> Wait;
  TMyFolder MyTree;
  TFriendFolder FriendTree;
  TMyListView MyList;
  TFriendListView FriendList;
  std::unique_ptr<TFolderReplies> Replies;
};

TEST_F(RepliesTest, MyListingFillsTreeListAndCacheThenShowsFromCache) {
  ListMine([](TDataParameter& m) {
    AddMyFolderRow(m, 11, "docs", "T", "");
    AddMyFolderRow(m, 12, "Adult", "A", "pw");
    AddMyFileRow(m, 21, "b.txt", 5000);
    AddMyFileRow(m, 22, "a.mp3", 100);
  });
  EXPECT_EQ(View.WaitWindows, 1);  // the first listing after login waits in the window
  EXPECT_FALSE(Wait->Busy());
  ASSERT_EQ(MyRoot()->Count(), 2);
  EXPECT_EQ(MyRoot()->Item(0)->Text, "Adult");
  EXPECT_EQ(MyRoot()->Item(0)->ImageIndex, miAdultPasswordFolder);
  EXPECT_EQ(MyRoot()->Item(0)->Data->Pass, "pw");
  EXPECT_EQ(MyRoot()->Item(1)->ImageIndex, miSharedFolder);
  ASSERT_EQ(MyList.Count(), 4);  // level 1: no ".." row
  EXPECT_EQ(MyList.Item(0)->Caption, "Adult");
  EXPECT_EQ(MyList.Item(2)->Caption, "a.mp3");
  EXPECT_EQ(MyList.Item(3)->SubItems[1], DaysColumnText(12));
  EXPECT_EQ(MyList.Item(3)->Data->ExpireDate, 45000.0 + 30);
  EXPECT_TRUE(MyRoot()->Data->Loaded);
  EXPECT_TRUE(Replies->MyListingReceived);

  // Away and back: shown from the cache, no request.
  const int requests = Service.Requests;
  MyTree.Select(MyTree.Root(0));
  MyTree.Select(MyRoot());
  EXPECT_EQ(Service.Requests, requests);
  EXPECT_EQ(MyList.Count(), 4);
}

TEST_F(RepliesTest, EmptyListingOfASubFolderLeavesOnlyTheUpRow) {
  ListMine([](TDataParameter& m) { AddMyFolderRow(m, 11, "docs", "F", ""); });
  TTreeNode* docs = MyRoot()->Item(0);
  ListMine([](TDataParameter&) {});  // not used: docs has its own handle
  Service.OnListMy = [this](const TFolderItem& node) {
    const std::int32_t handle = node.Handle();
    View.Server.push_back([this, handle] {
      TDataParameter m;
      m.AddInteger("T", 582);
      m.AddInteger("Hdl", handle);
      Replies->Dispatch(m);
    });
  };
  MyTree.Select(docs);
  EXPECT_TRUE(docs->Data->Loaded);
  EXPECT_EQ(docs->Count(), 0);
  ASSERT_EQ(MyList.Count(), 1);
  EXPECT_EQ(MyList.Item(0)->Data->Kind, nkParentRow);
}

TEST_F(RepliesTest, ErrorCodesShowTheirTextsAndUnknownOnesTheGenericText) {
  struct Case {
    std::int32_t Type;
    std::int32_t Code;
    bool Listing;
  } cases[] = {{17, 20002, false}, {99, 20014, false}, {582, 21017, true}, {23, 99999, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Type);
    Window.Errors.clear();
    TDataParameter m;
    m.AddInteger("T", c.Type);
    if (c.Listing) {
      m.AddBoolean("result", false);
    } else {
      m.AddBoolean("R", false);
    }
    m.AddInteger("Code", c.Code);
    Replies->Dispatch(m);
    ASSERT_EQ(Window.Errors.size(), 1u);
    EXPECT_EQ(Window.Errors[0], ErrorCodeText(c.Code));
  }
  EXPECT_STREQ(ErrorCodeText(20014), ErrorCodeText(kUnregisteredErrorCode));
  EXPECT_STREQ(ErrorCodeText(20014),
               "\xB5\xEE\xB7\xCF\xB5\xC7\xBE\xEE \xC0\xD6\xC1\xF6 \xBE\xCA\xC0\xBA "
               "\xBF\xC0\xB7\xF9\xB0\xA1 \xB9\xDF\xBB\xFD\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.");
  EXPECT_TRUE(IsKnownErrorCode(21046));
}

TEST_F(RepliesTest, FolderCreationIsConfirmedOrUndone) {
  TFolderItem* rec = nullptr;
  TTreeNode* made = MyTree.AddNode(MyRoot(), "new", 0, &rec);
  TDataParameter ok = Reply(19);
  ok.AddInteger("FF", 0);
  ok.AddInteger("Hdl", rec->Handle());
  ok.AddInteger("Seq", 501);
  Replies->Dispatch(ok);
  EXPECT_EQ(rec->Seq, 501);

  TDataParameter failed = Reply(19, false);
  failed.AddInteger("FF", 0);
  failed.AddInteger("Hdl", rec->Handle());
  failed.AddInteger("Code", 20002);
  Replies->Dispatch(failed);
  EXPECT_EQ(MyRoot()->Count(), 0);
  EXPECT_EQ(MyTree.FindBySeq(501), nullptr);
  (void)made;

  // From the list: the row goes.
  TFFItem* row = nullptr;
  MyList.AddItem("new row", "", "", "", 0, &row);
  TDataParameter listFailed = Reply(19, false);
  listFailed.AddInteger("FF", 1);
  listFailed.AddInteger("Hdl", row->Handle());
  listFailed.AddInteger("Code", 20002);
  Replies->Dispatch(listFailed);
  EXPECT_EQ(MyList.Count(), 0);
  EXPECT_EQ(Window.Errors.size(), 2u);
}

TEST_F(RepliesTest, DeletionRemovesTheNodeOnlyWhenTheServerAgreed) {
  TFolderItem* rec = nullptr;
  TTreeNode* node = MyTree.AddNode(MyRoot(), "victim", 0, &rec);
  rec->Seq = 40;
  Replies->ExpectDeletion(MyTree, node);
  TDataParameter failed = Reply(23, false);
  failed.AddInteger("Code", 21021);
  Replies->Dispatch(failed);
  EXPECT_EQ(MyTree.FindBySeq(40), node);  // a failed delete keeps its node

  Replies->ExpectDeletion(MyTree, node);
  Replies->Dispatch(Reply(23));
  EXPECT_EQ(MyTree.FindBySeq(40), nullptr);
}

TEST_F(RepliesTest, RepliesForRecordsThatAreGoneDoNothing) {
  TFolderItem* rec = nullptr;
  MyTree.AddNode(MyRoot(), "short-lived", 0, &rec);
  const std::int32_t handle = rec->Handle();
  MyTree.DeleteChildren(MyRoot());
  const int nodes = MyTree.NodeCount();
  for (std::int32_t type : {19, 27, 43, 122, 582}) {
    SCOPED_TRACE(type);
    TDataParameter m;
    m.AddInteger("T", type);
    if (type == 582) {
      m.AddInteger("Hdl", handle);
      AddMyFolderRow(m, 1, "x", "F", "");
    } else {
      m.AddBoolean("R", true);
      m.AddInteger("FF", 0);
      m.AddInteger("Hdl", handle);
      m.AddInteger("SHdl", handle);
      m.AddInteger("THdl", handle);
      m.AddInteger("Seq", 5);
    }
    EXPECT_NO_THROW(Replies->Dispatch(m));
    EXPECT_EQ(MyTree.NodeCount(), nodes);
  }
}

TEST_F(RepliesTest, MoveProgressKeepsWaitingUntilTheLastReply) {
  TFolderItem* rec = nullptr;
  MyTree.AddNode(MyRoot(), "moved", 0, &rec);
  rec->Seq = 60;
  Replies->MovedFolderSeqs = {60};
  bool ended = false;
  View.Server.push_back([this] {
    TDataParameter p = Reply(29);
    p.AddBoolean("Done", false);
    p.AddString("Name", "moved");
    p.AddBoolean("Kind", false);
    Replies->Dispatch(p);
  });
  View.Server.push_back([this] {
    TDataParameter p = Reply(29);
    p.AddBoolean("Done", false);
    p.AddString("Name", "f.txt");
    p.AddBoolean("Kind", true);
    Replies->Dispatch(p);
    EXPECT_TRUE(Wait->Busy());
  });
  View.Server.push_back([this, &ended] {
    TDataParameter d = Reply(29);
    d.AddBoolean("Done", true);
    Replies->Dispatch(d);
    ended = true;
  });
  EXPECT_TRUE(Wait->BeginWait("moving"));
  EXPECT_TRUE(ended);
  ASSERT_EQ(Window.Progress.size(), 2u);
  EXPECT_EQ(Window.Progress[1], ByteString("f.txt") + kFileMovedText);
  EXPECT_EQ(MyTree.FindBySeq(60), nullptr);
}

TEST_F(RepliesTest, BalanceIsCheckedBeforeItReplacesTheOldOne) {
  Money.SetCoins(500);
  Money.SetPoints(40);
  auto balance = [this](std::uint32_t sentTick, std::int32_t seq, std::int32_t coins, std::int32_t m) {
    TDataParameter r = Reply(60);
    r.AddString("H", ScrambleText(PadRightBlanks(std::to_string(sentTick), 20) +
                                  PadRightBlanks(std::to_string(seq), 10) +
                                  PadRightBlanks(std::to_string(coins), 10)));
    r.AddInteger("M", m);
    r.AddInteger("P", 7);
    r.AddInteger("S", 1);
    r.AddInteger("R", 2);
    return r;
  };
  struct Case {
    const char* What;
    std::uint32_t Age;
    std::int32_t Seq, Coins, M;
    bool Accepted;
  } cases[] = {
      {"fresh", 9900, 9, 120, 120, true},       {"10.5 s old", 10500, 9, 120, 120, false},
      {"other member", 10, 8, 120, 120, false}, {"amounts differ", 10, 9, 120, 121, false},
      {"negative", 10, 9, -1, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Money.SetCoins(500);
    Window.Errors.clear();
    Replies->BalanceReceived = false;
    View.Tick = 100000;
    Replies->Dispatch(balance(View.Tick - c.Age, c.Seq, c.Coins, c.M));
    EXPECT_TRUE(Replies->BalanceReceived);
    if (c.Accepted) {
      EXPECT_EQ(Money.Coins(), 120);
      EXPECT_EQ(Money.Points(), 7);
      EXPECT_TRUE(Window.Errors.empty());
    } else {
      EXPECT_EQ(Money.Coins(), 500);  // untouched
      ASSERT_EQ(Window.Errors.size(), 1u);
      EXPECT_EQ(Window.Errors[0], kBalanceErrorText);
    }
  }
  EXPECT_EQ(Window.Stops, 4);
}

// ---- Friends -----------------------------------------------------------------------------------

TEST_F(RepliesTest, FriendsAndAProtectedFolderAskForItsPassword) {
  TTreeNode* root = FriendTree.Root(0);
  Service.OnListFriends = [this](const TFolderItem& node, std::int32_t group) {
    EXPECT_EQ(group, -1);
    TDataParameter m;
    m.AddInteger("T", 282);
    m.AddInteger("Hdl", node.Handle());
    for (int v : {3, 9}) m.AddInteger("", v);  // group row: kind, UserSeq
    m.AddInteger("", -1);
    m.AddInteger("", 70);
    m.AddString("", "zgroup");
    for (int v : {2, 31, 0, 44}) m.AddInteger("", v);  // friend row: kind, FriendSeq, skipped, UserSeq
    m.AddString("", "alice");
    m.AddInteger("", -1);
    Replies->Dispatch(m);  // answered during the send: no wait
  };
  FriendTree.Select(root);
  EXPECT_EQ(View.WaitWindows, 0);
  ASSERT_EQ(root->Count(), 2);
  EXPECT_EQ(root->Item(0)->Data->Kind, nkFriendGroup);  // groups first whatever the caption
  TTreeNode* alice = root->Item(1);
  EXPECT_EQ(alice->Text, "alice");
  EXPECT_EQ(FriendList.Count(), 2);

  Service.OnListFriendFolder = [this](const TFolderItem& node) {
    TDataParameter m;
    m.AddInteger("T", 584);
    m.AddInteger("Hdl", node.Handle());
    for (int v : {0, 44, 81}) m.AddInteger("", v);
    m.AddString("", "secret");
    m.AddInteger("", -1);
    m.AddString("", "T");
    m.AddString("", "");
    m.AddString("", "");
    m.AddString("", ScrambleText("pw1"));
    Replies->Dispatch(m);
  };
  FriendTree.Select(alice);
  ASSERT_EQ(alice->Count(), 1);
  TTreeNode* secret = alice->Item(0);
  EXPECT_EQ(secret->ImageIndex, fiPasswordFolder);
  EXPECT_EQ(secret->Data->OwnerName, "alice");
  ASSERT_EQ(FriendList.Count(), 2);  // ".." and the folder
  EXPECT_EQ(FriendList.Item(1)->Data->OwnerName2, "alice");

  Window.Typed = "wrong";
  EXPECT_FALSE(FriendTree.Select(secret));
  ASSERT_EQ(Window.PasswordTitles.size(), 1u);
  EXPECT_EQ(Window.PasswordTitles[0], "alice (secret)");
  EXPECT_EQ(FriendTree.Selected(), alice);
  Window.Typed = "pw1";
  EXPECT_TRUE(FriendTree.Select(secret));
}

TEST_F(RepliesTest, AdultFoldersNeedThePermission) {
  TFolderItem* rec = nullptr;
  TTreeNode* adult = MyTree.AddNode(MyRoot(), "adult", 0, &rec);
  rec->Pub = "A";
  Config->AdultPermission = false;
  EXPECT_FALSE(MyTree.Select(adult));
  ASSERT_EQ(Window.Errors.size(), 1u);
  EXPECT_EQ(Window.Errors[0], kAdultRefusedText);
}

// ---- Download listings --------------------------------------------------------------------------

TEST(DownloadPaths, LevelByLevelSafeNamesCyclesAndOrphans) {
  TDownFolderItems folders, subs;
  TDownFileItems files;
  TDownFolderItem* top = folders.Add();
  top->Seq = 1;
  top->LocalPath = "/dl/top";
  auto sub = [&subs](std::int32_t seq, std::int32_t owner, const char* name) {
    TDownFolderItem* s = subs.Add();
    s->Seq = seq;
    s->Owner = owner;
    s->Name = name;
  };
  sub(3, 2, "grandchild");  // arrives before its parent
  sub(2, 1, "child");
  sub(4, 1, "..");
  sub(5, 1, "a/../../b");
  sub(6, 7, "loop1");  // a cycle outside the listing
  sub(7, 6, "loop2");
  auto file = [&files](std::int32_t folder, const char* name) {
    TDownFileItem* f = files.Add();
    f->FolderSeq = folder;
    f->FileName = name;
  };
  file(3, "deep.bin");
  file(6, "lost.bin");
  EXPECT_EQ(BuildDownloadPaths(folders, subs, files, false), 1);
  ASSERT_EQ(folders.Count(), 5);
  std::map<std::int32_t, std::string> paths;
  for (const auto& f : folders) paths[f->Seq] = f->LocalPath;
  EXPECT_EQ(paths[2], "/dl/top/child");
  EXPECT_EQ(paths[3], "/dl/top/child/grandchild");
  EXPECT_EQ(paths[4], "/dl/top/_");
  EXPECT_EQ(paths[5], "/dl/top/a_.._.._b");
  ASSERT_EQ(files.Count(), 1);
  EXPECT_EQ(files.Items(0)->LocalPath, "/dl/top/child/grandchild");
}

TEST_F(RepliesTest, IncompleteFilesAreNotQueuedForDownload) {
  TDownFolderItems folders, subs;
  TDownFileItems files;
  for (std::int64_t cur : {100, 50}) {
    TDataParameter m = Reply(731);
    m.AddInteger("UserSeq", 9);
    m.AddInteger("Folders", folders.Handle());
    m.AddInteger("SFolders", subs.Handle());
    m.AddInteger("Files", files.Handle());
    m.AddInteger("", 1);  // position 6: the file's number
    m.AddString("", "f.bin");
    m.AddInteger("", 100);
    m.AddInteger("", cur);
    m.AddInteger("", 1);
    m.AddString("", "");
    m.AddString("", "");
    m.AddReal("", 1.0);
    m.AddInteger("", 9);
    m.AddInteger("", 9);
    m.AddString("", "");
    m.AddInteger("", 3);
    Replies->Dispatch(m);
  }
  ASSERT_EQ(files.Count(), 1);
  EXPECT_EQ(files.Items(0)->StoredFileSeq, 3);
}

}  // namespace
}  // namespace vantori
