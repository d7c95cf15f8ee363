// The request builders: names, kinds, values and order of every request's parameters, and
// the bytes of the records that travel encrypted.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "folders/URequests.h"
#include "settings/UFunction.h"

namespace vantori {
namespace {

// One expected parameter: i integer, s text, S scrambled text (compared unscrambled),
// b Boolean, D encrypted record.
struct TWant {
  std::string Name;
  char Kind;
  std::string Value;  // decimal for i and b
};

bool IsIntegerType(ParamType t) {
  switch (t) {
    case ParamType::ShortInt:
    case ParamType::Byte:
    case ParamType::SmallInt:
    case ParamType::Word:
    case ParamType::Integer:
    case ParamType::LongWord:
    case ParamType::Int64:
      return true;
    default:
      return false;
  }
}

void ExpectParams(const TDataParameter& m, const std::vector<TWant>& want) {
  ASSERT_EQ(m.Count(), static_cast<int>(want.size()));
  for (int i = 0; i < m.Count(); ++i) {
    const TParamDef& p = m.Params(i);
    const TWant& w = want[static_cast<std::size_t>(i)];
    SCOPED_TRACE("parameter " + std::to_string(i) + " '" + w.Name + "'");
    EXPECT_EQ(p.Name(), w.Name);
    switch (w.Kind) {
      case 'i':
        EXPECT_TRUE(IsIntegerType(p.Type()));
        EXPECT_EQ(std::to_string(p.AsInt64()), w.Value);
        break;
      case 's':
        EXPECT_EQ(p.Type(), ParamType::String);
        EXPECT_EQ(p.AsString(), w.Value);
        break;
      case 'S':
        EXPECT_EQ(p.Type(), ParamType::String);
        EXPECT_EQ(UnscrambleText(p.AsString()), w.Value);
        break;
      case 'b':
        EXPECT_EQ(p.Type(), ParamType::Boolean);
        EXPECT_EQ(std::to_string(p.RawBoolean()), w.Value);
        break;
      case 'D':
        EXPECT_EQ(p.Type(), ParamType::Encript);
        break;
      default:
        FAIL() << "bad kind";
    }
  }
}

TWant I(std::string name, std::int64_t v) {
  return {std::move(name), 'i', std::to_string(v)};
}
TWant S(std::string name, std::string v) {
  return {std::move(name), 's', std::move(v)};
}
TWant Scr(std::string name, std::string v) {
  return {std::move(name), 'S', std::move(v)};
}
TWant Scr(std::int64_t v) {
  return {"", 'S', std::to_string(v)};
}
TWant B(std::string name, bool v) {
  return {std::move(name), 'b', v ? "1" : "0"};
}
TWant T(std::int64_t type) {
  return I("T", type);
}
std::string H(const THandleObject& o) {
  return std::to_string(o.Handle());
}
TWant Hdl(std::string name, const THandleObject& o) {
  return I(std::move(name), o.Handle());
}

class Requests : public ::testing::Test {
 public:
  Requests() {
    c.UserSeq = 1001;
    c.UserID = " Demo ";
    c.Password = "pw";
    c.AdultPermission = true;
    c.Serial = 0xDEADBEEFu;
    c.Tick = 123456;

    mine.Kind = nkFolder;
    mine.Seq = 50;
    mine.Owner = -1;
    mine.Name = "docs";
    mine.Caption = "new name";
    mine.Pub = "T";
    mine.Comment = "c";
    mine.Pass = "p";
    mine.UserSeq = 1001;
    target.Seq = 60;
    group.Kind = nkFriendGroup;
    group.Caption = "pals";
    group.GroupSeq = 8;
    group.ParentGroup = 3;
    buddy.Kind = nkFriend;
    buddy.Seq = -1;
    buddy.FriendSeq = 77;
    buddy.UserSeq = 2002;
    buddy.GroupSeq = 8;

    folderRow.Kind = nkFolder;
    folderRow.FolderSeq = 51;
    folderRow.ParentSeq = 50;
    folderRow.FolderName = "sub";
    folderRow.DisplayName = "sub2";
    folderRow.Pub = "F";
    folderRow.FolderComment = "fc";
    folderRow.Pass = "fp";
    folderRow.UserSeq = 2002;
    fileRow.Kind = nkFile;
    fileRow.FileSeq = 700;
    fileRow.FolderSeq = 51;
    fileRow.StoredFileSeq = 9000;
    fileRow.CurSize = 5'000'000'000LL;
    fileRow.DisplayName = "f.txt";
    fileRow.UserSeq = 2002;
    upRow.Kind = nkParentRow;
    upRow.FolderSeq = 1;
  }

