#pragma once
// A main-server session for programs without windows (the command-line client, tests and
// benchmarks): logs a member in, keeps the connection, sends the engines' messages and hands
// the engines their replies, and runs plain request/reply exchanges for listings and folder
// registration. The windows use TNetManager instead.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "protocol/UClientSockCtrl.h"
#include "settings/UMoneyInfo.h"
#include "transfers/UTransferCallbacks.h"

namespace vantori {

class TDownThread;
class TUpThread;
class TLog;

// A refusal by the server: the reply's "Code".
class ESessionRefused : public std::runtime_error {
 public:
  ESessionRefused(std::int32_t code, const std::string& what) : std::runtime_error(what), FCode(code) {}
  std::int32_t Code() const { return FCode; }

 private:
  std::int32_t FCode;
};

class TTransferSession final : public IMainServerSender {
 public:
  TTransferSession(std::string host, std::uint16_t basePort, TLog* log = nullptr);
  ~TTransferSession() override;
  TTransferSession(const TTransferSession&) = delete;
  TTransferSession& operator=(const TTransferSession&) = delete;

  // The login conversation, then the login information and the balance on the main
  // connection. Raises ESessionRefused (with the server's code) or std::runtime_error.
  void Login(const std::string& userID, const std::string& password);

  std::int32_t UserSeq() const { return FUserSeq; }
  const ByteString& UserID() const { return FUserID; }
  TMoneyInfo& Money() { return FMoney; }
  const std::string& Host() const { return FHost; }
  std::uint16_t BasePort() const { return FBasePort; }

  // Replies 1210 go to the download engine, 549 and 51 to the upload engine.
  void AttachDown(TDownThread* engine);
  void AttachUp(TUpThread* engine);

  void SendPrepared(TDataParameter& message) override;

  // Sends a request and collects every message up to (and including) the first whose type is
  // in `endTypes`; raises std::runtime_error after timeoutMs without it.
  std::vector<TDataParameter> Request(TDataParameter& request, const std::set<int>& endTypes,
                                      int timeoutMs = 15000);

  // A fresh tick for requests that echo one.
  static std::uint32_t Tick();

 private:
  void Received(const TDataParameter& message);
  void Connect();

  std::string FHost;
  std::uint16_t FBasePort;
  TLog* FLog;
  TMoneyInfo FMoney;
  std::int32_t FUserSeq = 0;
  ByteString FUserID;
  ByteString FPassword;

  std::mutex FSendLock;
  TClientAsyncSock FSocket;

  std::mutex FLock;
  std::condition_variable FArrived;
  std::deque<TDataParameter> FInbox;
  bool FCollecting = false;
  bool FLost = false;
  TDownThread* FDown = nullptr;
  TUpThread* FUp = nullptr;
};

}  // namespace vantori
