#include "folders/UReplyHandlers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "folders/UErrorCodes.h"
#include "folders/UNetManager.h"
#include "folders/UWait.h"
#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "settings/ULoginText.h"
#include "settings/UMoneyInfo.h"

namespace vantori {

const char kWaitMyFolderText[] =
    "\xB3\xBB\xC6\xFA\xB4\xF5 \xC1\xA4\xBA\xB8\xB8\xA6 \xC1\xB6\xC8\xB8\xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.";
const char kWaitMyClubsText[] =
    "\xB3\xBB\xC5\xAC\xB7\xB4 \xC1\xA4\xBA\xB8\xB8\xA6 \xC1\xB6\xC8\xB8\xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.";
const char kAdultRefusedText[] =
    "\xBC\xBA\xC0\xCE\xC6\xFA\xB4\xF5\xBF\xA1 \xC1\xA2\xB1\xD9\xC7\xD2 \xBC\xF6 \xC0\xD6\xB4\xC2 "
    "\xB1\xC7\xC7\xD1\xC0\xCC "
    "\xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.\r\r\xC8\xA8\xC6\xE4\xC0\xCC\xC1\xF6\xBF\xA1\xBC\xAD "
    "\xBC\xBA\xC0\xCE\xC0\xCE\xC1\xF5 \xC8\xC4 \xC0\xCC\xBF\xEB\xC0\xCC "
    "\xB0\xA1\xB4\xC9\xC7\xD5\xB4\xCF\xB4\xD9.";
const char kWaitFriendsText[] =
    "\xB3\xBB\xC4\xA3\xB1\xB8 \xC1\xA4\xBA\xB8\xB8\xA6 \xC1\xB6\xC8\xB8\xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.";
const char kWaitFriendFilesText[] =
    "\xB3\xBB\xC4\xA3\xB1\xB8 \xC6\xC4\xC0\xCF\xC0\xBB \xC1\xB6\xC8\xB8\xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.";
const char kConnectionLostText[] =
    "\xBC\xAD\xB9\xF6\xBF\xCD\xC0\xC7 \xC5\xEB\xBD\xC5\xBF\xAC\xB0\xE1\xC0\xCC "
    "\xB2\xF7\xBE\xEE\xC1\xB3\xBD\xC0\xB4\xCF\xB4\xD9.\r\r\xB4\xD9\xBD\xC3 \xC7\xD1\xB9\xF8 "
    "\xBD\xC3\xB5\xB5\xC7\xCF\xBF\xA9 \xC1\xD6\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
const char kFileMovedText[] = " \xC6\xC4\xC0\xCF \xC0\xCC\xB5\xBF\xBF\xCF\xB7\xE1.";
const char kFolderMovedText[] = " \xC6\xFA\xB4\xF5 \xC0\xCC\xB5\xBF\xBF\xCF\xB7\xE1.";
const char kWithdrawnText[] =
    "\xC8\xB8\xBF\xF8\xC5\xBB\xC5\xF0\xB0\xA1 \xBF\xCF\xB7\xE1\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.";
const char kUploadTotalText[] =
    "\xC1\xB6\xC8\xB8\xB0\xA1 "
    "\xBF\xCF\xB7\xE1\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.\r\r\xBB\xE7\xBF\xEB\xC0\xDA\xBA\xD0"
    "\xC0\xCC \xBE\xF7\xB7\xCE\xB5\xE5\xC7\xCF\xBD\xC5 \xC6\xC4\xC0\xCF\xC0\xC7 "
    "\xC3\xD1\xBB\xE7\xC0\xCC\xC1\xEE\xB4\xC2 %S "
    "\xC0\xD4\xB4\xCF\xB4\xD9.";
const char kFolderFoundText[] = " \xC6\xFA\xB4\xF5 \xC1\xB6\xC8\xB8 \xBF\xCF\xB7\xE1.";
const char kFileFoundText[] = " \xC6\xC4\xC0\xCF \xC1\xB6\xC8\xB8 \xBF\xCF\xB7\xE1.";
const char kArrangingDownloadText[] =
    "\xB4\xD9\xBF\xEE\xB7\xCE\xB5\xE5 \xC6\xC4\xC0\xCF\xC1\xA4\xBA\xB8 \xC1\xA4\xB8\xAE\xC1\xDF...";
const char kBalanceErrorText[] = "\xBF\xC0\xB7\xF9 \xB9\xDF\xBB\xFD !";
const char kClubHomeCaption[] = "Vantori \xC5\xAC\xB7\xB4 \xC8\xA8";

// ---- Small helpers --------------------------------------------------------------------------------

namespace {

// The file columns that my and my friends' listings share, from FileSeq on (`i` is
// FileSeq's position), and the list item that shows them. Returns the position after the row.
int ReadFileColumns(const TDataParameter& m, int i, TFFItem& row, double term) {
  row.FileSeq = m.Params(i).AsInteger();
  row.FileName = m.Params(i + 1).AsString();
  row.Size = m.Params(i + 2).AsInt64();
  row.CurSize = m.Params(i + 3).AsInt64();
  row.FolderSeq = m.Params(i + 4).AsInteger();
  row.FileText1 = m.Params(i + 5).AsString();
  row.FileText2 = m.Params(i + 6).AsString();
  row.RemainDays = m.Params(i + 7).AsInteger();
  row.FileComment = m.Params(i + 8).AsString();
  row.UpDate = m.Params(i + 9).AsReal();
  row.UploaderSeq = m.Params(i + 10).AsInteger();
  row.FileText3 = m.Params(i + 11).AsString();
  row.StoredFileSeq = m.Params(i + 12).AsInteger();
  row.DisplayName = row.FileName;
  row.ExpireDate = row.UpDate + term;
  return i + 13;
}

void ShowFileRow(TKXListView& list, TListItem& item, const TFFItem& row) {
  item.Caption = row.FileName;
  item.SubItems[0] = SizeColumnText(row.Size, row.CurSize);
  item.SubItems[1] = DaysColumnText(row.RemainDays);
  item.SubItems[2] = row.FileComment;
  item.ImageIndex = list.FileIcon(row.FileName);
}

// Ends the handler's wait however the handler leaves.
class TEndWaitScope {
 public:
  explicit TEndWaitScope(std::function<void()> end) : FEnd(std::move(end)) {}
  ~TEndWaitScope() {
    try {
      FEnd();
    } catch (...) {
    }
  }
  TEndWaitScope(const TEndWaitScope&) = delete;
  TEndWaitScope& operator=(const TEndWaitScope&) = delete;

 private:
  std::function<void()> FEnd;
};

class TPaintLock {
 public:
  TPaintLock(IFolderWindow& window, bool on) : FWindow(window), FOn(on) {
    if (FOn) FWindow.LockPainting(true);
  }
  ~TPaintLock() {
    if (FOn) FWindow.LockPainting(false);
  }
  TPaintLock(const TPaintLock&) = delete;
  TPaintLock& operator=(const TPaintLock&) = delete;