  TRequestContext c;
  TFolderItem mine, target, group, buddy;
  TFFItem folderRow, fileRow, upRow;
  TDataParameter m;
  std::int32_t dropsHandle = 0;
};

struct TCase {
  const char* Name;
  std::function<void(Requests&, TDataParameter&)> Build;
  std::function<std::vector<TWant>(Requests&)> Want;
};

TEST_F(Requests, EveryBuilderSendsItsParametersInWireOrder) {
  const std::vector<TCase> cases = {
      {"ListMyFolder", [](auto& f, auto& m) { BuildListMyFolder(m, f.c, f.mine); },
       [](auto& f) {
         return std::vector<TWant>{T(581), I("UserSeq", 1001), I("Owner", -1), I("Seq", 50),
                                   Hdl("Hdl", f.mine)};
       }},
      {"ListMyClubs", [](auto& f, auto& m) { BuildListMyClubs(m, f.c, f.mine); },
       [](auto& f) {
         return std::vector<TWant>{T(294), I("UserSeq", 1001), Hdl("Hdl", f.mine)};
       }},
      {"CreateFolder", [](auto& f, auto& m) { BuildCreateFolder(m, f.c, f.mine); },
       [](auto& f) {
         return std::vector<TWant>{T(18),          I("UserSeq", 1001), S("Name", "new name"),
                                   I("Owner", -1), S("Pub", "T"),      S("Comment", "c"),
                                   S("Pass", "p"), Hdl("Hdl", f.mine), I("FF", 0)};
       }},
      {"CreateListFolder", [](auto& f, auto& m) { BuildCreateListFolder(m, f.c, f.folderRow); },
       [](auto& f) {
         return std::vector<TWant>{T(18),           I("UserSeq", 1001),      S("Name", "sub2"),
                                   I("Owner", 50),  S("Pub", "F"),           S("Comment", "fc"),
                                   S("Pass", "fp"), Hdl("Hdl", f.folderRow), I("FF", 1)};
       }},
      {"CreateFriendGroup", [](auto& f, auto& m) { BuildCreateFriendGroup(m, f.c, f.group); },
       [](auto& f) {
         return std::vector<TWant>{T(283), I("UserSeq", 1001), S("Name", "pals"), I("Owner", 3),
                                   Hdl("Hdl", f.group)};
       }},
      {"DeleteFolder", [](auto& f, auto& m) { BuildDeleteFolder(m, f.c, f.mine); },
       [](auto& f) {
         return std::vector<TWant>{T(22), Scr(-1), Scr(1001), Scr("", H(f.mine)), Scr(50)};
       }},
      {"DeleteItems",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.upRow, &f.folderRow, &f.fileRow};
         BuildDeleteItems(m, f.c, f.mine, sel);
       },
       [](auto& f) {
         return std::vector<TWant>{T(44), Scr("", H(f.mine)), Scr(1001), Scr(0), Scr(51), Scr(1), Scr(700)};
       }},
      {"DeleteItems of the parent row only",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.upRow};
         BuildDeleteItems(m, f.c, f.mine, sel);
       },
       [](auto& f) {
         return std::vector<TWant>{T(44), Scr("", H(f.mine)), Scr(1001)};
       }},
      {"RenameFolder", [](auto& f, auto& m) { BuildRenameFolder(m, f.c, f.mine); },
       [](auto& f) {
         return std::vector<TWant>{T(24),          I("UserSeq", 1001), S("Name", "new name"),
                                   I("Owner", -1), I("Seq", 50),       Hdl("Hdl", f.mine),
                                   I("FF", 0)};
       }},
      {"RenameListFolder", [](auto& f, auto& m) { BuildRenameListFolder(m, f.c, f.folderRow); },
       [](auto& f) {
         return std::vector<TWant>{T(24),        I("UserSeq", 1001),      S("Name", "sub2"), I("Owner", 50),
                                   I("Seq", 51), Hdl("Hdl", f.folderRow), I("FF", 1)};
       }},
      {"RenameFile", [](auto& f, auto& m) { BuildRenameFile(m, f.c, f.fileRow); },
       [](auto& f) {
         return std::vector<TWant>{T(58),         I("UserSeq", 1001), S("Name", "f.txt"),
                                   I("Seq", 700), I("Folder", 51),    Hdl("Hdl", f.fileRow)};
       }},
      {"RenameFriendGroup", [](auto& f, auto& m) { BuildRenameFriendGroup(m, f.c, f.group); },
       [](auto& f) {
         return std::vector<TWant>{T(287),        I("UserSeq", 1001), S("Name", "pals"),
                                   I("Owner", 3), I("Seq", 8),        Hdl("Hdl", f.group)};
       }},
      {"MoveFolder", [](auto& f, auto& m) { BuildMoveFolder(m, f.c, f.mine, f.target); },
       [](auto& f) {
         return std::vector<TWant>{T(26),         I("UserSeq", 1001),  I("SSeq", 50),
                                   I("TSeq", 60), Hdl("SHdl", f.mine), Hdl("THdl", f.target)};
       }},
      {"MoveItems",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.folderRow, &f.upRow, &f.fileRow};
         BuildMoveItems(m, f.c, sel, f.mine, f.target);
       },
       [](auto& f) {
         return std::vector<TWant>{T(28),
                                   I("SUser", 1001),
                                   I("TUser", 1001),
                                   Hdl("SHdl", f.mine),
                                   I("TSeq", 60),
                                   Hdl("THdl", f.target),
                                   I("K", 0),
                                   I("S", 51),
                                   I("K", 1),
                                   I("S", 700)};
       }},
      {"MoveFriendGroup", [](auto& f, auto& m) { BuildMoveFriendGroup(m, f.c, f.group, f.group); },
       [](auto& f) {
         return std::vector<TWant>{T(289),       I("UserSeq", 1001),   I("SSeq", 8),
                                   I("TSeq", 8), Hdl("SHdl", f.group), Hdl("THdl", f.group)};
       }},
      {"MoveFriend", [](auto& f, auto& m) { BuildMoveFriend(m, f.c, f.buddy, f.group); },
       [](auto& f) {
         return std::vector<TWant>{T(291),       I("UserSeq", 1001),   I("SSeq", 77),
                                   I("TSeq", 8), Hdl("SHdl", f.buddy), Hdl("THdl", f.group)};
       }},
      {"ChangeFolderInfo",
       [](auto& f, auto& m) { BuildChangeFolderInfo(m, f.c, f.mine, "n", "A", "pw2", "cm"); },
       [](auto& f) {
         return std::vector<TWant>{
             T(589),         I("UserSeq", 1001), I("Owner", -1), I("Seq", 50),    Hdl("Hdl", f.mine),
             S("Name", "n"), S("Comment", "cm"), S("Pub", "A"),  S("Pass", "pw2")};
       }},
      {"ChangeListFolderInfo",
       [](auto& f, auto& m) { BuildChangeListFolderInfo(m, f.c, f.folderRow, "n", "T", "", ""); },
       [](auto& f) {
         return std::vector<TWant>{T(589),           I("UserSeq", 1001),      I("Owner", 50),
                                   I("Seq", 51),     Hdl("Hdl", f.folderRow), S("Name", "n"),
                                   S("Comment", ""), S("Pub", "T"),           S("Pass", "")};
       }},
      {"ListFriends", [](auto& f, auto& m) { BuildListFriends(m, f.c, f.group, -1); },
       [](auto& f) {
         return std::vector<TWant>{T(281), I("UserSeq", 1001), I("GroupSeq", -1), Hdl("Hdl", f.group)};
       }},
      {"AddFriend", [](auto& f, auto& m) { BuildAddFriend(m, f.c, "bob", 8); },
       [](auto&) {
         return std::vector<TWant>{T(36), I("UserSeq", 1001), S("FriendID", "bob"), I("GroupSeq", 8)};
       }},
      {"ListFriendFolder of a friend", [](auto& f, auto& m) { BuildListFriendFolder(m, f.c, f.buddy); },
       [](auto& f) {
         return std::vector<TWant>{T(583), I("Seq", -1), I("UserSeq", 2002), I("FriendSeq", 77),
                                   Hdl("Hdl", f.buddy)};
       }},
      {"DeleteFriend", [](auto& f, auto& m) { BuildDeleteFriend(m, f.c, f.buddy); },
       [](auto& f) {
         return std::vector<TWant>{T(40), Scr(77), Scr(1001), Scr(2002), Scr("", H(f.buddy))};
       }},
      {"DeleteFriendGroup", [](auto& f, auto& m) { BuildDeleteFriendGroup(m, f.c, f.group); },
       [](auto& f) {
         return std::vector<TWant>{T(285), Scr(1001), Scr(8), Scr("", H(f.group))};
       }},
      {"CopyFriendFolder",
       [](auto& f, auto& m) {
         TFolderItem friendFolder;
         friendFolder.UserSeq = 2002;
         friendFolder.Seq = 90;
         friendFolder.Owner = 89;
         BuildCopyFriendFolder(m, f.c, friendFolder, f.target);
       },
       [](auto& f) {
         return std::vector<TWant>{
             T(42),     I("TUser", 1001), I("TSeq", 60), I("SUser", 2002), Hdl("THdl", f.target),
             I("K", 0), I("S", 90),       I("O", 89)};
       }},
      {"CopyFriendItems",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.upRow, &f.folderRow, &f.fileRow};
         BuildCopyFriendItems(m, f.c, sel, f.target);
       },
       [](auto& f) {
         return std::vector<TWant>{
             T(42),     I("TUser", 1001), I("TSeq", 60), I("SUser", 2002), Hdl("THdl", f.target),
             I("K", 0), I("S", 51),       I("O", 50),    I("K", 1),        I("S", 700),
             I("O", 51)};
       }},
      {"CopyFriendItems without a member",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.upRow};
         BuildCopyFriendItems(m, f.c, sel, f.target);
       },
       [](auto& f) {
         return std::vector<TWant>{T(42), I("TUser", 1001), I("TSeq", 60), I("SUser", -1),
                                   Hdl("THdl", f.target)};
       }},
      {"PasteFriendItems",
       [](auto& f, auto& m) {
         TFFItems items;
         TFFItems::CopyRow(f.fileRow, *items.Add());
         TFFItems::CopyRow(f.folderRow, *items.Add());
         TFolderItems folders;
         folders.Add()->Seq = 90;
         folders.Items(0)->Owner = 89;
         BuildPasteFriendItems(m, f.c, 2002, f.target, items, folders);
       },
       [](auto& f) {
         return std::vector<TWant>{
             T(42),     I("TUser", 1001), I("TSeq", 60), I("SUser", 2002), Hdl("THdl", f.target),
             I("", 0),  I("", 90),        I("", 89),     I("", 1),         I("", 700),
             I("", 51), I("", 0),         I("", 51),     I("", 50)};
       }},
      {"PasteCutItems",
       [](auto& f, auto& m) {
         TFolderItems folders;
         TFolderItem* cut = folders.Add();
         cut->UserSeq = 1001;
         cut->Seq = 55;
         TFFItems items;
         TFFItems::CopyRow(f.fileRow, *items.Add());
         TFFItems::CopyRow(f.folderRow, *items.Add());
         BuildPasteCutItems(m, f.c, f.target, folders, items);
       },
       [](auto& f) {
         return std::vector<TWant>{
             T(96),     I("SUser", 1001), Hdl("THdl", f.target), I("TSeq", 60), I("", 0), I("", 1001),
             I("", 55), I("", 1),         I("", 2002),           I("", 700),    I("", 0), I("", 2002),
             I("", 51)};
       }},
      {"ChangeFileInfo", [](auto& f, auto& m) { BuildChangeFileInfo(m, f.c, 700, "x", "y"); },
       [](auto&) {
         return std::vector<TWant>{T(61), I("UserSeq", 1001), I("Seq", 700), S("Name", "x"),
                                   S("Comment", "y")};
       }},
      {"QueryFileInfo", [](auto& f, auto& m) { BuildQueryFileInfo(m, f.c, f.fileRow); },
       [](auto&) {
         return std::vector<TWant>{T(269), I("UserSeq", 1001), I("FileSeq", 9000)};
       }},
      {"RequestLoginInfo", [](auto& f, auto& m) { BuildRequestLoginInfo(m, f.c); },
       [](auto&) {
         std::string token = PadRightBlanks("123456", 20) + PadRightBlanks("1001", 10) +
                             PadRightBlanks("demo", 21) + PadRightBlanks("pw", 21);
         return std::vector<TWant>{T(76), I("UserSeq", 1001), S("UserID", " Demo "), I("Serial", 0xDEADBEEFu),
                                   Scr("1", token)};
       }},
      {"RequestBalance", [](auto& f, auto& m) { BuildRequestBalance(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(69), Scr("", PadRightBlanks("1001", 10) + PadRightBlanks("123456", 20))};
       }},
      {"QueryUploadTotal", [](auto& f, auto& m) { BuildQueryUploadTotal(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(258), I("UserSeq", 1001)};
       }},
      {"RegisterUpload",
       [](auto& f, auto& m) {
         static TDropItems drops;
         drops.Clear();
         drops.Counter = -10000;
         drops.Root = 60;
         drops.AddPath("/d/top", true);
         drops.AddPath("/d/top/file", false);
         drops.AddPath("/d/top/sub", true);
         drops.LinkParents();
         BuildRegisterUpload(m, f.c, drops);
         f.dropsHandle = drops.Handle();
       },
       [](auto& f) {
         return std::vector<TWant>{T(256),        I("UserSeq", 1001), I("Hdl", f.dropsHandle),
                                   I("Root", 60), S("", "top"),       I("", -9999),
                                   I("", 60),     S("", "F"),         S("", ""),
                                   S("", ""),     S("", "sub"),       I("", -9998),
                                   I("", -9999),  S("", "F"),         S("", ""),
                                   S("", "")};
       }},
      {"ExtendFolderStorage", [](auto& f, auto& m) { BuildExtendFolderStorage(m, f.c, f.mine, 30, true); },
       [](auto&) {
         return std::vector<TWant>{T(893),
                                   Scr("", PadRightBlanks("1001", 10) + PadRightBlanks("30", 5)),
                                   I("UserSeq", 1001),
                                   B("CoinPay", true),
                                   I("IncDate", 30),
                                   I("", 0),
                                   I("", 50)};
       }},
      {"ExtendItemsStorage",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.upRow, &f.fileRow, &f.folderRow};
         BuildExtendItemsStorage(m, f.c, sel, 7, false);
       },
       [](auto&) {
         return std::vector<TWant>{T(893),
                                   Scr("", PadRightBlanks("1001", 10) + PadRightBlanks("7", 5)),
                                   I("UserSeq", 1001),
                                   B("CoinPay", false),
                                   I("IncDate", 7),
                                   I("", 1),
                                   I("", 700),
                                   I("", 9000),
                                   I("", 5'000'000'000LL),
                                   I("", 0),
                                   I("", 51)};
       }},
      {"QueryFolderPeriod", [](auto& f, auto& m) { BuildQueryFolderPeriod(m, f.c, f.mine, 10); },
       [](auto&) {
         return std::vector<TWant>{T(917),    I("UserSeq", 1001), I("Date", 10),
                                   I("", 50), I("", -1),          S("", "docs")};
       }},
      {"QueryListFolderPeriod",
       [](auto& f, auto& m) {
         const TFFItem* sel[] = {&f.fileRow, &f.folderRow};
         BuildQueryListFolderPeriod(m, f.c, sel, 10);
       },
       [](auto&) {
         return std::vector<TWant>{T(917),    I("UserSeq", 1001), I("Date", 10),
                                   I("", 51), I("", 50),          S("", "sub")};
       }},
      {"WithdrawMembership", [](auto& f, auto& m) { BuildWithdrawMembership(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(136), I("Seq", 1001), S("ID", " Demo ")};
       }},
      {"Logout", [](auto& f, auto& m) { BuildLogout(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(275), I("UserSeq", 1001)};
       }},
      {"SendNote", [](auto& f, auto& m) { BuildSendNote(m, f.c, "a;b", "t", "body"); },
       [](auto&) {
         return std::vector<TWant>{T(74), I("UserSeq", 1001), S("Recv", "a;b"), S("Title", "t"),
                                   S("Content", "body")};
       }},
      {"CheckNewNotes", [](auto& f, auto& m) { BuildCheckNewNotes(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(891), I("UserSeq", 1001)};
       }},
      {"ListSearchFolder",
       [](auto& f, auto& m) { BuildListSearchFolder(m, f.c, 2002, 51, 3, 700, 5'000'000'000LL, -7); },
       [](auto&) {
         return std::vector<TWant>{T(939),
                                   I("Self", 1001),
                                   Scr("User", "2002"),
                                   Scr("File", "700"),
                                   Scr("Folder", "51"),
                                   Scr("Disk", "3"),
                                   Scr("Curr", "5000000000"),
                                   Scr("Parit", "-7")};
       }},
      {"ChangePoints", [](auto& f, auto& m) { BuildChangePoints(m, f.c, 500); },
       [](auto&) {
         return std::vector<TWant>{T(277), I("UserSeq", 1001), S("UserID", " Demo "), I("Point", 500)};
       }},
      {"BuyUploadCoupon", [](auto& f, auto& m) { BuildBuyUploadCoupon(m, f.c, 2); },
       [](auto&) {
         return std::vector<TWant>{T(803), {"D", 'D', ""}};
       }},
      {"QueryCouponBalance", [](auto& f, auto& m) { BuildQueryCouponBalance(m, f.c); },
       [](auto&) {
         return std::vector<TWant>{T(805), {"D", 'D', ""}};
       }},
      {"ListSentGifts", [](auto& f, auto& m) { BuildListGifts(m, f.c, "2006-12", false); },
       [](auto&) {
         return std::vector<TWant>{T(1157), {"D", 'D', ""}};
       }},
      {"ListReceivedGifts", [](auto& f, auto& m) { BuildListGifts(m, f.c, "2006-12", true); },
       [](auto&) {
         return std::vector<TWant>{T(1159), {"D", 'D', ""}};
       }},
      {"SendGift", [](auto& f, auto& m) { BuildSendGift(m, f.c, 10, "bob", true, false); },
       [](auto&) {
         return std::vector<TWant>{T(1161), {"D", 'D', ""}};
       }},
      {"SearchFiles", [](auto& f, auto& m) { BuildSearchFiles(m, f.c, TSearchQuery{}); },
       [](auto&) {
         return std::vector<TWant>{T(1198), {"D", 'D', ""}};
       }},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    TDataParameter msg;
    tc.Build(*this, msg);
    ExpectParams(msg, tc.Want(*this));
    // Every message survives its own encoding.
    TDataParameter back;
    back.Decode(msg.Encode());
    EXPECT_EQ(back.Count(), msg.Count());
  }
}

