#include "folders/URequests.h"

#include <cstring>
#include <string>

#include "settings/UFunction.h"
#include "settings/ULoginText.h"

namespace vantori {

namespace {

// "삭제할 폴더 및 파일항목을 선택하시기 바랍니다."
constexpr char kSelectItemsToDelete[] =
    "\xBB\xE8\xC1\xA6\xC7\xD2 \xC6\xFA\xB4\xF5 \xB9\xD7 \xC6\xC4\xC0\xCF\xC7\xD7\xB8\xF1\xC0\xBB "
    "\xBC\xB1\xC5\xC3\xC7\xCF\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
// "잘못된 폴더 선택입니다."
constexpr char kWrongFolderSelection[] =
    "\xC0\xDF\xB8\xF8\xB5\xC8 \xC6\xFA\xB4\xF5 \xBC\xB1\xC5\xC3\xC0\xD4\xB4\xCF\xB4\xD9.";

void Begin(TDataParameter& m, std::int32_t type) {
  m.AddInteger("T", type);
}

// A number sent as scrambled decimal text with an empty name.
void AddScrambled(TDataParameter& m, std::int64_t value) {
  m.AddString("", ScrambleText(std::to_string(value)));
}
void AddScrambledNamed(TDataParameter& m, std::string_view name, std::int64_t value) {
  m.AddString(name, ScrambleText(std::to_string(value)));
}

std::string Padded(std::int64_t value, int width) {
  return PadRightBlanks(std::to_string(value), width);
}

void PutInt32(Bytes& b, std::size_t offset, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutDouble(Bytes& b, std::size_t offset, double value) {
  std::memcpy(b.data() + offset, &value, 8);
}

// A length-prefixed text of at most n bytes (field of n + 1 bytes).
void PutShortString(Bytes& b, std::size_t offset, std::size_t n, std::string_view text) {
  std::size_t length = text.size() < n ? text.size() : n;
  b[offset] = static_cast<std::uint8_t>(length);
  std::memcpy(b.data() + offset + 1, text.data(), length);
}

void AddRecord(TDataParameter& m, const TRequestContext& c, const Bytes& record) {
  m.AddEncript("D", record, c.Tick);
}

}  // namespace

double EncodeDate(int year, int month, int day) {
  // Days from the civil date (proleptic Gregorian), offset to 1899-12-30.
  auto daysFromCivil = [](long y, long m, long d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  return static_cast<double>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

void MonthRange(std::string_view month, double& start, double& end) {
  auto digits = [&](std::size_t from, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (month[i] < '0' || month[i] > '9') return false;
      value = value * 10 + (month[i] - '0');
    }
    return true;
  };
  int year = 0, mon = 0;
  if (month.size() != 7 || month[4] != '-' || !digits(0, 4, year) || !digits(5, 2, mon) || mon < 1 ||
      mon > 12)
    throw EKXError("invalid month text '" + std::string(month) + "'");
  start = EncodeDate(year, mon, 1);
  end = mon == 12 ? EncodeDate(year + 1, 1, 1) : EncodeDate(year, mon + 1, 1);
}

Bytes CouponRecord(const TRequestContext& c, std::int32_t method, bool setMethod) {
  Bytes b(kCouponRecordSize, 0);
  PutInt32(b, 0, c.UserSeq);
  std::size_t n = c.UserID.size() < 21 ? c.UserID.size() : 21;
  std::memcpy(b.data() + 4, c.UserID.data(), n);
  if (setMethod) PutInt32(b, 25, method);
  PutInt32(b, 29, static_cast<std::int32_t>(c.Tick));
  return b;
}

Bytes GiftPeriodRecord(const TRequestContext& c, std::string_view month) {
  double start = 0, end = 0;
  MonthRange(month, start, end);
  Bytes b(kGiftPeriodRecordSize, 0);
  PutInt32(b, 0, c.UserSeq);
  PutDouble(b, 4, start);
  PutDouble(b, 12, end);
  PutInt32(b, 20, static_cast<std::int32_t>(c.Tick));
  return b;
}

Bytes GiftRecord(const TRequestContext& c, std::int32_t giftSeq, std::int32_t amount,
                 std::string_view counterpart, std::int32_t number2, bool coins, bool points) {
  Bytes b(kGiftRecordSize, 0);
  PutInt32(b, 0, giftSeq);
  PutInt32(b, 4, c.UserSeq);
  PutInt32(b, 8, amount);
  PutShortString(b, 12, 20, counterpart);
  PutInt32(b, 33, number2);
  b[37] = coins ? 1 : 0;
  b[38] = points ? 1 : 0;
  PutInt32(b, 39, static_cast<std::int32_t>(c.Tick));
  return b;
}

Bytes SearchRecord(const TRequestContext& c, const TSearchQuery& q) {
  Bytes b(kSearchRecordSize, 0);
  PutInt32(b, 0, c.UserSeq);
  b[4] = c.AdultPermission ? 1 : 0;
  PutShortString(b, 6, 255, LowerTrim(q.Keyword));
  PutShortString(b, 262, 255, LowerTrim(q.Keyword2));
  PutInt32(b, 518, q.StartRow);
  PutInt32(b, 522, q.RowsWanted);
  PutInt32(b, 526, static_cast<std::int32_t>(c.Tick));
  b[530] = q.FileNames ? 1 : 0;
  b[531] = q.FolderNames ? 1 : 0;
  b[532] = q.OpenSearch ? 1 : 0;
  b[533] = q.AdminSearch ? 1 : 0;
  PutInt32(b, 534, q.SearchHandle);
  return b;
}

// ---- Folders ------------------------------------------------------------------------------

void BuildListMyFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtListMyFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Owner", node.Owner);
  m.AddInteger("Seq", node.Seq);
  m.AddInteger("Hdl", node.Handle());
}

void BuildListMyClubs(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtListMyClubs);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Hdl", node.Handle());
}

void BuildCreateFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtCreateFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", node.Caption);
  m.AddInteger("Owner", node.Owner);
  m.AddString("Pub", node.Pub);
  m.AddString("Comment", node.Comment);
  m.AddString("Pass", node.Pass);
  m.AddInteger("Hdl", node.Handle());
  m.AddInteger("FF", 0);
}

