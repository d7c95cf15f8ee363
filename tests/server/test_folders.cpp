// Folders, files, friends, groups, listings, rule breaks, persistence and robustness.

#include "ServerFixture.h"

namespace vantori::server::test {
namespace {

TDataParameter ListMy(std::int32_t user, std::int32_t seq, int hdl = 77) {
  TDataParameter m = Msg(581);
  m.AddInteger("UserSeq", user);
  m.AddInteger("Owner", -1);
  m.AddInteger("Seq", seq);
  m.AddInteger("Hdl", hdl);
  return m;
}

TDataParameter ListFriend(std::int32_t owner, std::int32_t friendSeq, std::int32_t seq) {
  TDataParameter m = Msg(583);
  m.AddInteger("Seq", seq);
  m.AddInteger("UserSeq", owner);
  m.AddInteger("FriendSeq", friendSeq);
  m.AddInteger("Hdl", 5);
  return m;
}

TDataParameter Create(std::int32_t user, const std::string& name, std::int32_t parent,
                      const char* pub = "F") {
  TDataParameter m = Msg(18);
  m.AddInteger("UserSeq", user);
  m.AddString("Name", name);
  m.AddInteger("Owner", parent);
  m.AddString("Pub", pub);
  m.AddString("Comment", "c");
  m.AddString("Pass", "");
  m.AddInteger("Hdl", 0x1234);
  m.AddInteger("FF", 1);
  return m;
}

// Folder rows (8 values) and file rows (14 values) of a 582 reply: name -> seq.
std::map<std::string, std::int32_t> Rows582(const TDataParameter& r,
                                            std::map<std::string, std::int32_t>* files = nullptr) {
  std::map<std::string, std::int32_t> folders;
  int i = 2;
  while (i < r.Count()) {
    if (r.Params(i).AsInteger() == 0) {
      folders[r.Params(i + 2).AsString()] = r.Params(i + 1).AsInteger();
      i += 8;
    } else {
      if (files) (*files)[r.Params(i + 2).AsString()] = r.Params(i + 1).AsInteger();
      i += 14;
    }
  }
  EXPECT_EQ(i, r.Count()) << "rows do not end at the end of the message";
  return folders;
}

std::int32_t FriendSeqOf(TServerDb& db, std::int32_t owner, std::int32_t other) {
  std::int32_t seq = 0;
  db.Run([&] { seq = db.FriendEntry(owner, other)->Seq; });
  return seq;
}

class FolderTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    OpenSession(M.Ann, "ann", "ann-pass1");
  }
  std::map<std::string, std::int32_t> MyFolders(std::int32_t seq,
                                                std::map<std::string, std::int32_t>* files = nullptr) {
    TDataParameter r = AskOne(ListMy(M.Ann, seq), 582);
    EXPECT_EQ(TypeOf(r), 582);
    EXPECT_EQ(r.FindParam("result"), nullptr);
    return Rows582(r, files);
  }
};

TEST_F(FolderTest, ListingRowsFollowTheRowLayout) {
  TDataParameter r = AskOne(ListMy(M.Ann, M.AnnFolder, 99), 582);
  ASSERT_EQ(TypeOf(r), 582);
  EXPECT_EQ(r.Params(1).Name(), "Hdl");
  EXPECT_EQ(r.Params(1).AsInteger(), 99);
  ASSERT_EQ(r.Count(), 2 + 14);
  EXPECT_EQ(r.Params(2).AsInteger(), 1);
  EXPECT_EQ(r.Params(3).AsInteger(), M.AnnFile);
  EXPECT_EQ(r.Params(4).AsString(), "a.txt");
  EXPECT_EQ(r.Params(5).AsInt64(), 5 * 1024 * 1024);
  EXPECT_EQ(r.Params(6).AsInt64(), 5 * 1024 * 1024);
  EXPECT_EQ(r.Params(7).AsInteger(), M.AnnFolder);
  EXPECT_EQ(r.Params(10).AsInteger(), 30);  // days left
  EXPECT_EQ(r.Params(12).Type(), ParamType::Real);
  EXPECT_EQ(r.Params(13).AsInteger(), M.Ann);  // uploader
  EXPECT_GT(r.Params(15).AsInteger(), 0);      // stored-file number

  TDataParameter top = AskOne(ListMy(M.Ann, -1), 582);
  ASSERT_EQ(top.Count(), 2 + 8);
  EXPECT_EQ(top.Params(3).AsInteger(), M.AnnFolder);
  EXPECT_EQ(top.Params(5).AsInteger(), -1);
  EXPECT_EQ(top.Params(6).AsString(), "F");
  EXPECT_EQ(UnscrambleText(top.Params(9).AsString()), "");

  // A failed listing carries "result" = false and the code.
  TDataParameter failed = AskOne(ListMy(M.Ann, M.BenShared), 582);
  ASSERT_NE(failed.FindParam("result"), nullptr);
  EXPECT_FALSE(failed.Params(1).AsBoolean());
  EXPECT_EQ(CodeOf(failed), kErrNoFolder);
}