 private:
  IFolderWindow& FWindow;
  bool FOn;
};

std::int64_t ParseNumber(std::string_view text) {
  std::string t = TrimText(text);
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size())
    throw std::runtime_error(kBalanceErrorText);
  return value;
}

std::int32_t ReadInt32At(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset + 4 > data.size())
    throw EParamError("record of " + std::to_string(data.size()) + " bytes is too short");
  std::int32_t v;
  std::memcpy(&v, data.data() + offset, 4);
  return v;
}

ByteString Unscrambled(const TParamDef& p) {
  return UnscrambleText(p.AsString());
}

// The nearest node at or above `node` of the kind.
const TTreeNode* NearestOfKind(const TTreeNode* node, std::uint8_t kind) {
  for (const TTreeNode* p = node; p; p = p->Parent())
    if (p->Data && p->Data->Kind == kind) return p;
  return nullptr;
}

}  // namespace

bool ReplySucceeded(const TDataParameter& reply) {
  return reply.Params(1).AsBoolean();
}

bool ListingFailed(const TDataParameter& reply) {
  return reply.FindParam("result") != nullptr && !reply.Params(1).AsBoolean();
}

ByteString ReplyErrorText(const TDataParameter& reply) {
  const TParamDef* code = reply.FindParam("Code");
  return ErrorCodeText(code ? code->AsInteger() : kUnregisteredErrorCode);
}

// ---- The folder service over the manager ------------------------------------------------------

void TNetFolderService::ListMyFolder(const TFolderItem& node) {
  FNet.ListMyFolder(node);
}
void TNetFolderService::ListMyClubs(const TFolderItem& node) {
  FNet.ListMyClubs(node);
}
void TNetFolderService::ListFriends(const TFolderItem& node, std::int32_t groupSeq) {
  FNet.ListFriends(node, groupSeq);
}
void TNetFolderService::ListFriendFolder(const TFolderItem& node) {
  FNet.ListFriendFolder(node);
}
void TNetFolderService::Disconnect() {
  FNet.Disconnect();
}

// ---- TFolderReplies -------------------------------------------------------------------------------

TFolderReplies::TFolderReplies(TMyFolder& myTree, TFriendFolder& friendTree, TMyListView& myList,
                               TFriendListView& friendList, TClientConfig& config, TMoneyInfo& money,
                               TWaitControl& wait, IFolderWindow& window, IFolderService* service, TLog* log,
                               TTickFn tick)
    : FMyTree(myTree),
      FFriendTree(friendTree),
      FMyList(myList),
      FFriendList(friendList),
      FConfig(config),
      FMoney(money),
      FWait(wait),
      FWindow(window),
      FService(service),
      FLog(log),
      FTick(tick ? std::move(tick) : TTickFn(&TickCount)) {}

void TFolderReplies::EndWait() {
  FWait.EndWait();
}

void TFolderReplies::LogText(const std::string& text) const {
  if (FLog) FLog->Write(text);
}

bool TFolderReplies::LockEnabled() const {
  return FConfig.ClientLockWindow();
}

void TFolderReplies::ShowReplyError(const TDataParameter& m) {
  FWindow.ShowError(ReplyErrorText(m));
}

void TFolderReplies::ExpectDeletion(TKXFolder& tree, const TTreeNode* node) {
  FDeleteTree = &tree;
  FDeleteHandle = node && node->Data ? node->Data->Handle() : 0;
}

void TFolderReplies::Dispatch(const TDataParameter& m) {
  const std::int32_t type = m.Params(0).AsInteger();
  switch (type) {
    case 17:
    case 99:
      Generic(m);
      break;
    case 19:
      FolderCreated(m);
      break;
    case 23:
    case 286:
      NodeDeleted(m);
      break;
    case 25:
      FolderRenamed(m);
      break;
    case 27:
      FolderMoved(m);
      break;
    case 29:
      ItemsMoved(m);
      break;
    case 33:
      FriendsOfNode(m);
      break;
    case 35:
      Pass(TReplyTarget::FriendDialog, m);
      break;
    case 37:
      if (FWindow.IsWindowOpen(TReplyTarget::FriendDialog))
        Pass(TReplyTarget::FriendDialog, m);
      else
        Pass(TReplyTarget::SearchWindow, m);
      break;
    case 41:
      FriendDeleted(m);
      break;
    case 43:
      CopiedFromFriend(m);
      break;
    case 45:
      ItemsDeleted(m);
      break;
    case 51:
    case 549:
      Pass(TReplyTarget::UploadWindow, m);
      break;
    case 59:
      FileRenamed(m);
      break;
    case 60:
      Balance(m);
      break;
    case 62:
    case 270:
      Pass(TReplyTarget::FileDialog, m);
      break;
    case 73:
    case 890:
      NotesDelivered(m);
      break;
    case 75:
    case 892:
      Pass(TReplyTarget::NotesWindow, m);
      break;
    case kLoginInfoReplyType:
      LoginInformation(m);
      break;
    case 97:
      CutItemsPasted(m);
      break;
    case 122:
      SharingChanged(m);
      break;
    case 137:
      Withdrawn(m);
      break;
    case 142:
    case 186:
    case 265:
    case 1179:
      break;
    case 257:
      UploadRegistered(m);
      break;
    case 259:
      UploadTotal(m);
      break;
    case 263:
      DownloadListingAll(m);
      break;
    case 268:
    case 278:
      Pass(TReplyTarget::PointChangeWindow, m);
      break;
    case 276:
      if (FService) FService->Disconnect();
      break;
    case 282:
      GroupsAndFriends(m);
      break;
    case 284:
      GroupCreated(m);
      break;
    case 288:
      GroupRenamed(m);
      break;
    case 290:
      GroupMoved(m, false);
      break;
    case 292:
      GroupMoved(m, true);
      break;
    case 295:
      MyClubs(m);
      break;
    case 580:
      FWindow.SetStatusText(m.ParamByName("Msg").AsString());
      break;
    case 582:
      MyFolderListing(m);
      break;
    case 584:
      FriendFolderListing(m);
      break;
    case 588:
      DownloadListingDone(m, false);
      break;
    case 1022:
      DownloadListingDone(m, true);
      break;
    case 590:
      Pass(TReplyTarget::FolderDialog, m);
      break;
    case 730:
      DownloadFolderFound(m, false);
      break;
    case 1023:
      DownloadFolderFound(m, true);
      break;
    case 731:
    case 1024:
      DownloadFileFound(m);
      break;
    case 804:
      Pass(TReplyTarget::CouponWindow, m);
      break;
    case 806:
      CouponBalance(m);
      break;
    case 894:
    case 895:
    case 896:
      Pass(TReplyTarget::StorageExtension, m);
      break;
    case 907:
    case 908:
    case 940:
    case 941:
    case 1032:
    case 1046:
    case 1103:
    case 1104:
    case 1106:
    case 1199:
      Pass(TReplyTarget::SearchWindow, m);
      break;
    case 918:
    case 920:
      Pass(TReplyTarget::RemainingPeriodWindow, m);
      break;
    case 1158:
    case 1160:
    case 1162:
    case 1164:
    case 1166:
    case 1168:
      Pass(TReplyTarget::PointGiftWindow, m);
      break;
    case 1210:
      Pass(TReplyTarget::DownloadWindow, m);
      break;
    case 1212:
      ServiceSettings(m);
      break;
    default:
      break;
  }
}

