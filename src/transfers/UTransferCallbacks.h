#pragma once
// What the transfer engines need from their owner and tell it. The queue windows implement
// the callbacks; the command-line client and the tests implement them too. Every callback runs
// on the engine's own thread: an owner with a user interface carries it over to its
// user-interface thread (IUiDispatcher::Post), and must not block the engine waiting for that
// thread while it holds the engine's lock.

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/UParameter.h"

namespace vantori {

class TDownThread;
class TUpThread;
class TDownItem;
class TUpItem;

// The main server connection the engines send their preparation and completion messages on
// (TNetManager's SendPrepared in the client). Safe to call from any thread.
class IMainServerSender {
 public:
  virtual ~IMainServerSender() = default;
  virtual void SendPrepared(TDataParameter& message) = 0;
};

// Plays a sound resource by name ("ALARM2") without waiting for it.
class ISoundPlayer {
 public:
  virtual ~ISoundPlayer() = default;
  virtual void PlayAsync(const std::string& resourceName) = 0;
};

// The download window's side.
class IDownCallbacks {
 public:
  virtual ~IDownCallbacks() = default;
  virtual void OnStatus(TDownThread&, TDownItem&) {}
  virtual void OnNotifyCancel(TDownThread&) {}
  virtual void OnNotifyComplete(TDownThread&) {}
  virtual void OnNotifyProgress(TDownThread&) {}
  virtual void OnMoneyUpdated(TDownThread&) {}
  virtual void OnDownFinished(TDownThread&) {}
  virtual void OnNotifyCanRetry(TDownThread&) {}
  virtual void OnDownStarted(TDownThread&, bool /*downloading*/) {}
  virtual void OnAnimateStart(TDownThread&) {}
  virtual void OnAnimateStop(TDownThread&) {}
  virtual void OnCloseWindow(TDownThread&) {}
  virtual void OnExitWindow(TDownThread&) {}
  virtual void OnDestroyed(TDownThread&) {}
  // "다운로드 파일 : 3/10" for the file counter label.
  virtual void OnFileCounter(TDownThread&, const std::string& /*text*/) {}
  // The row of the item to select, focus and scroll into view.
  virtual void OnSelectItem(TDownThread&, TDownItem&) {}
  // A reserved play is due: start the player on the item's local file (without waiting).
  virtual void OnPlay(TDownThread&, TDownItem&) {}
};

// The upload window's side.
class IUpCallbacks {
 public:
  virtual ~IUpCallbacks() = default;
  virtual void OnStatus(TUpThread&, TUpItem&) {}
  virtual void OnNotifyCancel(TUpThread&) {}
  virtual void OnNotifyComplete(TUpThread&) {}
  virtual void OnNotifyProgress(TUpThread&) {}
  virtual void OnNotifyCanRetry(TUpThread&) {}
  virtual void OnAnimateStart(TUpThread&) {}
  virtual void OnAnimateStop(TUpThread&) {}
  virtual void OnCloseWindow(TUpThread&) {}
  virtual void OnExitWindow(TUpThread&) {}
  virtual void OnUpSize(TUpThread&, std::int64_t /*bytes*/) {}
  virtual void OnFileCounter(TUpThread&, const std::string& /*text*/) {}
  virtual void OnSelectItem(TUpThread&, TUpItem&) {}
};

// The settings the engines read (the owner fills them from the client configuration; the
// engine reads a copy at the start of every item).
struct TTransferSettings {
  std::int32_t UserSeq = 0;
  ByteString UserId;
  bool Metered = true;  // "wjddorahem"
  bool AdminShow = false;
  bool AdminDown = false;
  bool DownSlow = false;
  std::int32_t DownLimit = -1;  // KB/s
  std::int32_t UpType = 6;      // block size index
  std::int32_t DownAlarmIndex = 0;
  std::int32_t UpAlarmIndex = 0;
  std::uint16_t BasePort = 7128;
  bool FreeOwnFile = false;
  bool UpSlow = false;
  std::int32_t UpLimit = -1;  // KB/s
  bool UpAdmin = false;
  ByteString UpServerAddr;
  bool AdminUpload = false;
  // The download window's choice for an existing local file: resume (false) or overwrite.
  bool Overwrite = false;

  // Time limits (milliseconds).
  int ConnectTimeoutMs = 7000;
  int ReadTimeLimitMs = 30000;   // a silent storage or upload server fails the attempt
  int PrepareTimeoutMs = 50000;  // no preparation reply: the attempt fails
  int InspectAfterMs = 5000;     // keep-alive while a transfer is quiet
  int RetryPauseMs = 1000;
  int IdlePollMs = 100;
  int ItemPauseMs = 200;
};

// The server error-code table: the text of a failed reply's code.
using TErrorTextFn = std::function<ByteString(std::int32_t code)>;

}  // namespace vantori
