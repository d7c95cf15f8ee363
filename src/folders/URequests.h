#pragma once
// The requests of the folder service and of the windows that share the main server.
//
// Each builder clears nothing and sends nothing: it appends "T" and the request's
// parameters, in wire order, to an empty message. TNetManager clears its one request
// object, calls the builder and sends the result. Builders raise EKXError for the
// validation errors of their request (nothing has been sent then).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "folders/UClientItems.h"
#include "protocol/UParameter.h"
#include "settings/ULoginText.h"

namespace vantori {

// What every request takes from the configuration, plus the tick of the moment the
// request is built (it seeds encrypted records and travels in some scrambled texts).
struct TRequestContext {
  std::int32_t UserSeq = 0;
  ByteString UserID;
  ByteString Password;  // the run-time password (login information request)
  bool AdultPermission = false;
  std::uint32_t Serial = 0;  // the machine's volume serial
  std::uint32_t Tick = 0;
};

// The message types of the requests.
enum TRequestType : std::int32_t {
  rtCreateFolder = 18,
  rtDeleteFolder = 22,
  rtRenameFolder = 24,
  rtMoveFolder = 26,
  rtMoveItems = 28,
  rtAddFriend = 36,
  rtDeleteFriend = 40,
  rtCopyItems = 42,
  rtDeleteItems = 44,
  rtRenameFile = 58,
  rtChangeFileInfo = 61,
  rtRequestBalance = 69,
  rtSendNote = 74,
  rtRequestLoginInfo = 76,
  rtPasteCutItems = 96,
  rtWithdrawMembership = 136,
  rtRegisterUpload = 256,
  rtQueryUploadTotal = 258,
  rtQueryFileInfo = 269,
  rtLogout = 275,
  rtChangePoints = 277,
  rtListFriends = 281,
  rtCreateFriendGroup = 283,
  rtDeleteFriendGroup = 285,
  rtRenameFriendGroup = 287,
  rtMoveFriendGroup = 289,
  rtMoveFriend = 291,
  rtListMyClubs = 294,
  rtListMyFolder = 581,
  rtListFriendFolder = 583,
  rtListDownloadItems = 587,
  rtChangeFolderInfo = 589,
  rtBuyUploadCoupon = 803,
  rtQueryCouponBalance = 805,
  rtCheckNewNotes = 891,
  rtExtendStorage = 893,
  rtQueryFolderPeriod = 917,
  rtListSearchFolder = 939,
  rtListWebDownloadItems = 1021,
  rtListSentGifts = 1157,
  rtListReceivedGifts = 1159,
  rtSendGift = 1161,
  rtCancelGift = 1163,
  rtAcceptGift = 1165,
  rtRefuseGift = 1167,
  rtSearchFiles = 1198,
};

// The selected rows of a list view, in display order.
using TSelection = std::span<const TFFItem* const>;

// The search request's values besides the keywords.
struct TSearchQuery {
  ByteString Keyword;
  ByteString Keyword2;
  std::int32_t StartRow = 0;    // (page - 1) * page size; 0 for a new search
  std::int32_t RowsWanted = 0;  // page size + 1
  bool FileNames = true;
  bool FolderNames = false;
  bool OpenSearch = false;
  bool AdminSearch = false;
  std::int32_t SearchHandle = -1;  // the previous result set, -1 for a new one
};

// Record sizes of the "D" parameters.
inline constexpr std::size_t kCouponRecordSize = 33;
inline constexpr std::size_t kGiftPeriodRecordSize = 24;
inline constexpr std::size_t kGiftRecordSize = 43;
inline constexpr std::size_t kSearchRecordSize = 538;

// ---- Texts and records -------------------------------------------------------------------

// Date-time value (days since 1899-12-30) of midnight on a calendar day.
double EncodeDate(int year, int month, int day);
// The first day of the month of a "yyyy-mm" text and of the month after it; raises
// EKXError for a text of another form.
void MonthRange(std::string_view month, double& start, double& end);

Bytes CouponRecord(const TRequestContext& ctx, std::int32_t method, bool setMethod);
Bytes GiftPeriodRecord(const TRequestContext& ctx, std::string_view month);
Bytes GiftRecord(const TRequestContext& ctx, std::int32_t giftSeq, std::int32_t amount,
                 std::string_view counterpart, std::int32_t number2, bool coins, bool points);
Bytes SearchRecord(const TRequestContext& ctx, const TSearchQuery& query);

// ---- Builders, one per request operation ---------------------------------------------------

void BuildListMyFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildListMyClubs(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildCreateFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildCreateListFolder(TDataParameter& m, const TRequestContext& c, const TFFItem& item);
void BuildCreateFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildDeleteFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildDeleteItems(TDataParameter& m, const TRequestContext& c, const TFolderItem& shown,
                      TSelection selected);
void BuildRenameFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildRenameListFolder(TDataParameter& m, const TRequestContext& c, const TFFItem& item);
void BuildRenameFile(TDataParameter& m, const TRequestContext& c, const TFFItem& item);
void BuildRenameFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildMoveFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& source,
                     const TFolderItem& target);
void BuildMoveItems(TDataParameter& m, const TRequestContext& c, TSelection selected,
                    const TFolderItem& source, const TFolderItem& target);
void BuildMoveFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& source,
                          const TFolderItem& target);