TEST_F(Requests, DownloadListingsNameTheirThreeCollections) {
  TDownFolderItems folders, subFolders;
  TDownFileItems files;
  TDownFolderItem* f1 = folders.Add();
  f1->UserSeq = 2002;
  f1->Seq = 90;
  f1->Owner = -1;
  for (bool web : {false, true}) {
    TDataParameter msg;
    BuildListDownloadItems(msg, c, 2002, folders, files, subFolders, web);
    ExpectParams(msg, {T(web ? 1021 : 587), I("UserSeq", 2002), Hdl("Folders", folders),
                       Hdl("SFolders", subFolders), Hdl("Files", files), I("", 2002), I("", 90), I("", -1)});
  }
}

TEST_F(Requests, ValidationErrorsAddNothing) {
  const TFFItem* files[] = {&fileRow};
  EXPECT_THROW(BuildDeleteItems(m, c, mine, {}), EKXError);
  EXPECT_EQ(m.Count(), 0);
  EXPECT_THROW(BuildQueryListFolderPeriod(m, c, files, 10), EKXError);
  EXPECT_EQ(m.Count(), 0);
  EXPECT_THROW(BuildListGifts(m, c, "2006-13", false), EKXError);
  EXPECT_THROW(BuildListGifts(m, c, "06-12", false), EKXError);
  EXPECT_EQ(m.Count(), 0);
}

