#pragma once
// TNetManager: the one connection of the client to the main server.
//
// It builds every request of the folder service and of the windows that share the main
// server, connects on demand (once to the login server, right after login, otherwise to
// the main server), sends, and hands every arriving message to its owner on the
// user-interface thread, in arrival order. After IdleLimit milliseconds without traffic
// the idle check sends the close marker and disconnects - never while a waited reply is
// outstanding. One lock serialises every request from Clear to the end of its send, so
// the transfer workers may send through SendPrepared from their threads.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "folders/UClientItems.h"
#include "folders/URequests.h"
#include "folders/UWait.h"
#include "protocol/UClientSockCtrl.h"
#include "protocol/UParameter.h"

namespace vantori {

class IUiDispatcher;
class TClientConfig;
class TLog;

// "서버로의 접속을 할 수 없었습니다. ..." (cp949), raised when connecting fails.
extern const char kCannotConnectText[];

class TNetManager {
 public:
  using TTickFn = std::function<std::uint32_t()>;
  using TNotify = std::function<void(TNetManager& Sender)>;
  using TReceived = std::function<void(TNetManager& Sender, const TDataParameter& AParam)>;

  static constexpr std::uint32_t kIdleLimit = 30000;
  static constexpr std::uint32_t kIdleInterval = 5000;

  // ui: where OnReceived and OnDisconnect run (none: on the thread that produced them).
  // idleInterval: period of the idle check's own timer; 0 leaves the check to IdleCheck
  // calls of the owner (tests).
  TNetManager(TClientConfig* config, TLog* log, IUiDispatcher* ui = nullptr, TTickFn tick = TTickFn(),
              std::uint32_t idleInterval = kIdleInterval);
  ~TNetManager();
  TNetManager(const TNetManager&) = delete;
  TNetManager& operator=(const TNetManager&) = delete;

  void SetConfig(TClientConfig* config) { FConfig = config; }
  void SetLog(TLog* log) { FLog = log; }
  // The wait discipline of the main window; while it waits, the idle close holds off.
  void SetWaitControl(TWaitControl* wait) { FWait = wait; }
  TClientAsyncSock& Socket() { return FSocket; }

  // The next connect goes to the login server address; cleared by that connect.
  std::atomic<bool> UseLoginServer{false};
  // Read by the main window's refresh command only.
  bool ReportRefreshErrors = true;
  // Milliseconds without traffic after which the idle check closes the connection.
  std::uint32_t IdleLimit = kIdleLimit;

  TNotify OnConnected;
  TNotify OnDisconnect;
  TReceived OnReceived;

  // Ticks stored for the replies that echo them.
  std::uint32_t BalanceRequestTick() const { return FBalanceTick; }
  std::uint32_t LoginInfoTick() const { return FLoginInfoTick; }
  std::uint32_t LastActivity() const { return FLastActivity; }

  // ---- Connection
  void Connect();
  void Disconnect();
  void SetWaitTime(int milliseconds) { FSocket.SetWaitTime(milliseconds); }
  bool Connected() const { return FSocket.Active(); }
  // The idle timer's work: close marker and disconnect after IdleLimit without traffic.
  // True when it closed the connection.
  bool IdleCheck();
  // Sends a message built by a transfer worker: the manager sends its own copy, with
  // encrypted values left encrypted.
  void SendPrepared(const TDataParameter& message);