TEST_F(FolderTest, CreateRenameMoveCopyDeleteFolders) {
  TDataParameter created = AskOne(Create(M.Ann, "music", -1, "T"), 19);
  ASSERT_TRUE(Ok(created)) << CodeOf(created);
  EXPECT_EQ(created.ParamByName("Hdl").AsInteger(), 0x1234);
  EXPECT_EQ(created.ParamByName("FF").AsInteger(), 1);
  const std::int32_t music = created.ParamByName("Seq").AsInteger();
  const std::int32_t sub = AskOne(Create(M.Ann, "sub", music), 19).ParamByName("Seq").AsInteger();
  EXPECT_EQ(MyFolders(-1).count("music"), 1u);
  EXPECT_EQ(MyFolders(music).at("sub"), sub);

  TDataParameter rename = Msg(24);
  rename.AddInteger("UserSeq", M.Ann);
  rename.AddString("Name", "songs");
  rename.AddInteger("Owner", -1);
  rename.AddInteger("Seq", music);
  rename.AddInteger("Hdl", 7);
  rename.AddInteger("FF", 0);
  TDataParameter renamed = AskOne(rename, 25);
  ASSERT_TRUE(Ok(renamed));
  EXPECT_EQ(renamed.ParamByName("Hdl").AsInteger(), 7);
  EXPECT_EQ(MyFolders(-1).count("songs"), 1u);

  // Move docs under songs/sub.
  TDataParameter move = Msg(26);
  move.AddInteger("UserSeq", M.Ann);
  move.AddInteger("SSeq", M.AnnFolder);
  move.AddInteger("TSeq", sub);
  move.AddInteger("SHdl", 1);
  move.AddInteger("THdl", 2);
  TDataParameter moved = AskOne(move, 27);
  ASSERT_TRUE(Ok(moved)) << CodeOf(moved);
  EXPECT_EQ(moved.ParamByName("SHdl").AsInteger(), 1);
  EXPECT_EQ(moved.ParamByName("THdl").AsInteger(), 2);
  EXPECT_EQ(MyFolders(sub).count("docs"), 1u);

  // Copy my own songs folder to the top under... a name clash first, then into a new folder.
  const std::int32_t backup = AskOne(Create(M.Ann, "backup", -1), 19).ParamByName("Seq").AsInteger();
  TDataParameter copy = Msg(42);
  copy.AddInteger("TUser", M.Ann);
  copy.AddInteger("TSeq", backup);
  copy.AddInteger("SUser", M.Ann);
  copy.AddInteger("THdl", 3);
  copy.AddInteger("K", 0);
  copy.AddInteger("S", music);
  copy.AddInteger("O", -1);
  TDataParameter copied = AskOne(copy, 43);
  ASSERT_TRUE(Ok(copied)) << CodeOf(copied);
  EXPECT_EQ(copied.ParamByName("THdl").AsInteger(), 3);
  const std::int32_t copyOfSongs = MyFolders(backup).at("songs");
  const std::int32_t copyOfSub = MyFolders(copyOfSongs).at("sub");
  const std::int32_t copyOfDocs = MyFolders(copyOfSub).at("docs");
  std::map<std::string, std::int32_t> files;
  MyFolders(copyOfDocs, &files);
  EXPECT_EQ(files.count("a.txt"), 1u);
  EXPECT_NE(files.at("a.txt"), M.AnnFile);

  // Delete the original tree (tree delete, scrambled values) and the copy (list delete).
  TDataParameter del = Msg(22);
  del.AddString("", Scr(-1));
  del.AddString("", Scr(M.Ann));
  del.AddString("", Scr(11));
  del.AddString("", Scr(music));
  EXPECT_TRUE(Ok(AskOne(del, 23)));
  EXPECT_EQ(MyFolders(-1).count("songs"), 0u);
  TDataParameter delItems = Msg(44);
  const std::string hdl = Scr(4711);
  delItems.AddString("", hdl);
  delItems.AddString("", Scr(M.Ann));
  delItems.AddString("", Scr(0));
  delItems.AddString("", Scr(backup));
  TDataParameter deleted = AskOne(delItems, 45);
  ASSERT_TRUE(Ok(deleted));
  EXPECT_EQ(deleted.ParamByName("Hdl").AsString(), hdl);  // the scrambled text comes back as it was
  EXPECT_TRUE(MyFolders(-1).empty());
  // The copied file's stored data went with the last entry that used it.
  TDataParameter total = Msg(258);
  total.AddInteger("UserSeq", M.Ann);
  EXPECT_EQ(AskOne(total, 259).ParamByName("UpSize").AsInt64(), 0);
}