void TFolderReplies::ConnectionLost() {
  if (FWait.Busy()) {
    EndWait();
    FWindow.ShowError(kConnectionLostText);
  } else {
    FWindow.ConnectionLostElsewhere();
  }
}

// ---- Selection ---------------------------------------------------------------------------------

void TFolderReplies::ConnectSelectionHandlers() {
  FMyTree.OnChanging = [this](TTreeNode* node, bool& allow) { MyNodeChanging(node, allow); };
  FMyTree.OnChange = [this](TTreeNode* node) { MyNodeSelected(node); };
  FFriendTree.OnChanging = [this](TTreeNode* node, bool& allow) { FriendNodeChanging(node, allow); };
  FFriendTree.OnChange = [this](TTreeNode* node) { FriendNodeSelected(node); };
}

void TFolderReplies::MyNodeSelected(TTreeNode* node) {
  if (!Ready || !node || !node->Data) return;
  LastMyNode = node;
  try {
    const TFolderItem& rec = *node->Data;
    if (rec.Kind == nkServiceRoot) {
      if (FMyTree.ShowNotice) {
        FWindow.ShowNoticePage(true);
      } else {
        FWindow.ShowNoticePage(false);
        TListChange change(FMyList);
        FMyList.ClearRows();
        FMyList.AddMyFoldersRow();
      }
    } else {
      FWindow.ShowNoticePage(false);
      FMyList.ClearRows();
      if (rec.Loaded) {
        TListChange change(FMyList);
        if (node->Level() > 1) FMyList.AddUpRow();
        FMyTree.ShowCached(node, FMyList);
      } else if (rec.Kind == nkFolder || rec.Kind == nkMyFoldersRoot || rec.Kind == nkClubsRoot) {
        const bool clubs = rec.Kind == nkClubsRoot;
        if (!clubs) FMyTree.DeleteChildren(node);
        MyListingReceived = false;
        if (FService) {
          if (clubs)
            FService->ListMyClubs(rec);
          else
            FService->ListMyFolder(rec);
        }
        if (!MyListingReceived) {
          const char* text = clubs ? kWaitMyClubsText : kWaitMyFolderText;
          if (FirstMyWait) {
            FirstMyWait = false;
            FWait.ShowWaitDialog(text);
          } else {
            FWait.BeginWait(text);
          }
        }
      }
    }
  } catch (const std::exception& e) {
    LogText(std::string("MyNodeSelected : ") + e.what());
    FWindow.ShowError(e.what());
  }
  FWindow.DiscardInput();
}

void TFolderReplies::MyNodeChanging(TTreeNode* node, bool& allow) {
  if (!Ready || !node || !node->Data) return;
  if (node->Data->Pub == kPubAdult && !FConfig.AdultPermission) {
    FWindow.ShowError(kAdultRefusedText);
    allow = false;
  }
}

void TFolderReplies::FriendNodeSelected(TTreeNode* node) {
  if (!Ready || !node || !node->Data) return;
  try {
    if (FFriendList.Count() > 0) {
      TPaintLock lock(FWindow, LockEnabled());
      FFriendList.ClearRows();
    }
    const TFolderItem& rec = *node->Data;
    if (rec.Loaded) {
      TListChange change(FFriendList);
      if (node->Level() > 0) FFriendList.AddUpRow();
      FFriendTree.ShowCached(node, FFriendList);
    } else {
      FriendListingReceived = false;
      bool friends = true;
      if (FService) {
        if (node->Level() == 0)
          FService->ListFriends(rec, -1);
        else if (rec.Kind == nkFriendGroup)
          FService->ListFriends(rec, rec.GroupSeq);
        else
          friends = false;
        if (!friends) FService->ListFriendFolder(rec);
      } else {
        friends = node->Level() == 0 || rec.Kind == nkFriendGroup;
      }
      if (!FriendListingReceived) {
        if (friends && FirstFriendWait) {
          FirstFriendWait = false;
          FWait.ShowWaitDialog(kWaitFriendsText);
        } else {
          FWait.BeginWait(friends ? kWaitFriendsText : kWaitFriendFilesText);
        }
      }
    }
  } catch (const std::exception& e) {
    LogText(std::string("FriendNodeSelected : ") + e.what());
    FWindow.ShowError(e.what());
  }
  FWindow.DiscardInput();
}

void TFolderReplies::FriendNodeChanging(TTreeNode* node, bool& allow) {
  if (!node || !node->Data) return;
  const TFolderItem& rec = *node->Data;
  if (rec.Pub == kPubAdult && !FConfig.AdultPermission) {
    FWindow.ShowError(kAdultRefusedText);
    allow = false;
    return;
  }
  if (!TrimText(rec.Pass).empty()) {
    const ByteString title = rec.OwnerName + " (" + node->Text + ")";
    if (!FWindow.AskFolderPassword(title, rec.Pass)) allow = false;
  }
}

// ---- Generic replies, login information --------------------------------------------------------

void TFolderReplies::Generic(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) ShowReplyError(m);
}

void TFolderReplies::LoginInformation(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  LoginInfo = ApplyLoginInfo(m, FConfig, FMoney, FTick(), LocalNowDays());
  LoginInfoReceived = true;
  if (LoginInfo.Ok) {
    FMyTree.ShowNotice = !LoginInfo.Notice.empty();
    FWindow.BalanceChanged();
  } else if (!LoginInfo.ErrorText.empty()) {
    FWindow.ShowError(LoginInfo.ErrorText);
  }
  FWindow.LoginInfoHandled(LoginInfo);
}

// ---- Folders of my tree -----------------------------------------------------------------------------