void BuildCreateListFolder(TDataParameter& m, const TRequestContext& c, const TFFItem& item) {
  Begin(m, rtCreateFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", item.DisplayName);
  m.AddInteger("Owner", item.ParentSeq);
  m.AddString("Pub", item.Pub);
  m.AddString("Comment", item.FolderComment);
  m.AddString("Pass", item.Pass);
  m.AddInteger("Hdl", item.Handle());
  m.AddInteger("FF", 1);
}

void BuildCreateFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtCreateFriendGroup);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", node.Caption);
  m.AddInteger("Owner", node.ParentGroup);
  m.AddInteger("Hdl", node.Handle());
}

void BuildDeleteFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtDeleteFolder);
  AddScrambled(m, node.Owner);
  AddScrambled(m, c.UserSeq);
  AddScrambled(m, node.Handle());
  AddScrambled(m, node.Seq);
}

void BuildDeleteItems(TDataParameter& m, const TRequestContext& c, const TFolderItem& shown,
                      TSelection selected) {
  if (selected.empty()) throw EKXError(kSelectItemsToDelete);
  Begin(m, rtDeleteItems);
  AddScrambled(m, shown.Handle());
  AddScrambled(m, c.UserSeq);
  for (const TFFItem* item : selected) {
    if (item->Kind == nkParentRow) continue;
    AddScrambled(m, item->Kind);
    AddScrambled(m, item->Kind == nkFolder ? item->FolderSeq : item->FileSeq);
  }
}

void BuildRenameFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtRenameFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", node.Caption);
  m.AddInteger("Owner", node.Owner);
  m.AddInteger("Seq", node.Seq);
  m.AddInteger("Hdl", node.Handle());
  m.AddInteger("FF", 0);
}