TEST_F(FolderTest, FilesAreRenamedMovedAndDescribed) {
  const std::int32_t other = AskOne(Create(M.Ann, "other", -1), 19).ParamByName("Seq").AsInteger();
  TDataParameter rename = Msg(58);
  rename.AddInteger("UserSeq", M.Ann);
  rename.AddString("Name", "b.txt");
  rename.AddInteger("Seq", M.AnnFile);
  rename.AddInteger("Folder", M.AnnFolder);
  rename.AddInteger("Hdl", 9);
  TDataParameter renamed = AskOne(rename, 59);
  ASSERT_TRUE(Ok(renamed));
  EXPECT_EQ(renamed.ParamByName("Hdl").AsInteger(), 9);

  TDataParameter info = Msg(61);
  info.AddInteger("UserSeq", M.Ann);
  info.AddInteger("Seq", M.AnnFile);
  info.AddString("Name", "c.txt");
  info.AddString("Comment", "hello");
  EXPECT_TRUE(Ok(AskOne(info, 62)));

  // Move by the list (progress per item, then Done), then back by a paste of cut items.
  TDataParameter move = Msg(28);
  move.AddInteger("SUser", M.Ann);
  move.AddInteger("TUser", M.Ann);
  move.AddInteger("SHdl", 1);
  move.AddInteger("TSeq", other);
  move.AddInteger("THdl", 2);
  move.AddInteger("K", 1);
  move.AddInteger("S", M.AnnFile);
  auto answer = Converse({{move, {}, [](const TDataParameter& m) {
                             const TParamDef* done = m.FindParam("Done");
                             return !done || done->AsBoolean();
                           }}})[0];
  ASSERT_EQ(answer.size(), 2u);
  EXPECT_TRUE(Ok(answer[0]));
  EXPECT_FALSE(answer[0].ParamByName("Done").AsBoolean());
  EXPECT_EQ(answer[0].ParamByName("Name").AsString(), "c.txt");
  EXPECT_TRUE(answer[0].ParamByName("Kind").AsBoolean());
  EXPECT_TRUE(answer[1].ParamByName("Done").AsBoolean());
  std::map<std::string, std::int32_t> files;
  MyFolders(other, &files);
  EXPECT_EQ(files.count("c.txt"), 1u);

  TDataParameter paste = Msg(96);
  paste.AddInteger("SUser", M.Ann);
  paste.AddInteger("THdl", 3);
  paste.AddInteger("TSeq", M.AnnFolder);
  paste.AddInteger("", 1);
  paste.AddInteger("", M.Ann);
  paste.AddInteger("", M.AnnFile);
  EXPECT_TRUE(Ok(AskOne(paste, 97)));
  files.clear();
  MyFolders(M.AnnFolder, &files);
  EXPECT_EQ(files.count("c.txt"), 1u);

  TDataParameter details = Msg(269);
  details.AddInteger("UserSeq", M.Ann);
  TDataParameter listing = AskOne(ListMy(M.Ann, M.AnnFolder), 582);
  details.AddInteger("FileSeq", listing.Params(15).AsInteger());
  TDataParameter d = AskOne(details, 270);
  ASSERT_TRUE(Ok(d));
  EXPECT_EQ(d.ParamByName("User").AsString(), "ann");
  EXPECT_EQ(d.ParamByName("DownByte").AsInt64(), 0);
}