void TFolderReplies::FolderCreated(const TDataParameter& m) {
  if (FWindow.IsWindowOpen(TReplyTarget::FolderDialog)) {
    Pass(TReplyTarget::FolderDialog, m);
    return;
  }
  TEndWaitScope end([this] { EndWait(); });
  TPaintLock lock(FWindow, LockEnabled());
  const bool fromList = m.ParamByName("FF").AsBoolean();
  const std::int64_t handle = m.ParamByName("Hdl").AsInt64();
  if (ReplySucceeded(m)) {
    const std::int32_t seq = m.ParamByName("Seq").AsInteger();
    if (!fromList) {
      if (TTreeNode* node = FMyTree.NodeOfHandle(handle)) node->Data->Seq = seq;
      return;
    }
    TFFItem* row = FMyList.RowOfHandle(handle);
    TListItem* item = FMyList.ItemOfRow(row);
    if (!row || !item) return;
    row->FolderSeq = seq;
    TTreeNode* parent = FMyTree.Selected();
    if (!parent) return;
    TTreeChange change(FMyTree);
    TFolderItem* rec = nullptr;
    FMyTree.AddNode(parent, item->Caption, FolderNodeImage(row->Pub, !row->Pass.empty(), false), &rec);
    rec->UserSeq = FConfig.UserSeq();
    rec->Seq = seq;
    rec->Name = row->FolderName;
    rec->Owner = row->ParentSeq;
    rec->Caption = item->Caption;
    rec->Pub = row->Pub;
    rec->Extra = row->Extra;
    rec->Comment = row->FolderComment;
    rec->Pass = row->Pass;
    FMyTree.SortChildren(parent);
  } else {
    ShowReplyError(m);
    if (fromList)
      FMyList.DeleteRow(FMyList.ItemOfRow(FMyList.RowOfHandle(handle)));
    else
      FMyTree.DeleteNode(FMyTree.NodeOfHandle(handle));
  }
}

void TFolderReplies::NodeDeleted(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  TPaintLock lock(FWindow, LockEnabled());
  TKXFolder* tree = FDeleteTree;
  const std::int32_t handle = FDeleteHandle;
  FDeleteTree = nullptr;
  FDeleteHandle = 0;
  if (!ReplySucceeded(m)) {
    // The item still exists on the server: its node stays.
    ShowReplyError(m);
    return;
  }
  TKXFolder* expected = m.Params(0).AsInteger() == 23 ? static_cast<TKXFolder*>(&FMyTree) : &FFriendTree;
  if (tree == expected && handle != 0) tree->DeleteNode(tree->NodeOfHandle(handle));
}

void TFolderReplies::FriendDeleted(const TDataParameter& m) {
  NodeDeleted(m);
}

void TFolderReplies::FolderRenamed(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  if (m.ParamByName("FF").AsInteger() != 1) return;
  TFFItem* row = FMyList.RowOfHandle(m.ParamByName("Hdl").AsInt64());
  TListItem* item = FMyList.ItemOfRow(row);
  if (!row || !item) return;
  TListChange listChange(FMyList);
  row->FolderName = row->DisplayName = item->Caption;
  TTreeNode* parent = FMyTree.Selected();
  if (!parent) return;
  for (int i = 0; i < parent->Count(); ++i) {
    TTreeNode* child = parent->Item(i);
    if (child->Data && child->Data->Seq == row->FolderSeq) {
      TTreeChange change(FMyTree);
      child->Text = item->Caption;
      child->Data->Name = child->Data->Caption = item->Caption;
      break;
    }
  }
}

void TFolderReplies::FileRenamed(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TFFItem* row = FMyList.RowOfHandle(m.ParamByName("Hdl").AsInt64());
  TListItem* item = FMyList.ItemOfRow(row);
  if (!row || !item) return;
  row->FileName = row->DisplayName = item->Caption;
  FMyList.RefreshImage(item);
}

void TFolderReplies::ItemsDeleted(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  TPaintLock lock(FWindow, LockEnabled());
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  const std::int64_t handle = ParseScrambledHandle(m.ParamByName("Hdl").AsString());
  FMyTree.DeleteChildren(FMyTree.NodeOfHandle(handle));
}

void TFolderReplies::FolderMoved(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* source = FMyTree.NodeOfHandle(m.ParamByName("SHdl").AsInt64());
  TTreeNode* target = FMyTree.NodeOfHandle(m.ParamByName("THdl").AsInt64());
  if (!source || !target) return;
  FMyTree.MoveNode(source, target);
  source->Data->Owner = target->Data->Seq;
}

void TFolderReplies::ItemsMoved(const TDataParameter& m) {
  if (!ReplySucceeded(m)) {
    TEndWaitScope end([this] { EndWait(); });
    MovedFolderSeqs.clear();
    ShowReplyError(m);
    return;
  }
  const TParamDef* done = m.FindParam("Done");
  if (done && done->AsBoolean()) {
    TEndWaitScope end([this] { EndWait(); });
    std::vector<std::int32_t> seqs;
    seqs.swap(MovedFolderSeqs);
    if (seqs.empty())
      for (TListItem* item : FMyList.SelectedItems())
        if (item->Data && item->Data->Kind == nkFolder) seqs.push_back(item->Data->FolderSeq);
    TTreeChange change(FMyTree);
    for (std::int32_t seq : seqs) FMyTree.DeleteBySeq(seq);
    return;
  }
  // One item moved: a progress line; the wait goes on until the last reply.
  const bool file = m.ParamByName("Kind").AsBoolean();
  FWindow.AddWaitProgress(m.ParamByName("Name").AsString() + (file ? kFileMovedText : kFolderMovedText));
}

void TFolderReplies::CopiedFromFriend(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* target = FMyTree.NodeOfHandle(m.ParamByName("THdl").AsInt64());
  if (!target || target->Level() <= 1) return;
  TTreeChange change(FMyTree);
  target->SetImage(FolderNodeImage(target->Data->Pub, target->Data->HasPassword(), false));
}

void TFolderReplies::SharingChanged(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* target = FMyTree.NodeOfHandle(m.ParamByName("THdl").AsInt64());
  if (!target || target->Level() <= 1) return;
  TTreeChange change(FMyTree);
  // The same image rule as everywhere else, so an adult or protected folder keeps its mark.
  target->SetImage(FolderNodeImage(target->Data->Pub, target->Data->HasPassword(), false));
}

void TFolderReplies::CutItemsPasted(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeChange change(FMyTree);
  if (CutFolders) {
    for (const auto& rec : *CutFolders) FMyTree.DeleteBySeq(rec->Seq);
    CutFolders->Clear();
    CutFolders->Source = nullptr;
  }
  if (CutItems) {
    for (const auto& row : *CutItems)
      if (row->Kind == nkFolder) FMyTree.DeleteBySeq(row->FolderSeq);
    CutItems->Clear();
    CutItems->Source = nullptr;
  }
}

void TFolderReplies::Withdrawn(const TDataParameter& m) {
  EndWait();
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  FWindow.ShowInformation(kWithdrawnText);
  FWindow.Terminate();
}

// ---- Listings ---------------------------------------------------------------------------------

