#pragma once
// The upload engine: one worker thread per upload queue. For each file it registers the upload
// with the main server (548, or 1184 for administrators; reply 549 or 51), which names the
// upload server and how much of the file the service holds; it then connects to that server on
// base port + 4, announces the file (52/53), sends the rest in blocks (56) paced to the
// server's speed cap, and calls the file done only when the server has confirmed it (57 with
// success, or 112).
//
// Threads as for downloads: the engine's thread owns the upload connection and the local file;
// replies of the main server arrive on their own thread (BeforeReadyToUp, ReadyToUpload); a
// stop from the window's thread only marks the item and asks the engine to tell the server.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "transfers/USpeedLimiter.h"
#include "transfers/UTransferCallbacks.h"
#include "transfers/UTransferLink.h"
#include "transfers/UUpItems.h"

namespace vantori {

class TLog;

struct TUpEngineDeps {
  IMainServerSender* MainServer = nullptr;
  TLog* Log = nullptr;
  ISoundPlayer* Sound = nullptr;
  ITransferClock* Clock = nullptr;
  TErrorTextFn ErrorText;
  // Stores the upload server's address under "Upload Server Addr" (when "wjddorahem" is off).
  std::function<void(const ByteString&)> StoreUploadServer;
};

class TUpThread {
 public:
  TUpThread(TUpItems* items, TUpEngineDeps deps, IUpCallbacks* callbacks);
  ~TUpThread();
  TUpThread(const TUpThread&) = delete;
  TUpThread& operator=(const TUpThread&) = delete;

  void SetSettings(const TTransferSettings& settings);
  TTransferSettings Settings() const;
  void SetShutDownWhenDone(bool on) { FShutDownWhenDone = on; }
  void SetCloseWhenDone(bool on) { FCloseWhenDone = on; }

  void Start();
  // The window's stop: stop requested, then UpCancel.
  void RequestStop();
  void UpCancel();
  bool StopRequested() const { return FStopRequested; }
  // Main-server replies 549 and 51 (any thread).
  void BeforeReadyToUp(const TDataParameter& reply);
  void ReadyToUpload(const TDataParameter& reply);
  void Detach();

  bool Finished() const { return FFinished; }
  int CurrentIndex() const;

 private:
  void Execute();
  int ItemByStatus() const;
  TUpItem* Current() const;
  void ReadyToUp(TUpItem& item);
  void ApplyPrepareReply(const TDataParameter& reply, bool withFind);
  void StartUpload(TUpItem& item);
  void ClientConnect(TUpItem& item);
  void ClientReceived(TUpItem& item, const TDataParameter& message);
  void NotifyPrepare(TUpItem& item, const TDataParameter& message);
  void UploadFile(TUpItem& item);
  void MarkDone(TUpItem& item);
  void SendStop();
  void CompleteEvent();
  void FailFrom(int index, const ByteString& text);
  void RetryOrFail(TUpItem& item, const ByteString& text);
  void LogError(const char* place, const std::string& text);
  ByteString ErrorText(std::int32_t code) const;
  void Sleep(int ms);

  TUpItems* FItems;
  TUpEngineDeps FDeps;
  ITransferClock& FClock;
  IUpCallbacks* FCallbacks;
  IUpCallbacks FNoCallbacks;

  mutable std::mutex FSettingsLock;
  TTransferSettings FSettings;
  TTransferSettings FItemSettings;

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FStopRequested{false};
  std::atomic<bool> FShutDownWhenDone{false};
  std::atomic<bool> FCloseWhenDone{false};
  std::atomic<bool> FInConversation{false};
  bool FAlarmPlayed = false;

  // Guarded by UploadLock().
  int FCurrent = -1;
  bool FAwaitingPreparation = false;

  // Engine thread only.
  TTransferLink FLink;
  TSpeedLimiter FLimiter;
  bool FEndConversation = false;
  std::uint32_t FLastTraffic = 0;
};

}  // namespace vantori
