#include "transfers/UTransferSession.h"

#include <chrono>

#include "folders/UClientItems.h"
#include "folders/URequests.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "settings/ULoginManager.h"
#include "transfers/UDownThread.h"
#include "transfers/UTransferRecords.h"
#include "transfers/UUpThread.h"

namespace vantori {

TTransferSession::TTransferSession(std::string host, std::uint16_t basePort, TLog* log)
    : FHost(std::move(host)), FBasePort(basePort), FLog(log), FMoney(log) {
  FSocket.SetAddress(FHost);
  FSocket.SetPort(FBasePort);
  FSocket.OnReceived = [this](TClientSock&, const TDataParameter& message) { Received(message); };
  FSocket.OnDisconnect = [this](TClientSock&) {
    std::lock_guard<std::mutex> guard(FLock);
    FLost = true;
    FArrived.notify_all();
  };
}

TTransferSession::~TTransferSession() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FDown = nullptr;
    FUp = nullptr;
  }
  try {
    FSocket.Disconnect();
  } catch (...) {
  }
}

std::uint32_t TTransferSession::Tick() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TTransferSession::AttachDown(TDownThread* engine) {
  std::lock_guard<std::mutex> guard(FLock);
  FDown = engine;
}

void TTransferSession::AttachUp(TUpThread* engine) {
  std::lock_guard<std::mutex> guard(FLock);
  FUp = engine;
}

void TTransferSession::Connect() {
  if (FSocket.Active()) return;
  {
    std::lock_guard<std::mutex> guard(FLock);
    FLost = false;
  }
  FSocket.Connect();
}

void TTransferSession::Login(const std::string& userID, const std::string& password) {
  TLoginManager login(FLog);
  login.SetServer(FHost, FBasePort);
  const TLoginResult result = login.Login(userID, password);
  if (!result.Ok()) {
    if (result.Status == TLoginResult::lsRefused) throw ESessionRefused(result.Code, result.Text());
    throw std::runtime_error(result.Error.empty() ? result.Text() : result.Error);
  }
  FUserSeq = result.UserSeq;
  std::string id = userID;
  for (char& c : id)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  while (!id.empty() && id.back() == ' ') id.pop_back();
  while (!id.empty() && id.front() == ' ') id.erase(id.begin());
  FUserID = id;
  FPassword = password;

  TRequestContext ctx;
  ctx.UserSeq = FUserSeq;
  ctx.UserID = FUserID;
  ctx.Password = FPassword;
  ctx.Serial = VolumeSerialC();
  ctx.Tick = Tick();
  TDataParameter info;
  BuildRequestLoginInfo(info, ctx);
  auto replies = Request(info, {77});
  const TDataParameter& reply = replies.back();
  if (!(reply.Count() > 1 && reply.Params(1).AsBoolean())) {
    const TParamDef* code = reply.FindParam("Code");
    throw ESessionRefused(code ? code->AsInteger() : 0, "login information refused");
  }
  TDataParameter balance;
  ctx.Tick = Tick();
  BuildRequestBalance(balance, ctx);
  auto money = Request(balance, {60});
  const TDataParameter& m = money.back();
  if (const TParamDef* coins = m.FindParam("M")) FMoney.SetCoins(coins->AsInteger());
  if (const TParamDef* points = m.FindParam("P")) FMoney.SetPoints(points->AsInteger());
}

void TTransferSession::SendPrepared(TDataParameter& message) {
  std::lock_guard<std::mutex> guard(FSendLock);
  Connect();
  FSocket.Send(message);
}

void TTransferSession::Received(const TDataParameter& message) {
  if (message.Count() == 0) return;
  const int type = message.Params(0).AsInteger();
  std::unique_lock<std::mutex> guard(FLock);
  if (type == msg::kDownPrepareReply && FDown) {
    TDownThread* engine = FDown;
    guard.unlock();
    engine->BeforeReadyToDown(message);
    return;
  }
  if ((type == msg::kUpRegisterReply || type == msg::kUpRegisterReplyAlt) && FUp) {
    TUpThread* engine = FUp;
    guard.unlock();
    if (type == msg::kUpRegisterReply)
      engine->BeforeReadyToUp(message);
    else
      engine->ReadyToUpload(message);
    return;
  }
  if (type == msg::kDownEndedReply) return;
  if (FCollecting) {
    FInbox.push_back(message);
    FArrived.notify_all();
  }
}

std::vector<TDataParameter> TTransferSession::Request(TDataParameter& request, const std::set<int>& endTypes,
                                                      int timeoutMs) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FInbox.clear();
    FCollecting = true;
  }
  SendPrepared(request);
  std::vector<TDataParameter> got;
  std::unique_lock<std::mutex> guard(FLock);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (!FInbox.empty()) {
      got.push_back(std::move(FInbox.front()));
      FInbox.pop_front();
      const TDataParameter& last = got.back();
      if (last.Count() > 0 && endTypes.count(last.Params(0).AsInteger())) {
        FCollecting = false;
        return got;
      }
    }
    if (FLost) {
      FCollecting = false;
      throw std::runtime_error("the main server closed the connection");
    }
    if (FArrived.wait_until(guard, deadline) == std::cv_status::timeout && FInbox.empty()) {
      FCollecting = false;
      throw std::runtime_error("no reply from the main server");
    }
  }
}

}  // namespace vantori