  // ---- Requests (see URequests.h for the parameters)
  void ListMyFolder(const TFolderItem& node);
  void ListMyClubs(const TFolderItem& node);
  void CreateFolder(const TFolderItem& node);
  void CreateListFolder(const TFFItem& item);
  void CreateFriendGroup(const TFolderItem& node);
  void DeleteFolder(const TFolderItem& node);
  void DeleteItems(const TFolderItem& shown, TSelection selected);
  void RenameFolder(const TFolderItem& node);
  void RenameListFolder(const TFFItem& item);
  void RenameFile(const TFFItem& item);
  void RenameFriendGroup(const TFolderItem& node);
  void MoveFolder(const TFolderItem& source, const TFolderItem& target);
  void MoveItems(TSelection selected, const TFolderItem& source, const TFolderItem& target);
  void MoveFriendGroup(const TFolderItem& source, const TFolderItem& target);
  void MoveFriend(const TFolderItem& friendNode, const TFolderItem& group);
  void ChangeFolderInfo(const TFolderItem& node, std::string_view name, std::string_view pub,
                        std::string_view pass, std::string_view comment);
  void ChangeListFolderInfo(const TFFItem& item, std::string_view name, std::string_view pub,
                            std::string_view pass, std::string_view comment);
  void ListFriends(const TFolderItem& node, std::int32_t groupSeq);
  void AddFriend(std::string_view friendID, std::int32_t groupSeq);
  void ListFriendFolder(const TFolderItem& node);
  void DeleteFriend(const TFolderItem& node);
  void DeleteFriendGroup(const TFolderItem& node);
  void CopyFriendFolder(const TFolderItem& folder, const TFolderItem& target);
  void CopyFriendItems(TSelection selected, const TFolderItem& target);
  void PasteFriendItems(std::int32_t sourceUserSeq, const TFolderItem& target, const TFFItems& items,
                        const TFolderItems& folders);
  void PasteCutItems(const TFolderItem& target, const TFolderItems& folders, const TFFItems& items);
  void ChangeFileInfo(std::int32_t fileSeq, std::string_view name, std::string_view comment);
  void QueryFileInfo(const TFFItem& item);
  void RequestLoginInfo();
  void RequestBalance();
  void QueryUploadTotal();
  void RegisterUpload(const TDropItems& drops);
  void ListDownloadItems(std::int32_t ownerSeq, const TDownFolderItems& folders, const TDownFileItems& files,
                         const TDownFolderItems& subFolders);
  void ListWebDownloadItems(std::int32_t ownerSeq, const TDownFolderItems& folders,
                            const TDownFileItems& files, const TDownFolderItems& subFolders);
  void ExtendFolderStorage(const TFolderItem& node, std::int32_t days, bool payWithCoins);
  void ExtendItemsStorage(TSelection selected, std::int32_t days, bool payWithCoins);
  void QueryFolderPeriod(const TFolderItem& node, std::int32_t dayLimit);
  void QueryListFolderPeriod(TSelection selected, std::int32_t dayLimit);
  void WithdrawMembership();
  void Logout();
  void SendNote(std::string_view recipients, std::string_view title, std::string_view content);
  void CheckNewNotes();
  void SearchFiles(const TSearchQuery& query);
  void ListSearchFolder(std::int32_t ownerSeq, std::int32_t folderSeq, std::int32_t disk,
                        std::int32_t fileSeq, std::int64_t curSize, std::int64_t part);
  void ChangePoints(std::int32_t points);
  void BuyUploadCoupon(std::int32_t method);
  void QueryCouponBalance();
  void ListSentGifts(std::string_view month);
  void ListReceivedGifts(std::string_view month);
  void SendGift(std::int32_t amount, std::string_view receiverID, bool coins, bool points);
  void CancelGift(const TPointGiftItem& gift);
  void AcceptGift(const TPointGiftItem& gift);
  void RefuseGift(const TPointGiftItem& gift);

  // The values a request takes from the configuration, with the tick of now.
  TRequestContext Context() const;

 private:
  template <class F>
  void Request(F&& build);
  void SendLocked();
  void Touch() { FLastActivity = FTick(); }
  void Log(const std::string& text) const;
  void RunTimer(std::uint32_t interval);

  TClientConfig* FConfig;
  TLog* FLog;
  IUiDispatcher* FUi;
  TTickFn FTick;
  TWaitControl* FWait = nullptr;
  TClientAsyncSock FSocket;
  TDataParameter FRequest;
  std::recursive_mutex FLock;
  std::atomic<std::uint32_t> FLastActivity{0};
  std::uint32_t FBalanceTick = 0;
  std::uint32_t FLoginInfoTick = 0;
  // Owner callbacks posted to the user-interface thread check this before running.
  std::shared_ptr<std::atomic<bool>> FAlive;

  std::mutex FTimerLock;
  std::condition_variable FTimerWake;
  bool FTimerStop = false;
  std::thread FTimer;
};

}  // namespace vantori