void BuildRenameListFolder(TDataParameter& m, const TRequestContext& c, const TFFItem& item) {
  Begin(m, rtRenameFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", item.DisplayName);
  m.AddInteger("Owner", item.ParentSeq);
  m.AddInteger("Seq", item.FolderSeq);
  m.AddInteger("Hdl", item.Handle());
  m.AddInteger("FF", 1);
}

void BuildRenameFile(TDataParameter& m, const TRequestContext& c, const TFFItem& item) {
  Begin(m, rtRenameFile);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", item.DisplayName);
  m.AddInteger("Seq", item.FileSeq);
  m.AddInteger("Folder", item.FolderSeq);
  m.AddInteger("Hdl", item.Handle());
}

void BuildRenameFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtRenameFriendGroup);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Name", node.Caption);
  m.AddInteger("Owner", node.ParentGroup);
  m.AddInteger("Seq", node.GroupSeq);
  m.AddInteger("Hdl", node.Handle());
}

void BuildMoveFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& source,
                     const TFolderItem& target) {
  Begin(m, rtMoveFolder);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("SSeq", source.Seq);
  m.AddInteger("TSeq", target.Seq);
  m.AddInteger("SHdl", source.Handle());
  m.AddInteger("THdl", target.Handle());
}

void BuildMoveItems(TDataParameter& m, const TRequestContext& c, TSelection selected,
                    const TFolderItem& source, const TFolderItem& target) {
  Begin(m, rtMoveItems);
  m.AddInteger("SUser", c.UserSeq);
  m.AddInteger("TUser", c.UserSeq);
  m.AddInteger("SHdl", source.Handle());
  m.AddInteger("TSeq", target.Seq);
  m.AddInteger("THdl", target.Handle());
  for (const TFFItem* item : selected) {
    if (item->Kind == nkFolder) {
      m.AddInteger("K", 0);
      m.AddInteger("S", item->FolderSeq);
    } else if (item->Kind == nkFile) {
      m.AddInteger("K", 1);
      m.AddInteger("S", item->FileSeq);
    }
  }
}

void BuildMoveFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& source,
                          const TFolderItem& target) {
  Begin(m, rtMoveFriendGroup);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("SSeq", source.GroupSeq);
  m.AddInteger("TSeq", target.GroupSeq);
  m.AddInteger("SHdl", source.Handle());
  m.AddInteger("THdl", target.Handle());
}

void BuildMoveFriend(TDataParameter& m, const TRequestContext& c, const TFolderItem& friendNode,
                     const TFolderItem& group) {
  Begin(m, rtMoveFriend);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("SSeq", friendNode.FriendSeq);
  m.AddInteger("TSeq", group.GroupSeq);
  m.AddInteger("SHdl", friendNode.Handle());
  m.AddInteger("THdl", group.Handle());
}

namespace {
void AddFolderInfo(TDataParameter& m, const TRequestContext& c, std::int32_t owner, std::int32_t seq,
                   std::int32_t handle, std::string_view name, std::string_view pub, std::string_view pass,
                   std::string_view comment) {
  Begin(m, rtChangeFolderInfo);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Owner", owner);
  m.AddInteger("Seq", seq);
  m.AddInteger("Hdl", handle);
  m.AddString("Name", name);
  m.AddString("Comment", comment);
  m.AddString("Pub", pub);
  m.AddString("Pass", pass);
}
}  // namespace

void BuildChangeFolderInfo(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                           std::string_view name, std::string_view pub, std::string_view pass,
                           std::string_view comment) {
  AddFolderInfo(m, c, node.Owner, node.Seq, node.Handle(), name, pub, pass, comment);
}

void BuildChangeListFolderInfo(TDataParameter& m, const TRequestContext& c, const TFFItem& item,
                               std::string_view name, std::string_view pub, std::string_view pass,
                               std::string_view comment) {
  AddFolderInfo(m, c, item.ParentSeq, item.FolderSeq, item.Handle(), name, pub, pass, comment);
}

// ---- Friends -------------------------------------------------------------------------------

void BuildListFriends(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                      std::int32_t groupSeq) {
  Begin(m, rtListFriends);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("GroupSeq", groupSeq);
  m.AddInteger("Hdl", node.Handle());
}

void BuildAddFriend(TDataParameter& m, const TRequestContext& c, std::string_view friendID,
                    std::int32_t groupSeq) {
  Begin(m, rtAddFriend);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("FriendID", friendID);
  m.AddInteger("GroupSeq", groupSeq);
}

void BuildListFriendFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtListFriendFolder);
  m.AddInteger("Seq", node.Kind == nkFriend ? -1 : node.Seq);
  m.AddInteger("UserSeq", node.UserSeq);
  m.AddInteger("FriendSeq", node.FriendSeq);
  m.AddInteger("Hdl", node.Handle());
  (void)c;
}

void BuildDeleteFriend(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtDeleteFriend);
  AddScrambled(m, node.FriendSeq);
  AddScrambled(m, c.UserSeq);
  AddScrambled(m, node.UserSeq);
  AddScrambled(m, node.Handle());
}

void BuildDeleteFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node) {
  Begin(m, rtDeleteFriendGroup);
  AddScrambled(m, c.UserSeq);
  AddScrambled(m, node.GroupSeq);
  AddScrambled(m, node.Handle());
}

namespace {
void BeginCopy(TDataParameter& m, const TRequestContext& c, const TFolderItem& target,
               std::int32_t sourceUser) {
  Begin(m, rtCopyItems);
  m.AddInteger("TUser", c.UserSeq);
  m.AddInteger("TSeq", target.Seq);
  m.AddInteger("SUser", sourceUser);
  m.AddInteger("THdl", target.Handle());
}
void AddKSO(TDataParameter& m, bool named, std::int32_t k, std::int32_t s, std::int32_t o) {
  m.AddInteger(named ? "K" : "", k);
  m.AddInteger(named ? "S" : "", s);
  m.AddInteger(named ? "O" : "", o);
}
}  // namespace

void BuildCopyFriendFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& folder,
                           const TFolderItem& target) {
  BeginCopy(m, c, target, folder.UserSeq);
  AddKSO(m, true, 0, folder.Seq, folder.Owner);
}

void BuildCopyFriendItems(TDataParameter& m, const TRequestContext& c, TSelection selected,
                          const TFolderItem& target) {
  std::int32_t sourceUser = -1;
  for (const TFFItem* item : selected) {
    if (item->UserSeq > 0) {
      sourceUser = item->UserSeq;
      break;
    }
  }
  BeginCopy(m, c, target, sourceUser);
  for (const TFFItem* item : selected) {
    if (item->Kind == nkFolder)
      AddKSO(m, true, 0, item->FolderSeq, item->ParentSeq);
    else if (item->Kind == nkFile)
      AddKSO(m, true, 1, item->FileSeq, item->FolderSeq);
  }
}

void BuildPasteFriendItems(TDataParameter& m, const TRequestContext& c, std::int32_t sourceUserSeq,
                           const TFolderItem& target, const TFFItems& items, const TFolderItems& folders) {
  BeginCopy(m, c, target, sourceUserSeq);
  for (const auto& folder : folders) AddKSO(m, false, 0, folder->Seq, folder->Owner);
  for (const auto& item : items) {
    if (item->Kind == nkFile)
      AddKSO(m, false, 1, item->FileSeq, item->FolderSeq);
    else
      AddKSO(m, false, 0, item->FolderSeq, item->ParentSeq);
  }
}

void BuildPasteCutItems(TDataParameter& m, const TRequestContext& c, const TFolderItem& target,
                        const TFolderItems& folders, const TFFItems& items) {
  Begin(m, rtPasteCutItems);
  m.AddInteger("SUser", c.UserSeq);
  m.AddInteger("THdl", target.Handle());
  m.AddInteger("TSeq", target.Seq);
  for (const auto& folder : folders) {
    m.AddInteger("", 0);
    m.AddInteger("", folder->UserSeq);
    m.AddInteger("", folder->Seq);
  }
  for (const auto& item : items) {
    bool file = item->Kind == nkFile;
    m.AddInteger("", file ? 1 : 0);
    m.AddInteger("", item->UserSeq);
    m.AddInteger("", file ? item->FileSeq : item->FolderSeq);
  }
}

// ---- Files, account -------------------------------------------------------------------------

void BuildChangeFileInfo(TDataParameter& m, const TRequestContext& c, std::int32_t fileSeq,
                         std::string_view name, std::string_view comment) {
  Begin(m, rtChangeFileInfo);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Seq", fileSeq);
  m.AddString("Name", name);
  m.AddString("Comment", comment);
}

