#include "folders/UNetManager.h"

#include <arpa/inet.h>

#include <chrono>

#include "protocol/UDispatcher.h"
#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"

namespace vantori {

const char kCannotConnectText[] =
    "\xBC\xAD\xB9\xF6\xB7\xCE\xC0\xC7 \xC1\xA2\xBC\xD3\xC0\xBB \xC7\xD2 \xBC\xF6 "
    "\xBE\xF8\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.\r\r\xC0\xCE\xC5\xCD\xB3\xDD \xB6\xF3\xC0\xCE\xBF\xA1 "
    "\xB9\xAE\xC1\xA6\xB0\xA1 \xBE\xF8\xB4\xD9\xB8\xE9 \xC0\xCF\xBD\xC3\xC0\xFB\xC0\xCE "
    "\xC5\xEB\xBD\xC5\xBB\xF3\xC0\xC7 \r\r\xC1\xA2\xBC\xD3\xBF\xC0\xB7\xF9\xC0\xCF \xBC\xF6 "
    "\xC0\xD6\xC0\xB8\xB4\xCF \xC0\xE7\xBD\xC3\xB5\xB5\xC7\xCF\xBD\xC3\xB1\xE2 "
    "\xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";

TNetManager::TNetManager(TClientConfig* config, TLog* log, IUiDispatcher* ui, TTickFn tick,
                         std::uint32_t idleInterval)
    : FConfig(config),
      FLog(log),
      FUi(ui),
      FTick(tick ? std::move(tick) : TickCount),
      FAlive(std::make_shared<std::atomic<bool>>(true)) {
  if (FUi != nullptr) FSocket.Dispatch = [ui](std::function<void()> work) { ui->Post(std::move(work)); };

  FSocket.OnConnected = [this](TClientSock&, const std::string& ip) {
    if (FConfig != nullptr && FConfig->LocalIP() != ip) {
      in_addr number{};
      inet_pton(AF_INET, ip.c_str(), &number);
      FConfig->SetLocalIP(ip, number.s_addr);
    }
    if (OnConnected) OnConnected(*this);
  };
  FSocket.OnStartSend = [this](TClientSock&) { Touch(); };
  FSocket.OnReceived = [this](TClientSock&, const TDataParameter& message) {
    Touch();
    if (FUi == nullptr) {
      if (OnReceived) OnReceived(*this, message);
      return;
    }
    auto alive = FAlive;
    FSocket.PostCopy(message, [this, alive](TDataParameter& copy) {
      if (*alive && OnReceived) OnReceived(*this, copy);
    });
  };
  FSocket.OnDisconnect = [this](TClientSock&) {
    if (FUi == nullptr || FUi->IsUiThread()) {
      if (OnDisconnect) OnDisconnect(*this);
      return;
    }
    auto alive = FAlive;
    FUi->Post([this, alive] {
      if (*alive && OnDisconnect) OnDisconnect(*this);
    });
  };

  if (idleInterval > 0) FTimer = std::thread([this, idleInterval] { RunTimer(idleInterval); });
}

TNetManager::~TNetManager() {
  {
    std::lock_guard guard(FTimerLock);
    FTimerStop = true;
  }
  FTimerWake.notify_all();
  if (FTimer.joinable()) FTimer.join();
  *FAlive = false;
  FSocket.OnDisconnect = nullptr;
  FSocket.OnReceived = nullptr;
  FSocket.Disconnect();
}

void TNetManager::RunTimer(std::uint32_t interval) {
  std::unique_lock lock(FTimerLock);
  while (!FTimerWake.wait_for(lock, std::chrono::milliseconds(interval), [this] { return FTimerStop; })) {
    lock.unlock();
    if (FUi != nullptr) {
      auto alive = FAlive;
      FUi->Post([this, alive] {
        if (*alive) IdleCheck();
      });
    } else {
      IdleCheck();
    }
    lock.lock();
  }
}

void TNetManager::Log(const std::string& text) const {
  if (FLog != nullptr) FLog->Write(text);
}

TRequestContext TNetManager::Context() const {
  TRequestContext c;
  if (FConfig != nullptr) {
    c.UserSeq = FConfig->UserSeq();
    c.UserID = FConfig->UserID();
    c.Password = FConfig->Password();
    c.AdultPermission = FConfig->AdultPermission.load();
  }
  c.Serial = VolumeSerialC();
  c.Tick = FTick();
  return c;
}

void TNetManager::Connect() {
  std::lock_guard guard(FLock);
  std::string address;
  int port = proto::kDefaultBasePort;
  if (FConfig != nullptr) {
    address = UseLoginServer.exchange(false) ? FConfig->LoginServerAddress() : FConfig->MainServerAddress();
    port = FConfig->BasePort();
  } else {
    UseLoginServer = false;
  }
  if (FSocket.Active()) FSocket.Disconnect();
  FSocket.SetAddress(address);
  FSocket.SetPort(port);
  Touch();
  try {
    FSocket.Connect();
  } catch (const std::exception& e) {
    Log("TNetManager.Connect " + address + ":" + std::to_string(port) + " : " + e.what());
    throw EKXError(kCannotConnectText);
  }
}

void TNetManager::Disconnect() {
  if (FSocket.Active()) FSocket.Disconnect();
}

bool TNetManager::IdleCheck() {
  std::lock_guard guard(FLock);
  if (!FSocket.Active()) return false;
  // A reply that a window waits for keeps the connection, however long the server takes.
  if (FWait != nullptr && FWait->ReplyAwaited()) return false;
  if (static_cast<std::uint32_t>(FTick() - FLastActivity) <= IdleLimit) return false;
  try {
    FSocket.SendCloseMarker();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } catch (...) {
  }
  try {
    FSocket.Disconnect();
  } catch (...) {
  }
  return true;
}

void TNetManager::SendLocked() {
  if (!FSocket.Active()) Connect();
  FSocket.Send(FRequest);
}

template <class F>
void TNetManager::Request(F&& build) {
  std::lock_guard guard(FLock);
  FRequest.Clear();
  TRequestContext c = Context();
  build(FRequest, c);
  SendLocked();
}

void TNetManager::SendPrepared(const TDataParameter& message) {
  std::lock_guard guard(FLock);
  // A copy keeps every value as the worker built it, encrypted records included.
  FRequest = message;
  SendLocked();
}

// clang-format off
void TNetManager::ListMyFolder(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildListMyFolder(m, c, n); }); }
void TNetManager::ListMyClubs(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildListMyClubs(m, c, n); }); }
void TNetManager::CreateFolder(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildCreateFolder(m, c, n); }); }
void TNetManager::CreateListFolder(const TFFItem& i) { Request([&](auto& m, auto& c) { BuildCreateListFolder(m, c, i); }); }
void TNetManager::CreateFriendGroup(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildCreateFriendGroup(m, c, n); }); }
void TNetManager::DeleteFolder(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildDeleteFolder(m, c, n); }); }
void TNetManager::DeleteItems(const TFolderItem& shown, TSelection s) { Request([&](auto& m, auto& c) { BuildDeleteItems(m, c, shown, s); }); }
void TNetManager::RenameFolder(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildRenameFolder(m, c, n); }); }
void TNetManager::RenameListFolder(const TFFItem& i) { Request([&](auto& m, auto& c) { BuildRenameListFolder(m, c, i); }); }
void TNetManager::RenameFile(const TFFItem& i) { Request([&](auto& m, auto& c) { BuildRenameFile(m, c, i); }); }
void TNetManager::RenameFriendGroup(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildRenameFriendGroup(m, c, n); }); }
void TNetManager::MoveFolder(const TFolderItem& s, const TFolderItem& t) { Request([&](auto& m, auto& c) { BuildMoveFolder(m, c, s, t); }); }
void TNetManager::MoveItems(TSelection sel, const TFolderItem& s, const TFolderItem& t) { Request([&](auto& m, auto& c) { BuildMoveItems(m, c, sel, s, t); }); }
void TNetManager::MoveFriendGroup(const TFolderItem& s, const TFolderItem& t) { Request([&](auto& m, auto& c) { BuildMoveFriendGroup(m, c, s, t); }); }
void TNetManager::MoveFriend(const TFolderItem& f, const TFolderItem& g) { Request([&](auto& m, auto& c) { BuildMoveFriend(m, c, f, g); }); }
void TNetManager::ChangeFolderInfo(const TFolderItem& n, std::string_view name, std::string_view pub, std::string_view pass, std::string_view comment) {
  Request([&](auto& m, auto& c) { BuildChangeFolderInfo(m, c, n, name, pub, pass, comment); });
}
void TNetManager::ChangeListFolderInfo(const TFFItem& i, std::string_view name, std::string_view pub, std::string_view pass, std::string_view comment) {
  Request([&](auto& m, auto& c) { BuildChangeListFolderInfo(m, c, i, name, pub, pass, comment); });
}
void TNetManager::ListFriends(const TFolderItem& n, std::int32_t g) { Request([&](auto& m, auto& c) { BuildListFriends(m, c, n, g); }); }
void TNetManager::AddFriend(std::string_view id, std::int32_t g) { Request([&](auto& m, auto& c) { BuildAddFriend(m, c, id, g); }); }
void TNetManager::ListFriendFolder(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildListFriendFolder(m, c, n); }); }
void TNetManager::DeleteFriend(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildDeleteFriend(m, c, n); }); }
void TNetManager::DeleteFriendGroup(const TFolderItem& n) { Request([&](auto& m, auto& c) { BuildDeleteFriendGroup(m, c, n); }); }
void TNetManager::CopyFriendFolder(const TFolderItem& f, const TFolderItem& t) { Request([&](auto& m, auto& c) { BuildCopyFriendFolder(m, c, f, t); }); }
void TNetManager::CopyFriendItems(TSelection s, const TFolderItem& t) { Request([&](auto& m, auto& c) { BuildCopyFriendItems(m, c, s, t); }); }
void TNetManager::PasteFriendItems(std::int32_t u, const TFolderItem& t, const TFFItems& i, const TFolderItems& f) {
  Request([&](auto& m, auto& c) { BuildPasteFriendItems(m, c, u, t, i, f); });
}
void TNetManager::PasteCutItems(const TFolderItem& t, const TFolderItems& f, const TFFItems& i) { Request([&](auto& m, auto& c) { BuildPasteCutItems(m, c, t, f, i); }); }
void TNetManager::ChangeFileInfo(std::int32_t s, std::string_view n, std::string_view cm) { Request([&](auto& m, auto& c) { BuildChangeFileInfo(m, c, s, n, cm); }); }
void TNetManager::QueryFileInfo(const TFFItem& i) { Request([&](auto& m, auto& c) { BuildQueryFileInfo(m, c, i); }); }
void TNetManager::RequestLoginInfo() {
  Request([&](auto& m, auto& c) { FLoginInfoTick = c.Tick; BuildRequestLoginInfo(m, c); });
}
void TNetManager::RequestBalance() {
  Request([&](auto& m, auto& c) { FBalanceTick = c.Tick; BuildRequestBalance(m, c); });
}
void TNetManager::QueryUploadTotal() { Request([&](auto& m, auto& c) { BuildQueryUploadTotal(m, c); }); }
void TNetManager::RegisterUpload(const TDropItems& d) { Request([&](auto& m, auto& c) { BuildRegisterUpload(m, c, d); }); }
void TNetManager::ListDownloadItems(std::int32_t o, const TDownFolderItems& f, const TDownFileItems& fi, const TDownFolderItems& s) {
  Request([&](auto& m, auto& c) { BuildListDownloadItems(m, c, o, f, fi, s, false); });
}
void TNetManager::ListWebDownloadItems(std::int32_t o, const TDownFolderItems& f, const TDownFileItems& fi, const TDownFolderItems& s) {
  Request([&](auto& m, auto& c) { BuildListDownloadItems(m, c, o, f, fi, s, true); });
}
void TNetManager::ExtendFolderStorage(const TFolderItem& n, std::int32_t d, bool coins) { Request([&](auto& m, auto& c) { BuildExtendFolderStorage(m, c, n, d, coins); }); }
void TNetManager::ExtendItemsStorage(TSelection s, std::int32_t d, bool coins) { Request([&](auto& m, auto& c) { BuildExtendItemsStorage(m, c, s, d, coins); }); }
void TNetManager::QueryFolderPeriod(const TFolderItem& n, std::int32_t l) { Request([&](auto& m, auto& c) { BuildQueryFolderPeriod(m, c, n, l); }); }
void TNetManager::QueryListFolderPeriod(TSelection s, std::int32_t l) { Request([&](auto& m, auto& c) { BuildQueryListFolderPeriod(m, c, s, l); }); }
void TNetManager::WithdrawMembership() { Request([&](auto& m, auto& c) { BuildWithdrawMembership(m, c); }); }
void TNetManager::Logout() { Request([&](auto& m, auto& c) { BuildLogout(m, c); }); }
void TNetManager::SendNote(std::string_view r, std::string_view t, std::string_view ct) { Request([&](auto& m, auto& c) { BuildSendNote(m, c, r, t, ct); }); }
void TNetManager::CheckNewNotes() { Request([&](auto& m, auto& c) { BuildCheckNewNotes(m, c); }); }
void TNetManager::SearchFiles(const TSearchQuery& q) { Request([&](auto& m, auto& c) { BuildSearchFiles(m, c, q); }); }
void TNetManager::ListSearchFolder(std::int32_t o, std::int32_t f, std::int32_t d, std::int32_t fs, std::int64_t cs, std::int64_t p) {
  Request([&](auto& m, auto& c) { BuildListSearchFolder(m, c, o, f, d, fs, cs, p); });
}
void TNetManager::ChangePoints(std::int32_t p) { Request([&](auto& m, auto& c) { BuildChangePoints(m, c, p); }); }
void TNetManager::BuyUploadCoupon(std::int32_t method) { Request([&](auto& m, auto& c) { BuildBuyUploadCoupon(m, c, method); }); }
void TNetManager::QueryCouponBalance() { Request([&](auto& m, auto& c) { BuildQueryCouponBalance(m, c); }); }
void TNetManager::ListSentGifts(std::string_view month) { Request([&](auto& m, auto& c) { BuildListGifts(m, c, month, false); }); }
void TNetManager::ListReceivedGifts(std::string_view month) { Request([&](auto& m, auto& c) { BuildListGifts(m, c, month, true); }); }
void TNetManager::SendGift(std::int32_t a, std::string_view r, bool coins, bool points) { Request([&](auto& m, auto& c) { BuildSendGift(m, c, a, r, coins, points); }); }
void TNetManager::CancelGift(const TPointGiftItem& g) { Request([&](auto& m, auto& c) { BuildGiftAction(m, c, rtCancelGift, g); }); }
void TNetManager::AcceptGift(const TPointGiftItem& g) { Request([&](auto& m, auto& c) { BuildGiftAction(m, c, rtAcceptGift, g); }); }
void TNetManager::RefuseGift(const TPointGiftItem& g) { Request([&](auto& m, auto& c) { BuildGiftAction(m, c, rtRefuseGift, g); }); }
// clang-format on

}  // namespace vantori