// Folder rows (9 values) and file rows (15 values) of a 584 reply: names.
std::vector<std::string> Rows584(const TDataParameter& r) {
  std::vector<std::string> names;
  int i = 2;
  while (i < r.Count()) {
    if (r.Params(i).AsInteger() == 0) {
      names.push_back(r.Params(i + 3).AsString() + "/");
      i += 9;
    } else {
      names.push_back(r.Params(i + 3).AsString());
      i += 15;
    }
  }
  EXPECT_EQ(i, r.Count());
  return names;
}

TEST_F(FolderTest, FriendListingsKeepSharingAndAdultRules) {
  const std::int32_t annToBen = FriendSeqOf(FServer->Db(), M.Ann, M.Ben);
  TDataParameter top = AskOne(ListFriend(M.Ben, annToBen, -1), 584);
  ASSERT_EQ(TypeOf(top), 584);
  // Shared tops, the shared folder inside a private one, the adult folder for an adult; never
  // the private folder.
  EXPECT_EQ(Rows584(top), (std::vector<std::string>{"shared/", "inner-shared/", "adult/", "locked/"}));
  // The protected folder's password travels scrambled so that the client can ask for it.
  for (int i = 2; i < top.Count(); i += 9) {
    if (top.Params(i + 3).AsString() == "locked") {
      EXPECT_EQ(UnscrambleText(top.Params(i + 8).AsString()), "sesame");
    }
  }
  EXPECT_EQ(Rows584(AskOne(ListFriend(M.Ben, annToBen, M.BenShared), 584)),
            (std::vector<std::string>{"nested/", "song.mp3"}));
  // Sub-folders of a shared folder are shared with it.
  EXPECT_EQ(Rows584(AskOne(ListFriend(M.Ben, annToBen, M.BenNested), 584)),
            (std::vector<std::string>{"deep.txt"}));
  EXPECT_EQ(CodeOf(AskOne(ListFriend(M.Ben, annToBen, M.BenPrivate), 584)), kErrNoFolder);

  // The kid sees neither the adult folder nor its contents.
  OpenSession(M.Kid, "kid", "kid-pass1");
  const std::int32_t kidToBen = FriendSeqOf(FServer->Db(), M.Kid, M.Ben);
  EXPECT_EQ(Rows584(AskOne(ListFriend(M.Ben, kidToBen, -1), 584)),
            (std::vector<std::string>{"shared/", "inner-shared/", "locked/"}));
  EXPECT_EQ(CodeOf(AskOne(ListFriend(M.Ben, kidToBen, M.BenAdult), 584)), kErrNoFolder);
  // Naming Ann's friend entry does not let the kid's connection read as Ann.
  auto answers =
      Converse({{ListFriend(M.Ben, kidToBen, -1), {584}}, {ListFriend(M.Ben, annToBen, M.BenAdult), {584}}});
  ASSERT_EQ(answers[1].size(), 1u);
  EXPECT_EQ(CodeOf(answers[1][0]), kErrNotYours);
}