void BuildQueryFileInfo(TDataParameter& m, const TRequestContext& c, const TFFItem& item) {
  Begin(m, rtQueryFileInfo);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("FileSeq", item.StoredFileSeq);
}

void BuildRequestLoginInfo(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtRequestLoginInfo);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("UserID", c.UserID);
  m.AddInteger("Serial", c.Serial);
  std::string plain = Padded(c.Tick, 20) + Padded(c.UserSeq, 10) + PadRightBlanks(LowerTrim(c.UserID), 21) +
                      PadRightBlanks(c.Password, 21);
  m.AddString("1", ScrambleText(plain));
}

void BuildRequestBalance(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtRequestBalance);
  m.AddString("", ScrambleText(Padded(c.UserSeq, 10) + Padded(c.Tick, 20)));
}

void BuildQueryUploadTotal(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtQueryUploadTotal);
  m.AddInteger("UserSeq", c.UserSeq);
}

void BuildRegisterUpload(TDataParameter& m, const TRequestContext& c, const TDropItems& drops) {
  Begin(m, rtRegisterUpload);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Hdl", drops.Handle());
  m.AddInteger("Root", drops.Root);
  for (const auto& entry : drops) {
    if (entry->IsFile) continue;
    m.AddString("", entry->Name);
    m.AddInteger("", entry->Index);
    m.AddInteger("", entry->ParentIndex);
    m.AddString("", "F");
    m.AddString("", "");
    m.AddString("", "");
  }
}

void BuildListDownloadItems(TDataParameter& m, const TRequestContext& c, std::int32_t ownerSeq,
                            const TDownFolderItems& folders, const TDownFileItems& files,
                            const TDownFolderItems& subFolders, bool web) {
  (void)c;
  Begin(m, web ? rtListWebDownloadItems : rtListDownloadItems);
  m.AddInteger("UserSeq", ownerSeq);
  m.AddInteger("Folders", folders.Handle());
  m.AddInteger("SFolders", subFolders.Handle());
  m.AddInteger("Files", files.Handle());
  for (const auto& folder : folders) {
    m.AddInteger("", folder->UserSeq);
    m.AddInteger("", folder->Seq);
    m.AddInteger("", folder->Owner);
  }
}

namespace {
void BeginExtend(TDataParameter& m, const TRequestContext& c, std::int32_t days, bool payWithCoins) {
  Begin(m, rtExtendStorage);
  m.AddString("", ScrambleText(Padded(c.UserSeq, 10) + Padded(days, 5)));
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddBoolean("CoinPay", payWithCoins);
  m.AddInteger("IncDate", days);
}
}  // namespace

void BuildExtendFolderStorage(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                              std::int32_t days, bool payWithCoins) {
  BeginExtend(m, c, days, payWithCoins);
  m.AddInteger("", 0);
  m.AddInteger("", node.Seq);
}

void BuildExtendItemsStorage(TDataParameter& m, const TRequestContext& c, TSelection selected,
                             std::int32_t days, bool payWithCoins) {
  BeginExtend(m, c, days, payWithCoins);
  for (const TFFItem* item : selected) {
    if (item->Kind == nkParentRow) continue;
    if (item->Kind == nkFolder) {
      m.AddInteger("", 0);
      m.AddInteger("", item->FolderSeq);
    } else {
      m.AddInteger("", 1);
      m.AddInteger("", item->FileSeq);
      m.AddInteger("", item->StoredFileSeq);
      m.AddInteger("", item->CurSize);
    }
  }
}

void BuildQueryFolderPeriod(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                            std::int32_t dayLimit) {
  Begin(m, rtQueryFolderPeriod);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Date", dayLimit);
  m.AddInteger("", node.Seq);
  m.AddInteger("", node.Owner);
  m.AddString("", node.Name);
}