void TFolderReplies::MyFolderListing(const TDataParameter& m) {
  TEndWaitScope end([this] {
    MyListingReceived = true;
    EndWait();
  });
  TPaintLock lock(FWindow, LockEnabled());
  if (ListingFailed(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* node = FMyTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64());
  if (!node) return;  // the listed folder is gone
  TTreeChange treeChange(FMyTree);
  TListChange listChange(FMyList);
  const std::int32_t me = FConfig.UserSeq();
  const ByteString myID = FConfig.UserID();
  const double term = FConfig.StorageTerm.load();
  FMyTree.ClearCachedRows(node);
  FMyList.ClearRows();
  TTreeNode* selected = FMyTree.Selected();
  if (selected && selected->Level() > 1) FMyList.AddUpRow();

  std::vector<const TFFItem*> cached;
  for (int i = 2; i < m.Count();) {
    if (m.Params(i).AsInteger() == 0) {
      TFolderItem* rec = nullptr;
      const std::int32_t seq = m.Params(i + 1).AsInteger();
      const ByteString name = m.Params(i + 2).AsString();
      const std::int32_t owner = m.Params(i + 3).AsInteger();
      const ByteString pub = m.Params(i + 4).AsString();
      const ByteString extra = m.Params(i + 5).AsString();
      const ByteString comment = m.Params(i + 6).AsString();
      const ByteString pass = Unscrambled(m.Params(i + 7));
      i += 8;
      FMyTree.AddNode(node, name, FolderNodeImage(pub, !pass.empty(), false), &rec);
      rec->UserSeq = me;
      rec->Seq = seq;
      rec->Name = rec->Caption = name;
      rec->Owner = owner;
      rec->Pub = pub;
      rec->Extra = extra;
      rec->Comment = comment;
      rec->Pass = pass;
      FMyTree.StoreFolder(*rec);
      TFFItem* row = nullptr;
      FMyList.AddItem(name, "", "", comment, FolderRowImage(pub, !pass.empty(), false), &row);
      row->Kind = nkFolder;
      row->UserSeq = me;
      row->OwnerName = myID;
      row->FolderSeq = seq;
      row->FolderName = row->DisplayName = name;
      row->ParentSeq = node->Data->Seq;
      row->Pub = pub;
      row->Extra = extra;
      row->FolderComment = comment;
      row->Pass = pass;
      cached.push_back(row);
    } else {
      TFFItem* row = nullptr;
      TListItem* item = FMyList.AddItem("", "", "", "", 0, &row);
      row->Kind = nkFile;
      row->UserSeq = me;
      row->OwnerName = myID;
      i = ReadFileColumns(m, i + 1, *row, term);
      ShowFileRow(FMyList, *item, *row);
      cached.push_back(row);
    }
  }
  FMyTree.StoreRows(node, cached);
  node->Data->Loaded = true;
  FMyTree.SortChildren(node);
  FMyList.Sort(FMyList.SortColumn);
}

void TFolderReplies::FriendFolderListing(const TDataParameter& m) {
  TEndWaitScope end([this] {
    FriendListingReceived = true;
    EndWait();
  });
  TPaintLock lock(FWindow, LockEnabled());
  if (ListingFailed(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* node = FFriendTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64());
  if (!node) return;
  TTreeChange treeChange(FFriendTree);
  TListChange listChange(FFriendList);
  const TTreeNode* friendNode = NearestOfKind(node, nkFriend);
  const ByteString friendName = friendNode ? friendNode->Text : ByteString();
  const double term = FConfig.StorageTerm.load();
  FFriendTree.ClearFriendRows(node);
  FFriendList.ClearRows();
  TTreeNode* selected = FFriendTree.Selected();
  if (selected && selected->Level() > 0) FFriendList.AddUpRow();

  std::vector<const TFFItem*> cached;
  for (int i = 2; i < m.Count();) {
    if (m.Params(i).AsInteger() == 0) {
      const std::int32_t userSeq = m.Params(i + 1).AsInteger();
      const std::int32_t seq = m.Params(i + 2).AsInteger();
      const ByteString name = m.Params(i + 3).AsString();
      const std::int32_t owner = m.Params(i + 4).AsInteger();
      const ByteString pub = m.Params(i + 5).AsString();
      const ByteString extra = m.Params(i + 6).AsString();
      const ByteString comment = m.Params(i + 7).AsString();
      const ByteString pass = Unscrambled(m.Params(i + 8));
      i += 9;
      TFolderItem* rec = nullptr;
      FFriendTree.AddNode(node, name, FolderNodeImage(pub, !pass.empty(), true), &rec);
      rec->UserSeq = userSeq;
      rec->Seq = seq;
      rec->Name = name;
      rec->Owner = owner;
      rec->Pub = pub;
      rec->Extra = extra;
      rec->Comment = comment;
      rec->Pass = pass;
      rec->OwnerName = friendName;
      // The friend entry travels with the listing requests of the folder's own contents.
      rec->FriendSeq = node->Data->FriendSeq;
      FFriendTree.StoreFolder(*rec);
      TFFItem* row = nullptr;
      FFriendList.AddItem(name, "", "", comment, FolderRowImage(pub, !pass.empty(), true), &row);
      row->Kind = nkFolder;
      row->UserSeq = userSeq;
      row->OwnerName = row->OwnerName2 = friendName;
      row->FriendSeq = node->Data->FriendSeq;
      row->FolderSeq = seq;
      row->FolderName = row->DisplayName = name;
      row->ParentSeq = node->Data->Seq;
      row->Pub = pub;
      row->Extra = extra;
      row->FolderComment = comment;
      row->Pass = pass;
      cached.push_back(row);
    } else {
      TFFItem* row = nullptr;
      TListItem* item = FFriendList.AddItem("", "", "", "", 0, &row);
      row->Kind = nkFile;
      row->UserSeq = m.Params(i + 1).AsInteger();
      row->OwnerName = row->OwnerName2 = friendName;
      i = ReadFileColumns(m, i + 2, *row, term);
      ShowFileRow(FFriendList, *item, *row);
      cached.push_back(row);
    }
  }
  FFriendTree.StoreRows(node, cached);
  node->Data->Loaded = true;
  FFriendTree.SortChildren(node);
  FFriendList.Sort(FFriendList.SortColumn);
}

void TFolderReplies::GroupsAndFriends(const TDataParameter& m) {
  TEndWaitScope end([this] {
    FriendListingReceived = true;
    EndWait();
  });
  TPaintLock lock(FWindow, LockEnabled());
  if (ListingFailed(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* node = FFriendTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64());
  if (!node) return;
  TTreeChange treeChange(FFriendTree);
  TListChange listChange(FFriendList);
  FFriendTree.ClearFriendRows(node);
  FFriendList.ClearRows();
  TTreeNode* selected = FFriendTree.Selected();
  if (selected && selected->Level() > 0) FFriendList.AddUpRow();

  auto hasChild = [node](auto&& match) {
    for (int c = 0; c < node->Count(); ++c)
      if (node->Item(c)->Data && match(*node->Item(c)->Data)) return true;
    return false;
  };
  for (int i = 2; i < m.Count();) {
    if (m.Params(i).AsInteger() == nkFriendGroup) {
      const std::int32_t userSeq = m.Params(i + 1).AsInteger();
      const std::int32_t parentGroup = m.Params(i + 2).AsInteger();
      const std::int32_t groupSeq = m.Params(i + 3).AsInteger();
      const ByteString groupName = m.Params(i + 4).AsString();
      i += 5;
      if (!hasChild(
              [&](const TFolderItem& r) { return r.Kind == nkFriendGroup && r.GroupSeq == groupSeq; })) {
        TFolderItem* rec = nullptr;
        FFriendTree.AddNode(node, groupName, fiGroup, &rec);
        rec->Kind = nkFriendGroup;
        rec->UserSeq = userSeq;
        rec->GroupSeq = groupSeq;
        rec->ParentGroup = parentGroup;
        rec->GroupName = groupName;
        rec->FriendSeq = -1;
        rec->OwnerName.clear();
        FFriendTree.StoreGroup(*rec);
      }
      TFFItem* row = nullptr;
      FFriendList.AddItem(groupName, "", "", "", liUserGroup, &row);
      row->Kind = nkFriendGroup;
      row->FriendSeq = -1;
      row->UserSeq = userSeq;
      row->GroupSeq = groupSeq;
      row->ParentGroup = parentGroup;
      row->GroupName = groupName;
      FFriendTree.StoreGroupRow(node, *row);
    } else {
      const std::int32_t friendSeq = m.Params(i + 1).AsInteger();
      const std::int32_t userSeq = m.Params(i + 3).AsInteger();
      const ByteString name = m.Params(i + 4).AsString();
      const std::int32_t groupSeq = m.Params(i + 5).AsInteger();
      i += 6;
      if (!hasChild([&](const TFolderItem& r) { return r.UserSeq == userSeq; })) {
        TFolderItem* rec = nullptr;
        FFriendTree.AddNode(node, name, fiFriend, &rec);
        rec->Kind = nkFriend;
        rec->UserSeq = userSeq;
        rec->FriendSeq = friendSeq;
        rec->OwnerName = name;
        rec->GroupSeq = groupSeq;
        FFriendTree.StoreFriend(*rec);
      }
      TFFItem* row = nullptr;
      FFriendList.AddItem(name, "", "", "", liSingleUser, &row);
      row->Kind = nkFriend;
      row->FriendSeq = friendSeq;
      row->UserSeq = userSeq;
      row->OwnerName = name;
      row->GroupSeq = groupSeq;
      FFriendTree.StoreGroupRow(node, *row);
    }
  }
  node->Data->Loaded = true;
  FFriendTree.SortChildren(node);
  FFriendList.Sort(FFriendList.SortColumn);
}

void TFolderReplies::FriendsOfNode(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  TPaintLock lock(FWindow, LockEnabled());
  TTreeNode* node = FFriendTree.Selected();
  if (const TParamDef* hdl = m.FindParam("Hdl")) node = FFriendTree.NodeOfHandle(hdl->AsInt64());
  TListChange listChange(FFriendList);
  FFriendList.ClearRows();
  if (node && node->Level() > 0) FFriendList.AddUpRow();
  for (int i = 2; i + 3 < m.Count(); i += 4) {
    const std::int32_t friendSeq = m.Params(i).AsInteger();
    const std::int32_t userSeq = m.Params(i + 2).AsInteger();
    const ByteString name = m.Params(i + 3).AsString();
    if (node) {
      bool found = false;
      for (int c = 0; c < node->Count() && !found; ++c)
        found = node->Item(c)->Data && node->Item(c)->Data->UserSeq == userSeq;
      if (!found) {
        TFolderItem* rec = nullptr;
        FFriendTree.AddNode(node, name, fiFriend, &rec);
        rec->Kind = nkFriend;
        rec->Seq = -1;
        rec->UserSeq = userSeq;
        rec->FriendSeq = friendSeq;
        rec->OwnerName = name;
      }
    }
    TFFItem* row = nullptr;
    FFriendList.AddItem(name, "", "", "", liSingleUser, &row);
    row->Kind = nkFriend;
    row->FriendSeq = friendSeq;
    row->UserSeq = userSeq;
    row->OwnerName = name;
  }
  if (node) FFriendTree.SortChildren(node);
  FFriendList.Sort(FFriendList.SortColumn);
}

void TFolderReplies::MyClubs(const TDataParameter& m) {
  TEndWaitScope end([this] {
    MyListingReceived = true;
    EndWait();
  });
  TPaintLock lock(FWindow, LockEnabled());
  TTreeNode* root = FMyTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64());
  if (!root) return;
  TTreeChange treeChange(FMyTree);
  TListChange listChange(FMyList);
  const std::int32_t me = FConfig.UserSeq();
  const ByteString myID = FConfig.UserID();
  FMyList.ClearRows();
  TTreeNode* selected = FMyTree.Selected();
  if (selected && selected->Level() > 1) FMyList.AddUpRow();
  bool hasHome = false;
  for (int c = 0; c < root->Count(); ++c)
    hasHome = hasHome || (root->Item(c)->Data && root->Item(c)->Data->Kind == nkClubHome);
  if (!hasHome) {
    TFolderItem* rec = nullptr;
    FMyTree.AddNode(root, kClubHomeCaption, miClubHome, &rec);
    rec->Kind = nkClubHome;
  }
  TFFItem* home = nullptr;
  FMyList.AddItem(kClubHomeCaption, "", "", WebSiteBase + "/Club", liGoHome, &home);
  home->Kind = nkClubHome;
  home->UserSeq = me;
  home->OwnerName = myID;
  home->DisplayName = kClubHomeCaption;
  for (int i = 2; i + 11 < m.Count(); i += 12) {
    const std::int32_t clubSeq = m.Params(i).AsInteger();
    const ByteString clubName = m.Params(i + 3).AsString();
    const ByteString clubID = m.Params(i + 4).AsString();
    const std::int32_t value1 = m.Params(i + 5).AsInteger();
    const ByteString text = m.Params(i + 6).AsString();
    const std::int32_t value2 = m.Params(i + 7).AsInteger();
    const bool flag1 = m.Params(i + 8).AsString() == "T";
    const bool flag2 = m.Params(i + 9).AsString() == "T";
    const bool flag3 = m.Params(i + 10).AsString() == "T";
    bool exists = false;
    for (int c = 0; c < root->Count() && !exists; ++c) exists = root->Item(c)->Text == clubName;
    if (!exists) {
      TFolderItem* rec = nullptr;
      FMyTree.AddNode(root, clubName, miClub, &rec);
      rec->Kind = nkClub;
      rec->UserSeq = me;
      rec->ClubSeq = clubSeq;
      rec->ClubName = clubName;
      rec->ClubID = clubID;
      rec->ClubValue1 = value1;
      rec->ClubText = text;
      rec->ClubValue2 = value2;
      rec->ClubFlag1 = flag1;
      rec->ClubFlag2 = flag2;
      rec->ClubFlag3 = flag3;
    }
    TFFItem* row = nullptr;
    FMyList.AddItem(clubName, "", "", WebSiteBase + "/" + clubID, liFriends, &row);
    row->Kind = nkClub;
    row->ClubSeq = clubSeq;
    row->ClubName = clubName;
    row->ClubID = clubID;
    row->ClubValue1 = value1;
    row->ClubText = text;
    row->ClubValue2 = value2;
  }
  FMyTree.SortChildren(root);
  FMyList.Sort(FMyList.SortColumn);
}

// ---- Friend groups -----------------------------------------------------------------------------

void TFolderReplies::GroupCreated(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  TPaintLock lock(FWindow, LockEnabled());
  TTreeNode* node = FFriendTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64());
  if (ReplySucceeded(m)) {
    if (node) node->Data->GroupSeq = m.ParamByName("Seq").AsInteger();
  } else {
    ShowReplyError(m);
    FFriendTree.DeleteNode(node);
  }
}

void TFolderReplies::GroupRenamed(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  if (TTreeNode* node = FFriendTree.NodeOfHandle(m.ParamByName("Hdl").AsInt64()))
    node->Data->Caption = node->Text;
}

void TFolderReplies::GroupMoved(const TDataParameter& m, bool friendMove) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  TTreeNode* source = FFriendTree.NodeOfHandle(m.ParamByName("SHdl").AsInt64());
  TTreeNode* target = FFriendTree.NodeOfHandle(m.ParamByName("THdl").AsInt64());
  if (!source || !target) return;
  FFriendTree.MoveNode(source, target);
  TFolderItem& s = *source->Data;
  const TFolderItem& t = *target->Data;
  for (const auto& e : FFriendTree.Cache) {
    if (e->Owner == s.Owner && e->GroupSeq == s.GroupSeq && e->FriendSeq == s.FriendSeq &&
        e->UserSeq == s.UserSeq) {
      e->Owner = t.Seq;
      if (friendMove)
        e->GroupSeq = t.GroupSeq;
      else
        e->ParentGroup = t.GroupSeq;
    }
  }
  s.Owner = t.Seq;
  if (friendMove)
    s.GroupSeq = t.GroupSeq;
  else
    s.ParentGroup = t.GroupSeq;
}