std::int32_t At32(const Bytes& b, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}
double AtDouble(const Bytes& b, std::size_t offset) {
  double v;
  std::memcpy(&v, b.data() + offset, 8);
  return v;
}

TEST_F(Requests, CouponRecordLayout) {
  c.UserID = "abcdefghijklmnopqrstuvwxyz";  // longer than its field
  Bytes buy = CouponRecord(c, 2, true);
  ASSERT_EQ(buy.size(), 33u);
  EXPECT_EQ(At32(buy, 0), 1001);
  EXPECT_EQ(std::string(buy.begin() + 4, buy.begin() + 25), "abcdefghijklmnopqrstu");
  EXPECT_EQ(At32(buy, 25), 2);
  EXPECT_EQ(At32(buy, 29), 123456);
  Bytes query = CouponRecord(c, 2, false);
  EXPECT_EQ(At32(query, 25), 0);
}

TEST_F(Requests, GiftPeriodOfDecemberEndsOnNewYearsDay) {
  Bytes dec = GiftPeriodRecord(c, "2006-12");
  ASSERT_EQ(dec.size(), 24u);
  EXPECT_EQ(At32(dec, 0), 1001);
  EXPECT_EQ(AtDouble(dec, 4), EncodeDate(2006, 12, 1));
  EXPECT_EQ(AtDouble(dec, 12), EncodeDate(2007, 1, 1));
  EXPECT_EQ(At32(dec, 20), 123456);
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(2007, 1, 1), 39083.0);
  Bytes feb = GiftPeriodRecord(c, "2008-02");
  EXPECT_EQ(AtDouble(feb, 12) - AtDouble(feb, 4), 29.0);  // leap year
}