void BuildMoveFriend(TDataParameter& m, const TRequestContext& c, const TFolderItem& friendNode,
                     const TFolderItem& group);
void BuildChangeFolderInfo(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                           std::string_view name, std::string_view pub, std::string_view pass,
                           std::string_view comment);
void BuildChangeListFolderInfo(TDataParameter& m, const TRequestContext& c, const TFFItem& item,
                               std::string_view name, std::string_view pub, std::string_view pass,
                               std::string_view comment);
void BuildListFriends(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                      std::int32_t groupSeq);
void BuildAddFriend(TDataParameter& m, const TRequestContext& c, std::string_view friendID,
                    std::int32_t groupSeq);
void BuildListFriendFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildDeleteFriend(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildDeleteFriendGroup(TDataParameter& m, const TRequestContext& c, const TFolderItem& node);
void BuildCopyFriendFolder(TDataParameter& m, const TRequestContext& c, const TFolderItem& folder,
                           const TFolderItem& target);
void BuildCopyFriendItems(TDataParameter& m, const TRequestContext& c, TSelection selected,
                          const TFolderItem& target);
void BuildPasteFriendItems(TDataParameter& m, const TRequestContext& c, std::int32_t sourceUserSeq,
                           const TFolderItem& target, const TFFItems& items, const TFolderItems& folders);
void BuildPasteCutItems(TDataParameter& m, const TRequestContext& c, const TFolderItem& target,
                        const TFolderItems& folders, const TFFItems& items);
void BuildChangeFileInfo(TDataParameter& m, const TRequestContext& c, std::int32_t fileSeq,
                         std::string_view name, std::string_view comment);
void BuildQueryFileInfo(TDataParameter& m, const TRequestContext& c, const TFFItem& item);
void BuildRequestLoginInfo(TDataParameter& m, const TRequestContext& c);
void BuildRequestBalance(TDataParameter& m, const TRequestContext& c);
void BuildQueryUploadTotal(TDataParameter& m, const TRequestContext& c);
void BuildRegisterUpload(TDataParameter& m, const TRequestContext& c, const TDropItems& drops);
// 587, or 1021 when web is set.
void BuildListDownloadItems(TDataParameter& m, const TRequestContext& c, std::int32_t ownerSeq,
                            const TDownFolderItems& folders, const TDownFileItems& files,
                            const TDownFolderItems& subFolders, bool web = false);
void BuildExtendFolderStorage(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                              std::int32_t days, bool payWithCoins);
void BuildExtendItemsStorage(TDataParameter& m, const TRequestContext& c, TSelection selected,
                             std::int32_t days, bool payWithCoins);
void BuildQueryFolderPeriod(TDataParameter& m, const TRequestContext& c, const TFolderItem& node,
                            std::int32_t dayLimit);
void BuildQueryListFolderPeriod(TDataParameter& m, const TRequestContext& c, TSelection selected,
                                std::int32_t dayLimit);
void BuildWithdrawMembership(TDataParameter& m, const TRequestContext& c);
void BuildLogout(TDataParameter& m, const TRequestContext& c);
void BuildSendNote(TDataParameter& m, const TRequestContext& c, std::string_view recipients,
                   std::string_view title, std::string_view content);
void BuildCheckNewNotes(TDataParameter& m, const TRequestContext& c);
void BuildSearchFiles(TDataParameter& m, const TRequestContext& c, const TSearchQuery& query);
void BuildListSearchFolder(TDataParameter& m, const TRequestContext& c, std::int32_t ownerSeq,
                           std::int32_t folderSeq, std::int32_t disk, std::int32_t fileSeq,
                           std::int64_t curSize, std::int64_t part);
void BuildChangePoints(TDataParameter& m, const TRequestContext& c, std::int32_t points);
// method: 1 pay with coins, 2 pay with points.
void BuildBuyUploadCoupon(TDataParameter& m, const TRequestContext& c, std::int32_t method);
void BuildQueryCouponBalance(TDataParameter& m, const TRequestContext& c);
// 1157 for sent gifts, 1159 for received ones.
void BuildListGifts(TDataParameter& m, const TRequestContext& c, std::string_view month, bool received);
void BuildSendGift(TDataParameter& m, const TRequestContext& c, std::int32_t amount,
                   std::string_view receiverID, bool coins, bool points);
// type: rtCancelGift (a sent gift: the counterpart is its receiver), rtAcceptGift or
// rtRefuseGift (a received gift: the counterpart is its giver).
void BuildGiftAction(TDataParameter& m, const TRequestContext& c, std::int32_t type,
                     const TPointGiftItem& gift);

}  // namespace vantori