// ---- Balance, upload, notes, settings ------------------------------------------------------------

void TFolderReplies::Balance(const TDataParameter& m) {
  TEndWaitScope end([this] {
    BalanceReceived = true;
    EndWait();
  });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  try {
    // Everything is read and checked before the balance changes, so that a refused
    // reply leaves the balance as it was.
    const ByteString h = Unscrambled(m.ParamByName("H"));
    auto field = [&h](std::size_t from, std::size_t count) {
      return from < h.size() ? std::string_view(h).substr(from, count) : std::string_view();
    };
    const std::int64_t tick = ParseNumber(field(0, 20));
    const std::int64_t seq = ParseNumber(field(20, 10));
    const std::int64_t coins = ParseNumber(field(30, 10));
    const std::uint32_t age = FTick() - static_cast<std::uint32_t>(tick);
    const std::int64_t m_coins = m.ParamByName("M").AsInt64();
    if (age >= 10001 || m_coins != coins || seq != FConfig.UserSeq() || coins < 0)
      throw std::runtime_error(kBalanceErrorText);
    const std::int32_t points = m.ParamByName("P").AsInteger();
    const std::int32_t s = m.ParamByName("S").AsInteger();
    const std::int64_t r = m.ParamByName("R").AsInt64();
    FMoney.SetCoins(static_cast<std::int32_t>(coins));
    FMoney.SetPoints(points);
    FMoney.SetSValue(s);
    FMoney.SetCountedBytes(r);
    FWindow.BalanceChanged();
  } catch (const std::exception& e) {
    LogText(std::string("Balance : ") + e.what());
    FWindow.StopTransfers();
    FWindow.ShowError(e.what());
  }
}