TEST_F(FolderTest, FriendsAndGroups) {
  auto group = [&](const std::string& name, std::int32_t parent) {
    TDataParameter m = Msg(283);
    m.AddInteger("UserSeq", M.Ann);
    m.AddString("Name", name);
    m.AddInteger("Owner", parent);
    m.AddInteger("Hdl", 8);
    return AskOne(m, 284);
  };
  TDataParameter school = group("school", -1);
  ASSERT_TRUE(Ok(school));
  EXPECT_EQ(school.ParamByName("Hdl").AsInteger(), 8);
  const std::int32_t schoolSeq = school.ParamByName("Seq").AsInteger();
  const std::int32_t clubSeq = group("club", -1).ParamByName("Seq").AsInteger();

  TDataParameter add = Msg(36);
  add.AddInteger("UserSeq", M.Ann);
  add.AddString("FriendID", " KID ");
  add.AddInteger("GroupSeq", schoolSeq);
  TDataParameter added = AskOne(add, 37);
  ASSERT_TRUE(Ok(added)) << CodeOf(added);
  EXPECT_EQ(added.ParamByName("FriendID").AsString(), "kid");
  EXPECT_EQ(added.ParamByName("FriendUserSeq").AsInteger(), M.Kid);
  const std::int32_t kidEntry = added.ParamByName("FriendSeq").AsInteger();

  TDataParameter list = Msg(281);
  list.AddInteger("UserSeq", M.Ann);
  list.AddInteger("GroupSeq", -1);
  list.AddInteger("Hdl", 6);
  TDataParameter rows = AskOne(list, 282);
  ASSERT_EQ(TypeOf(rows), 282);
  EXPECT_EQ(rows.Params(1).AsInteger(), 6);
  // two group rows of 5, then Ben's friend row of 6
  ASSERT_EQ(rows.Count(), 2 + 5 + 5 + 6);
  EXPECT_EQ(rows.Params(2).AsInteger(), 3);
  EXPECT_EQ(rows.Params(5).AsInteger(), schoolSeq);
  EXPECT_EQ(rows.Params(6).AsString(), "school");
  EXPECT_EQ(rows.Params(12).AsInteger(), 2);
  EXPECT_EQ(rows.Params(15).AsInteger(), M.Ben);
  EXPECT_EQ(rows.Params(16).AsString(), "Ben");
  EXPECT_EQ(rows.Params(17).AsInteger(), -1);

  TDataParameter rename = Msg(287);
  rename.AddInteger("UserSeq", M.Ann);
  rename.AddString("Name", "uni");
  rename.AddInteger("Owner", -1);
  rename.AddInteger("Seq", schoolSeq);
  rename.AddInteger("Hdl", 1);
  EXPECT_TRUE(Ok(AskOne(rename, 288)));

  TDataParameter moveGroup = Msg(289);
  moveGroup.AddInteger("UserSeq", M.Ann);
  moveGroup.AddInteger("SSeq", schoolSeq);
  moveGroup.AddInteger("TSeq", clubSeq);
  moveGroup.AddInteger("SHdl", 1);
  moveGroup.AddInteger("THdl", 2);
  EXPECT_TRUE(Ok(AskOne(moveGroup, 290)));
  // ...but not the club into the group now below it
  moveGroup.Clear();
  moveGroup = Msg(289);
  moveGroup.AddInteger("UserSeq", M.Ann);
  moveGroup.AddInteger("SSeq", clubSeq);
  moveGroup.AddInteger("TSeq", schoolSeq);
  moveGroup.AddInteger("SHdl", 1);
  moveGroup.AddInteger("THdl", 2);
  EXPECT_EQ(CodeOf(AskOne(moveGroup, 290)), kErrWrongFolderInfo);

  TDataParameter moveFriend = Msg(291);
  moveFriend.AddInteger("UserSeq", M.Ann);
  moveFriend.AddInteger("SSeq", kidEntry);
  moveFriend.AddInteger("TSeq", -1);
  moveFriend.AddInteger("SHdl", 3);
  moveFriend.AddInteger("THdl", 4);
  TDataParameter movedFriend = AskOne(moveFriend, 292);
  ASSERT_TRUE(Ok(movedFriend));
  EXPECT_EQ(movedFriend.ParamByName("THdl").AsInteger(), 4);

  TDataParameter delFriend = Msg(40);
  delFriend.AddString("", Scr(kidEntry));
  delFriend.AddString("", Scr(M.Ann));
  delFriend.AddString("", Scr(M.Kid));
  delFriend.AddString("", Scr(5));
  EXPECT_TRUE(Ok(AskOne(delFriend, 41)));

  TDataParameter delGroup = Msg(285);
  delGroup.AddString("", Scr(M.Ann));
  delGroup.AddString("", Scr(clubSeq));
  delGroup.AddString("", Scr(5));
  EXPECT_TRUE(Ok(AskOne(delGroup, 286)));
  // Only Ben is left, at the top.
  EXPECT_EQ(AskOne(list, 282).Count(), 2 + 6);
}