void BuildQueryListFolderPeriod(TDataParameter& m, const TRequestContext& c, TSelection selected,
                                std::int32_t dayLimit) {
  const TFFItem* folder = nullptr;
  for (const TFFItem* item : selected) {
    if (item->Kind == nkFolder) {
      folder = item;
      break;
    }
  }
  if (folder == nullptr) throw EKXError(kWrongFolderSelection);
  Begin(m, rtQueryFolderPeriod);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddInteger("Date", dayLimit);
  m.AddInteger("", folder->FolderSeq);
  m.AddInteger("", folder->ParentSeq);
  m.AddString("", folder->FolderName);
}

void BuildWithdrawMembership(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtWithdrawMembership);
  m.AddInteger("Seq", c.UserSeq);
  m.AddString("ID", c.UserID);
}

void BuildLogout(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtLogout);
  m.AddInteger("UserSeq", c.UserSeq);
}

// ---- Notes, search, points -------------------------------------------------------------------

void BuildSendNote(TDataParameter& m, const TRequestContext& c, std::string_view recipients,
                   std::string_view title, std::string_view content) {
  Begin(m, rtSendNote);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("Recv", recipients);
  m.AddString("Title", title);
  m.AddString("Content", content);
}

void BuildCheckNewNotes(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtCheckNewNotes);
  m.AddInteger("UserSeq", c.UserSeq);
}

void BuildSearchFiles(TDataParameter& m, const TRequestContext& c, const TSearchQuery& query) {
  Begin(m, rtSearchFiles);
  AddRecord(m, c, SearchRecord(c, query));
}

void BuildListSearchFolder(TDataParameter& m, const TRequestContext& c, std::int32_t ownerSeq,
                           std::int32_t folderSeq, std::int32_t disk, std::int32_t fileSeq,
                           std::int64_t curSize, std::int64_t part) {
  Begin(m, rtListSearchFolder);
  m.AddInteger("Self", c.UserSeq);
  AddScrambledNamed(m, "User", ownerSeq);
  AddScrambledNamed(m, "File", fileSeq);
  AddScrambledNamed(m, "Folder", folderSeq);
  AddScrambledNamed(m, "Disk", disk);
  AddScrambledNamed(m, "Curr", curSize);
  AddScrambledNamed(m, "Parit", part);
}

void BuildChangePoints(TDataParameter& m, const TRequestContext& c, std::int32_t points) {
  Begin(m, rtChangePoints);
  m.AddInteger("UserSeq", c.UserSeq);
  m.AddString("UserID", c.UserID);
  m.AddInteger("Point", points);
}

void BuildBuyUploadCoupon(TDataParameter& m, const TRequestContext& c, std::int32_t method) {
  Begin(m, rtBuyUploadCoupon);
  AddRecord(m, c, CouponRecord(c, method, true));
}

void BuildQueryCouponBalance(TDataParameter& m, const TRequestContext& c) {
  Begin(m, rtQueryCouponBalance);
  AddRecord(m, c, CouponRecord(c, 0, false));
}

void BuildListGifts(TDataParameter& m, const TRequestContext& c, std::string_view month, bool received) {
  Bytes record = GiftPeriodRecord(c, month);  // validates before anything is added
  Begin(m, received ? rtListReceivedGifts : rtListSentGifts);
  AddRecord(m, c, record);
}

void BuildSendGift(TDataParameter& m, const TRequestContext& c, std::int32_t amount,
                   std::string_view receiverID, bool coins, bool points) {
  Begin(m, rtSendGift);
  AddRecord(m, c, GiftRecord(c, -1, amount, receiverID, -1, coins, points));
}

void BuildGiftAction(TDataParameter& m, const TRequestContext& c, std::int32_t type,
                     const TPointGiftItem& gift) {
  if (type != rtCancelGift && type != rtAcceptGift && type != rtRefuseGift)
    throw EKXError("not a gift action: " + std::to_string(type));
  const ByteString& counterpart = type == rtCancelGift ? gift.ReceiverID : gift.GiverID;
  bool coins = !gift.Kind.empty() && gift.Kind[0] == 'M';
  bool points = !gift.Kind.empty() && gift.Kind[0] == 'P';
  Begin(m, type);
  AddRecord(m, c, GiftRecord(c, gift.GiftSeq, gift.Amount, counterpart, gift.Value1, coins, points));
}

}  // namespace vantori
