#pragma once
// The download engine: one worker thread per download queue. For each file it asks the main
// server for permission and the storage server's address (1209/1210), opens its own connection
// to that server on base port + 3, asks for the file from the bytes already on disk (63/64),
// starts the data (67) and appends every data message (68) to the local file, metering coins,
// keeping under the speed limit and measuring speed and time; at the end it may tell the main
// server (1178).
//
// Threads: the engine's thread runs the loop, the whole storage conversation and the local
// file; the thread that delivers main-server replies runs BeforeReadyToDown; the window's
// thread runs Start, RequestStop/DownCancel and edits the list under DownloadLock(). Only the
// engine's thread reads, writes or closes the storage connection and the local file: a stop
// from another thread marks the item and wakes the engine, which closes both itself.
// Destroying the engine (or Detach) stops its thread and waits for it, so the item list can be
// freed afterwards.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "transfers/UDownItems.h"
#include "transfers/USpeedLimiter.h"
#include "transfers/UTransferCallbacks.h"
#include "transfers/UTransferLink.h"

namespace vantori {

class TLog;
class TMoneyInfo;

// The daily window in which reserved downloads may run.
struct TReservation {
  bool Enabled = false;
  int StartHour = 3, StartMinute = 5;
  int EndHour = 9, EndMinute = 55;
};

// True when local time `now` lies in the window (a window past midnight, 23:00-02:00, counts
// on both sides of it).
bool InReservationWindow(const TReservation& reservation, std::time_t now);

struct TDownEngineDeps {
  IMainServerSender* MainServer = nullptr;
  TMoneyInfo* Money = nullptr;  // null: no coin checks and no metering
  TLog* Log = nullptr;
  ISoundPlayer* Sound = nullptr;
  ITransferClock* Clock = nullptr;   // null: the system clock
  TErrorTextFn ErrorText;            // empty: every code has the unregistered-error text
  std::function<std::time_t()> Now;  // wall clock for the reservation; empty: time()
};

class TDownThread {
 public:
  TDownThread(TDownItems* items, TDownEngineDeps deps, IDownCallbacks* callbacks);
  ~TDownThread();
  TDownThread(const TDownThread&) = delete;
  TDownThread& operator=(const TDownThread&) = delete;

  void SetSettings(const TTransferSettings& settings);
  TTransferSettings Settings() const;
  void SetReservation(const TReservation& reservation);
  void SetShutDownWhenDone(bool on) { FShutDownWhenDone = on; }
  void SetCloseWhenDone(bool on) { FCloseWhenDone = on; }
  // Play the running file once more than 3 MB of it are present.
  void ReservePlay() { FPlayReserved = true; }
  bool PlayReserved() const { return FPlayReserved; }

  // Clears stop and pause; starts the thread the first time.
  void Start();
  // The window's stop: stop requested, pause cleared, then DownCancel.
  void RequestStop();
  void DownCancel();
  // The window acknowledged the cancellation: the loop idles until Start.
  void SetPaused(bool on) { FPaused = on; }
  bool StopRequested() const { return FStopRequested; }
  bool Paused() const { return FPaused; }
  // The window's one-second timer; the engine keeps its connection alive by itself, so this
  // only asks it to look now.
  void InspectConnect() { FInspectDue = true; }
  // The main server's reply 1210 (any thread).
  void BeforeReadyToDown(const TDataParameter& reply);
  // Forgets the item list and ends the thread; returns when it has ended.
  void Detach();

  bool Running() const { return FThread.joinable() && !FFinished; }
  bool Finished() const { return FFinished; }
  // The run-time values the engine keeps for the settings object.
  bool Downloading() const { return FDownloading; }
  std::uint32_t LastRequestTick() const { return FLastRequestTick; }
  bool FreeOwnFile() const { return FFreeOwnFile; }
  int CurrentIndex() const;

 private:
  void Execute();
  int ItemByStatus() const;
  TDownItem* Current() const;
  bool CoinsAllowed(const TDownItem& item) const;
  void ReadyToStartDown(TDownItem& item);
  void StartDown(TDownItem& item);
  void ClientConnect(TDownItem& item);
  void ClientReceived(TDownItem& item, const TDataParameter& message);
  void PrepareToDown(TDownItem& item, const TDataParameter& message);
  void ReceiveFile(TDownItem& item, std::span<const std::uint8_t> data);
  void CompleteItem(TDownItem& item);
  void StopDownload(TDownItem& item);
  void DownLimitSpeedOver(TDownItem& item);
  void CompleteEvent();
  void SendEnded(TDownItem& item);
  // Under the lock: the item and every later one fail with the text.
  void FailFrom(int index, const ByteString& text);
  // Under the lock: one more failed attempt.
  void RetryOrFail(TDownItem& item, const ByteString& failText);
  void OpenLocal(TDownItem& item);
  void CloseLocal();
  void EndConversation() { FEndConversation = true; }
  void SetDownloading(bool on);
  void LogError(const char* place, const std::string& text);
  ByteString ErrorText(std::int32_t code) const;
  void Sleep(int ms);

  TDownItems* FItems;  // guarded by DownloadLock()
  TDownEngineDeps FDeps;
  ITransferClock& FClock;
  IDownCallbacks* FCallbacks;
  IDownCallbacks FNoCallbacks;

  mutable std::mutex FSettingsLock;
  TTransferSettings FSettings;
  TReservation FReservation;
  TTransferSettings FItemSettings;  // the copy the current item works with (engine thread)

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FStopRequested{false};
  std::atomic<bool> FPaused{false};
  std::atomic<bool> FShutDownWhenDone{false};
  std::atomic<bool> FCloseWhenDone{false};
  std::atomic<bool> FPlayReserved{false};
  std::atomic<bool> FInspectDue{false};
  std::atomic<bool> FDownloading{false};
  std::atomic<bool> FFreeOwnFile{false};
  std::atomic<std::uint32_t> FLastRequestTick{0};
  bool FAlarmPlayed = false;

  // Guarded by DownloadLock().
  int FCurrent = -1;
  bool FAwaitingPreparation = false;
  std::uint32_t FPreparationTick = 0;

  // Engine thread only.
  TTransferLink FLink;
  TSpeedLimiter FLimiter;
  int FFile = -1;
  std::int64_t FWritePos = 0;
  bool FEndConversation = false;
  std::uint32_t FLastTraffic = 0;
  std::uint32_t FRequestTick = 0;
};

}  // namespace vantori