TEST_F(FolderTest, DownloadExpansionStreamsEveryFolderAndFile) {
  TDataParameter m = Msg(587);
  m.AddInteger("UserSeq", M.Ben);
  m.AddInteger("Folders", 1);
  m.AddInteger("SFolders", 2);
  m.AddInteger("Files", 3);
  m.AddInteger("", M.Ben);
  m.AddInteger("", M.BenShared);
  m.AddInteger("", -1);
  auto replies = Ask(m, {588});
  ASSERT_EQ(replies.size(), 4u);  // the shared folder's file, the nested folder, its file, the end
  std::vector<int> types;
  for (const auto& r : replies) types.push_back(TypeOf(r));
  EXPECT_EQ(types, (std::vector<int>{731, 730, 731, 588}));
  EXPECT_EQ(replies[0].ParamByName("Files").AsInteger(), 3);
  EXPECT_EQ(replies[0].Params(7).AsString(), "song.mp3");
  EXPECT_EQ(replies[0].Params(8).AsInt64(), 4096);
  EXPECT_EQ(replies[0].Params(10).AsInteger(), M.BenShared);
  EXPECT_EQ(replies[1].ParamByName("SFolders").AsInteger(), 2);
  EXPECT_EQ(replies[1].Params(6).AsInteger(), M.BenNested);
  EXPECT_EQ(replies[1].Params(7).AsString(), "nested");
  EXPECT_EQ(replies[1].Params(8).AsInteger(), M.BenShared);
  EXPECT_TRUE(Ok(replies[3]));

  // A private folder cannot be expanded.
  TDataParameter priv = Msg(587);
  priv.AddInteger("UserSeq", M.Ben);
  priv.AddInteger("Folders", 1);
  priv.AddInteger("SFolders", 2);
  priv.AddInteger("Files", 3);
  priv.AddInteger("", M.Ben);
  priv.AddInteger("", M.BenPrivate);
  priv.AddInteger("", -1);
  TDataParameter refused = AskOne(priv, 588);
  EXPECT_EQ(CodeOf(refused), kErrNoFolder);
  EXPECT_EQ(refused.ParamByName("SFolders").AsInteger(), 2);
}

TEST_F(FolderTest, UploadRegistrationCreatesTheFolderTree) {
  TDataParameter m = Msg(256);
  m.AddInteger("UserSeq", M.Ann);
  m.AddInteger("Hdl", 42);
  m.AddInteger("Root", M.AnnFolder);
  auto entry = [&](const char* name, int index, int parent) {
    m.AddString("", name);
    m.AddInteger("", index);
    m.AddInteger("", parent);
    m.AddString("", "F");
    m.AddString("", "");
    m.AddString("", "");
  };
  entry("photos", -9999, M.AnnFolder);
  entry("2024", -9998, -9999);
  TDataParameter r = AskOne(m, 257);
  ASSERT_TRUE(Ok(r)) << CodeOf(r);
  EXPECT_EQ(r.Params(2).AsInteger(), 42);
  ASSERT_EQ(r.Count(), 3 + 8);
  EXPECT_EQ(r.Params(3).AsInteger(), -9999);
  const std::int32_t photos = r.Params(5).AsInteger();
  EXPECT_EQ(r.Params(7).AsInteger(), -9998);
  EXPECT_EQ(r.Params(10).AsInteger(), photos);
  EXPECT_EQ(MyFolders(M.AnnFolder).at("photos"), photos);
  EXPECT_EQ(MyFolders(photos).at("2024"), r.Params(9).AsInteger());
}

TEST_F(FolderTest, StorageExtensionChargesAndQueriesPeriods) {
  TDataParameter query = Msg(917);
  query.AddInteger("UserSeq", M.Ann);
  query.AddInteger("Date", 30);
  query.AddInteger("", M.AnnFolder);
  query.AddInteger("", -1);
  query.AddString("", "docs");
  auto rows = Ask(query, {918});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(TypeOf(rows[0]), 920);
  EXPECT_EQ(rows[0].Params(7).AsString(), "a.txt");
  EXPECT_EQ(rows[0].Params(13).AsInteger(), 30);

  auto extend = [&](int days, bool coins) {
    TDataParameter m = Msg(893);
    m.AddString("", ScrambleText(PadRightBlanks(std::to_string(M.Ann), 10) +
                                 PadRightBlanks(std::to_string(days), 5)));
    m.AddInteger("UserSeq", M.Ann);
    m.AddBoolean("CoinPay", coins);
    m.AddInteger("IncDate", days);
    m.AddInteger("", 0);
    m.AddInteger("", M.AnnFolder);
    return Ask(m, {894, 895, 896}).back();
  };
  // 5 MB is one unit; 10 days cost 10 coins of Ann's 100.
  TDataParameter done = extend(10, true);
  ASSERT_EQ(TypeOf(done), 894);
  ASSERT_TRUE(Ok(done)) << CodeOf(done);
  EXPECT_EQ(done.ParamByName("Spend").AsInteger(), 10);
  EXPECT_EQ(done.ParamByName("Size").AsInt64(), 5 * 1024 * 1024);
  // 20 days in points: 20 > 50? no, 20 <= 50, so this passes; 30 more would not.
  TDataParameter points = extend(20, false);
  EXPECT_EQ(TypeOf(points), 894);
  TDataParameter tooLong = extend(5, false);  // now 60 days left
  EXPECT_EQ(CodeOf(tooLong), kErrExtensionOver60);
  TDataParameter outOfRange = extend(31, true);
  EXPECT_EQ(CodeOf(outOfRange), kErrExtensionDays);
  FServer->Db().Run([&] {
    auto me = FServer->Db().MemberBySeq(M.Ann);
    EXPECT_EQ(me->Coins, 90);
    EXPECT_EQ(me->Points, 30);
  });
}