void TFolderReplies::CouponBalance(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  try {
    std::span<const std::uint8_t> d = m.ParamByName("D").Data();
    if (d.size() < 40) throw EParamError("coupon record of " + std::to_string(d.size()) + " bytes");
    const std::int32_t coins = ReadInt32At(d, 4);
    const std::int32_t points = ReadInt32At(d, 8);
    std::int32_t values[7];
    for (int i = 0; i < 7; ++i) values[i] = ReadInt32At(d, 12 + 4 * static_cast<std::size_t>(i));
    FMoney.SetCoins(coins);
    FMoney.SetPoints(points);
    FMoney.SetMegaPerCoin(values[0]);
    FMoney.SetSValue(values[1]);
    FMoney.SetCountedBytes(values[2]);
    FMoney.SetCouponDays(values[3]);
    FWindow.BalanceChanged();
  } catch (const std::exception& e) {
    LogText(std::string("CouponBalance : ") + e.what());
    FWindow.StopTransfers();
    FWindow.ShowError(e.what());
  }
}

void TFolderReplies::ServiceSettings(const TDataParameter& m) {
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  try {
    std::span<const std::uint8_t> d = m.ParamByName("D").Data();
    if (d.size() < 13) throw EParamError("settings record of " + std::to_string(d.size()) + " bytes");
    FConfig.FreeOwnFile = d[4] != 0;
    FMoney.SetMegaPerCoin(ReadInt32At(d, 5));
    FConfig.StorageTerm = ReadInt32At(d, 9);
  } catch (const std::exception& e) {
    LogText(std::string("ServiceSettings : ") + e.what());
    FConfig.LoggedIn = false;
    FWindow.CloseLauncher();
    FWindow.ShowError(e.what());
  }
}

void TFolderReplies::UploadRegistered(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  auto* drops = FindHandle<TDropItems>(m.ParamByName("Hdl").AsInt64());
  if (!drops) return;
  for (int i = 3; i + 3 < m.Count(); i += 4) {
    const std::int32_t index = m.Params(i).AsInteger();
    const std::int32_t seq = m.Params(i + 2).AsInteger();
    for (const auto& d : *drops)
      if (d->IsFile && d->Index == index) d->TargetSeq = seq;
  }
}

void TFolderReplies::UploadTotal(const TDataParameter& m) {
  if (!ReplySucceeded(m)) {
    TEndWaitScope end([this] { EndWait(); });
    ShowReplyError(m);
    return;
  }
  const std::int64_t size = m.ParamByName("UpSize").AsInt64();
  FConfig.SetTotalUploadSize(size);
  FWindow.UploadSizeChanged(size);
  EndWait();
  ByteString text = kUploadTotalText;
  const std::size_t at = text.find("%S");
  if (at != ByteString::npos) text.replace(at, 2, FormatSize(size));
  FWindow.ShowInformation(text);
}

void TFolderReplies::NotesDelivered(const TDataParameter& m) {
  const bool waits = m.Params(0).AsInteger() == 73;
  TEndWaitScope end([this, waits] {
    if (waits) EndWait();
  });
  if (m.Count() >= 2 && m.Params(1).Type() == ParamType::Boolean && !m.Params(1).AsBoolean()) {
    ShowReplyError(m);
    return;
  }
  FWindow.NotesDelivered(m);
}

// ---- Download listings ------------------------------------------------------------------------------