TEST_F(Requests, GiftRecordsForNewAndListedGifts) {
  Bytes fresh = GiftRecord(c, -1, 300, "bob", -1, true, false);
  ASSERT_EQ(fresh.size(), 43u);
  EXPECT_EQ(At32(fresh, 0), -1);
  EXPECT_EQ(At32(fresh, 4), 1001);
  EXPECT_EQ(At32(fresh, 8), 300);
  EXPECT_EQ(fresh[12], 3);
  EXPECT_EQ(std::string(fresh.begin() + 13, fresh.begin() + 16), "bob");
  EXPECT_EQ(At32(fresh, 33), -1);
  EXPECT_EQ(fresh[37], 1);
  EXPECT_EQ(fresh[38], 0);
  EXPECT_EQ(At32(fresh, 39), 123456);

  Bytes longName = GiftRecord(c, 1, 1, std::string(30, 'x'), 0, false, true);
  EXPECT_EQ(longName[12], 20);  // clamped to the field
  EXPECT_EQ(longName[33], 0);
}

TEST_F(Requests, SearchRecordLayout) {
  TSearchQuery q;
  q.Keyword = "  Hello World ";
  q.Keyword2 = "\xB0\xA1Z";  // a double-byte character, then a letter
  q.StartRow = 40;
  q.RowsWanted = 21;
  q.FileNames = true;
  q.FolderNames = false;
  q.OpenSearch = true;
  q.AdminSearch = false;
  q.SearchHandle = 17;
  Bytes b = SearchRecord(c, q);
  ASSERT_EQ(b.size(), 538u);
  EXPECT_EQ(At32(b, 0), 1001);
  EXPECT_EQ(b[4], 1);
  EXPECT_EQ(b[5], 0);
  EXPECT_EQ(b[6], 11);
  EXPECT_EQ(std::string(b.begin() + 7, b.begin() + 18), "hello world");
  EXPECT_EQ(b[262], 3);
  EXPECT_EQ(std::string(b.begin() + 263, b.begin() + 266), "\xB0\xA1z");
  EXPECT_EQ(At32(b, 518), 40);
  EXPECT_EQ(At32(b, 522), 21);
  EXPECT_EQ(At32(b, 526), 123456);
  EXPECT_EQ(b[530], 1);
  EXPECT_EQ(b[531], 0);
  EXPECT_EQ(b[532], 1);
  EXPECT_EQ(b[533], 0);
  EXPECT_EQ(At32(b, 534), 17);
}