// Each request breaks one rule; the reply carries the code of that rule and changes nothing.
TEST_F(FolderTest, RuleBreaksAnswerTheirCodes) {
  auto copyFrom = [&](std::int32_t source, std::int32_t kind, std::int32_t seq) {
    TDataParameter m = Msg(42);
    m.AddInteger("TUser", M.Ann);
    m.AddInteger("TSeq", -1);
    m.AddInteger("SUser", source);
    m.AddInteger("THdl", 1);
    m.AddInteger("K", kind);
    m.AddInteger("S", seq);
    m.AddInteger("O", -1);
    return m;
  };
  auto moveFolder = [&](std::int32_t s, std::int32_t t) {
    TDataParameter m = Msg(26);
    m.AddInteger("UserSeq", M.Ann);
    m.AddInteger("SSeq", s);
    m.AddInteger("TSeq", t);
    m.AddInteger("SHdl", 1);
    m.AddInteger("THdl", 2);
    return m;
  };
  auto addFriend = [&](const char* id) {
    TDataParameter m = Msg(36);
    m.AddInteger("UserSeq", M.Ann);
    m.AddString("FriendID", id);
    m.AddInteger("GroupSeq", -1);
    return m;
  };
  auto group = [&](const char* name, std::int32_t parent) {
    TDataParameter m = Msg(283);
    m.AddInteger("UserSeq", M.Ann);
    m.AddString("Name", name);
    m.AddInteger("Owner", parent);
    m.AddInteger("Hdl", 8);
    return m;
  };
  auto deleteItem = [&](std::int32_t kind, std::int32_t seq) {
    TDataParameter m = Msg(44);
    m.AddString("", Scr(1));
    m.AddString("", Scr(M.Ann));
    m.AddString("", Scr(kind));
    m.AddString("", Scr(seq));
    return m;
  };
  const std::int32_t sub = AskOne(Create(M.Ann, "sub", M.AnnFolder), 19).ParamByName("Seq").AsInteger();
  struct Case {
    const char* what;
    TDataParameter request;
    int reply;
    int code;
  } cases[] = {
      {"name taken among siblings", Create(M.Ann, "docs", -1), 19, kErrFolderNameTaken},
      {"empty folder name", Create(M.Ann, "  ", -1), 19, kErrEmptyFolderName},
      {"path in a folder name", Create(M.Ann, "a\\b", -1), 19, kErrInvalidRequest},
      {"bad sharing flag", Create(M.Ann, "x", -1, "Q"), 19, kErrInvalidRequest},
      {"parent of another member", Create(M.Ann, "x", M.BenShared), 19, kErrNoFolder},
      {"missing parent", Create(M.Ann, "x", 999999), 19, kErrNoFolder},
      {"folder moved into itself", moveFolder(M.AnnFolder, M.AnnFolder), 27, kErrWrongFolderInfo},
      {"folder moved into its child", moveFolder(M.AnnFolder, sub), 27, kErrWrongFolderInfo},
      {"another member's folder moved", moveFolder(M.BenShared, -1), 27, kErrNoFolder},
      {"copy from a non-friend", copyFrom(M.Kid, 0, M.BenShared), 43, kErrNotFriend},
      {"copy of a friend's private folder", copyFrom(M.Ben, 0, M.BenPrivate), 43, kErrNoFolder},
      {"copy of a friend's private file", copyFrom(M.Ben, 1, M.BenPrivateFile), 43, kErrNoFile},
      {"copy of a missing folder", copyFrom(M.Ben, 0, 999999), 43, kErrNoFolder},
      {"delete of another member's file", deleteItem(1, M.BenSharedFile), 45, kErrNoFile},
      {"delete of a missing folder", deleteItem(0, 999999), 45, kErrNoFolder},
      {"unknown friend ID", addFriend("nobody"), 37, kErrUnknownUserID},
      {"friend already listed", addFriend("ben"), 37, kErrAlreadyFriend},
      {"myself as a friend", addFriend("ann"), 37, kErrAlreadyFriend},
      {"empty group name", group(" ", -1), 284, kErrEmptyGroupName},
      {"group under a missing group", group("g", 999999), 284, kErrNoGroup},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDataParameter reply = AskOne(c.request, c.reply);
    ASSERT_EQ(TypeOf(reply), c.reply);
    EXPECT_FALSE(Ok(reply));
    EXPECT_EQ(CodeOf(reply), c.code);
  }
  // The failure reply of a folder creation still carries the handles the client needs.
  TDataParameter failed = AskOne(Create(M.Ann, "docs", -1), 19);
  EXPECT_EQ(failed.ParamByName("Hdl").AsInteger(), 0x1234);
  EXPECT_EQ(failed.ParamByName("FF").AsInteger(), 1);
  // Nothing changed.
  EXPECT_EQ(MyFolders(-1), (std::map<std::string, std::int32_t>{{"docs", M.AnnFolder}}));
}