ByteString SafePathComponent(const ByteString& name) {
  ByteString out;
  out.reserve(name.size());
  bool trail = false;
  for (char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (trail) {
      out.push_back(ch);  // the second byte of a double-byte character
      trail = false;
      continue;
    }
    if (c >= 0x81 && c <= 0xFE) {
      trail = true;
      out.push_back(ch);
      continue;
    }
    if (c < 0x20 || ch == '/' || ch == '\\' || ch == ':') {
      out.push_back('_');
      continue;
    }
    out.push_back(ch);
  }
  if (out.empty() || out == "." || out == "..") return "_";
  return out;
}

int BuildDownloadPaths(TDownFolderItems& folders, const TDownFolderItems& subFolders, TDownFileItems& files,
                       bool matchUser) {
  // The working level starts as copies of the chosen folders.
  std::vector<TDownFolderItem> level;
  for (const auto& f : folders) level.push_back(*f);
  std::vector<bool> placed(static_cast<std::size_t>(subFolders.Count()), false);
  while (!level.empty()) {
    std::vector<TDownFolderItem> next;
    for (int s = 0; s < subFolders.Count(); ++s) {
      if (placed[static_cast<std::size_t>(s)]) continue;
      const TDownFolderItem& sub = *subFolders.Items(s);
      for (const TDownFolderItem& w : level) {
        if (w.Seq != sub.Owner || (matchUser && w.UserSeq != sub.UserSeq)) continue;
        TDownFolderItem entry;
        entry.LocalPath = w.LocalPath;
        if (!entry.LocalPath.empty() && entry.LocalPath.back() != '/' && entry.LocalPath.back() != '\\')
          entry.LocalPath += '/';
        entry.LocalPath += SafePathComponent(sub.Name);
        entry.UserSeq = sub.UserSeq;
        entry.Seq = sub.Seq;
        entry.Owner = sub.Owner;
        entry.Name = sub.Name;
        entry.Pass = sub.Pass;
        next.push_back(entry);
        placed[static_cast<std::size_t>(s)] = true;
        break;
      }
    }
    for (const TDownFolderItem& e : next) *folders.Add() = e;
    level.swap(next);
  }
  int removed = 0;
  for (int i = files.Count() - 1; i >= 0; --i) {
    TDownFileItem& file = *files.Items(i);
    const TDownFolderItem* home = nullptr;
    for (const auto& f : folders)
      if (f->Seq == file.FolderSeq) {
        home = f.get();
        break;
      }
    if (!home) {
      // Without its folder the file has no place inside the download folder.
      files.Delete(i);
      ++removed;
      continue;
    }
    file.LocalPath = home->LocalPath;
  }
  return removed;
}

void TFolderReplies::DownloadFolderFound(const TDataParameter& m, bool web) {
  auto* subs = FindHandle<TDownFolderItems>(m.ParamByName("SFolders").AsInt64());
  if (!subs) return;
  TDownFolderItem* e = subs->Add();
  const int at = web ? 7 : 6;
  if (web) e->UserSeq = m.Params(6).AsInteger();
  e->Seq = m.Params(at).AsInteger();
  e->Name = m.Params(at + 1).AsString();
  e->Owner = m.Params(at + 2).AsInteger();
  e->Pass = Unscrambled(m.Params(at + 4));
  FWindow.SetStatusText(e->Name + kFolderFoundText);
}

void TFolderReplies::DownloadFileFound(const TDataParameter& m) {
  auto* files = FindHandle<TDownFileItems>(m.ParamByName("Files").AsInt64());
  if (!files) return;
  const std::int64_t size = m.Params(8).AsInt64();
  const std::int64_t curSize = m.Params(9).AsInt64();
  if (size != curSize) return;  // still being uploaded
  TDownFileItem* f = files->Add();
  f->FileSeq = m.Params(6).AsInteger();
  f->FileName = m.Params(7).AsString();
  f->Size = size;
  f->CurSize = curSize;
  f->FolderSeq = m.Params(10).AsInteger();
  f->FileText1 = m.Params(11).AsString();
  f->FileText2 = m.Params(12).AsString();
  f->UpDate = m.Params(13).AsReal();
  f->UploaderSeq = m.Params(15).AsInteger();
  f->FileText3 = m.Params(16).AsString();
  f->StoredFileSeq = m.Params(17).AsInteger();
  FWindow.SetStatusText(f->FileName + kFileFoundText);
}

void TFolderReplies::DownloadListingDone(const TDataParameter& m, bool web) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  FWindow.SetStatusText(kArrangingDownloadText);
  auto* folders = FindHandle<TDownFolderItems>(m.ParamByName("Folders").AsInt64());
  auto* subs = FindHandle<TDownFolderItems>(m.ParamByName("SFolders").AsInt64());
  auto* files = FindHandle<TDownFileItems>(m.ParamByName("Files").AsInt64());
  if (!folders || !subs || !files) return;
  const int removed = BuildDownloadPaths(*folders, *subs, *files, web);
  if (removed > 0)
    LogText("DownloadListing : " + std::to_string(removed) + " files outside the listed folders");
}

void TFolderReplies::DownloadListingAll(const TDataParameter& m) {
  TEndWaitScope end([this] { EndWait(); });
  if (!ReplySucceeded(m)) {
    ShowReplyError(m);
    return;
  }
  auto* folders = FindHandle<TDownFolderItems>(m.ParamByName("Folders").AsInt64());
  auto* files = FindHandle<TDownFileItems>(m.ParamByName("Files").AsInt64());
  if (!folders || !files) return;
  TDownFolderItems subs;
  for (int i = 4; i < m.Count();) {
    if (m.Params(i).AsBoolean()) {
      const std::int64_t size = m.Params(i + 3).AsInt64();
      const std::int64_t curSize = m.Params(i + 4).AsInt64();
      if (size == curSize) {
        TDownFileItem* f = files->Add();
        f->FileSeq = m.Params(i + 1).AsInteger();
        f->FileName = m.Params(i + 2).AsString();
        f->Size = size;
        f->CurSize = curSize;
        f->FolderSeq = m.Params(i + 5).AsInteger();
        f->FileText1 = m.Params(i + 6).AsString();
        f->FileText2 = m.Params(i + 7).AsString();
        f->ListText = m.Params(i + 8).AsString();
        f->UpDate = m.Params(i + 9).AsReal();
        f->UploaderSeq = m.Params(i + 11).AsInteger();
        f->FileText3 = m.Params(i + 12).AsString();
        f->StoredFileSeq = m.Params(i + 13).AsInteger();
      }
      i += 14;
    } else {
      TDownFolderItem* e = subs.Add();
      e->Seq = m.Params(i + 1).AsInteger();
      e->Name = m.Params(i + 2).AsString();
      e->Owner = m.Params(i + 3).AsInteger();
      e->Pass = Unscrambled(m.Params(i + 6));
      i += 7;
    }
  }
  BuildDownloadPaths(*folders, subs, *files, false);
}

}  // namespace vantori