TEST_F(Requests, ListedGiftActionsNameTheCounterpart) {
  TPointGiftItem gift;
  gift.GiftSeq = 12;
  gift.Value1 = 4;
  gift.GiverID = "alice";
  gift.ReceiverID = "bob";
  gift.Kind = "P";
  gift.Amount = 250;
  for (std::int32_t type : {rtCancelGift, rtAcceptGift, rtRefuseGift}) {
    TDataParameter msg;
    BuildGiftAction(msg, c, type, gift);
    ExpectParams(msg, {T(type), {"D", 'D', ""}});
    // The receiving side decrypts the record.
    TDataParameter back;
    back.Decode(msg.Encode());
    std::span<const std::uint8_t> d = back.ParamByName("D").Data();
    ASSERT_GE(d.size(), 43u);
    Bytes record(d.begin(), d.begin() + 43);
    EXPECT_EQ(At32(record, 0), 12);
    EXPECT_EQ(At32(record, 8), 250);
    std::string counterpart(record.begin() + 13, record.begin() + 13 + record[12]);
    EXPECT_EQ(counterpart, type == rtCancelGift ? "bob" : "alice");
    EXPECT_EQ(At32(record, 33), 4);
    EXPECT_EQ(record[37], 0);
    EXPECT_EQ(record[38], 1);
  }
  EXPECT_THROW(BuildGiftAction(m, c, 1161, gift), EKXError);
}

}  // namespace
}  // namespace vantori