TEST_F(FolderTest, LimitsOnFoldersFriendsAndGroups) {
  FServer->Db().Run([&] {
    for (int i = 1; i < kMaxFoldersPerMember; ++i) {
      TFolder f;
      f.UserSeq = M.Ann;
      f.Parent = M.AnnFolder;
      f.Name = "f" + std::to_string(i);
      FServer->Db().AddFolder(f);
    }
    for (int i = 0; i < kMaxGroups; ++i) FServer->Db().AddGroup({0, M.Ann, -1, "g" + std::to_string(i)});
  });
  EXPECT_EQ(CodeOf(AskOne(Create(M.Ann, "one-too-many", -1), 19)), kErrFolderLimit);
  TDataParameter g = Msg(283);
  g.AddInteger("UserSeq", M.Ann);
  g.AddString("Name", "extra");
  g.AddInteger("Owner", -1);
  g.AddInteger("Hdl", 1);
  EXPECT_EQ(CodeOf(AskOne(g, 284)), kErrGroupLimit);
}

TEST_F(FolderTest, ARestartKeepsEveryChange) {
  const std::int32_t music = AskOne(Create(M.Ann, "music", -1, "T"), 19).ParamByName("Seq").AsInteger();
  TDataParameter add = Msg(36);
  add.AddInteger("UserSeq", M.Ann);
  add.AddString("FriendID", "kid");
  add.AddInteger("GroupSeq", -1);
  ASSERT_TRUE(Ok(AskOne(add, 37)));
  Restart();
  // The session survives the restart as well.
  EXPECT_EQ(MyFolders(-1).at("music"), music);
  TDataParameter list = Msg(281);
  list.AddInteger("UserSeq", M.Ann);
  list.AddInteger("GroupSeq", -1);
  list.AddInteger("Hdl", 6);
  EXPECT_EQ(AskOne(list, 282).Count(), 2 + 6 + 6);
}

TEST_F(FolderTest, MalformedFrameClosesOnlyItsConnection) {
  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"body that does not decode", MakeFrame(Bytes{0x03, 0x01, 0, 0, 0, 0x07})},
      {"unknown message type",
       [] {
         TDataParameter m = Msg(4242);
         auto body = m.Encode();
         return MakeFrame(Bytes(body.begin(), body.end()));
       }()},
      {"length above the limit", Bytes{0x01, 0x00, 0x20, 0x00}},
      {"empty message", MakeFrame(Bytes{})},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A second connection stays usable while the bad one is closed.
    TcpSocket good;
    good.Connect("127.0.0.1", FPort, 2000);
    TcpSocket bad;
    bad.Connect("127.0.0.1", FPort, 2000);
    bad.Write(c.bytes);
    TFrameReader badReader(bad);
    badReader.SetTimeout(5000);
    TDataParameter ignored;
    EXPECT_EQ(badReader.ReadFrame(ignored), FrameEnd::Closed);

    TDataParameter request = ListMy(M.Ann, -1);
    WriteFrame(good, request);
    TFrameReader goodReader(good);
    goodReader.SetTimeout(5000);
    TDataParameter reply;
    ASSERT_EQ(goodReader.ReadFrame(reply), FrameEnd::Message);
    EXPECT_EQ(TypeOf(reply), 582);
  }
  EXPECT_TRUE(FServer->Running());
}

}  // namespace
}  // namespace vantori::server::test
