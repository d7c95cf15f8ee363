#include "transfers/UDownThread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "settings/UMoneyInfo.h"
#include "transfers/UDownResume.h"
#include "transfers/USafeName.h"
#include "transfers/UTransferRecords.h"
#include "transfers/UTransferTexts.h"

namespace vantori {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int kMaxRetries = 10;
constexpr std::int64_t kPlayThreshold = 3145728;
// The engine wakes at least this often while it waits for the storage server.
constexpr int kReadSliceMs = 250;

// A failure whose text becomes the item's status message.
class EDownError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Folder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::tm LocalTm(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::time_t At(const std::tm& day, int hour, int minute, int dayShift) {
  std::tm tm = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = 1;
  tm.tm_mday += dayShift;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace

bool InReservationWindow(const TReservation& r, std::time_t now) {
  const std::tm today = LocalTm(now);
  std::time_t start = At(today, r.StartHour, r.StartMinute, 0);
  std::time_t end = At(today, r.EndHour, r.EndMinute, 0);
  if (end < start) end = At(today, r.EndHour, r.EndMinute, 1);
  if (now >= start && now <= end) return true;
  // The same window begun yesterday.
  const std::time_t start2 = At(today, r.StartHour, r.StartMinute, -1);
  const std::time_t end2 = end - (start - start2);
  return now >= start2 && now <= end2;
}

TDownThread::TDownThread(TDownItems* items, TDownEngineDeps deps, IDownCallbacks* callbacks)
    : FItems(items),
      FDeps(std::move(deps)),
      FClock(FDeps.Clock ? *FDeps.Clock : SystemTransferClock()),
      FCallbacks(callbacks ? callbacks : &FNoCallbacks),
      FLimiter(FClock) {}

TDownThread::~TDownThread() {
  Detach();
  FCallbacks->OnDestroyed(*this);
}

void TDownThread::SetSettings(const TTransferSettings& settings) {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  FSettings = settings;
  FFreeOwnFile = settings.FreeOwnFile;
}

TTransferSettings TDownThread::Settings() const {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  return FSettings;
}

void TDownThread::SetReservation(const TReservation& reservation) {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  FReservation = reservation;
}

void TDownThread::Start() {
  FStopRequested = false;
  FPaused = false;
  if (!FThread.joinable() && !FTerminated) FThread = std::thread([this] { Execute(); });
}

void TDownThread::Detach() {
  {
    Lock lock(DownloadLock());
    FItems = nullptr;
  }
  FTerminated = true;
  FLink.Shutdown();
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

int TDownThread::CurrentIndex() const {
  Lock lock(DownloadLock());
  return FCurrent;
}

void TDownThread::RequestStop() {
  FStopRequested = true;
  FPaused = false;
  DownCancel();
}

void TDownThread::DownCancel() {
  try {
    TDownItem* item = nullptr;
    {
      Lock lock(DownloadLock());
      item = Current();
      if (!item) return;  // the loop reports the cancellation
      item->SetStatus(TTransferStatus::Stopped);
      if (item->NotifyService || item->NotifyFlag2) SendEnded(*item);
    }
    // The engine's thread sees the connection go down, closes the local file and the
    // connection itself and reports nothing more for this item.
    FLink.Shutdown();
    SetDownloading(false);
    FCallbacks->OnDownStarted(*this, false);
    FCallbacks->OnNotifyCancel(*this);
  } catch (const std::exception& e) {
    LogError("DownTDownCancel : ", e.what());
  }
}

TDownItem* TDownThread::Current() const {
  if (!FItems || FCurrent < 0) return nullptr;
  return FItems->Items(FCurrent);
}

int TDownThread::ItemByStatus() const {
  try {
    for (TTransferStatus wanted :
         {TTransferStatus::Stopped, TTransferStatus::Retrying, TTransferStatus::Waiting})
      for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Items(i)->Status() == wanted) return i;
  } catch (const std::exception& e) {
    const_cast<TDownThread*>(this)->LogError("DownTItemByStatus : ", e.what());
  }
  return -1;
}

bool TDownThread::CoinsAllowed(const TDownItem& item) const {
  if (!FDeps.Money) return true;
  if (item.UploaderSeq == FItemSettings.UserSeq && FFreeOwnFile) return true;
  return FDeps.Money->Coins() >= 1;
}

void TDownThread::SetDownloading(bool on) {
  FDownloading = on;
}

void TDownThread::Sleep(int ms) {
  if (ms > 0) FClock.Sleep(static_cast<std::uint32_t>(ms));
}

void TDownThread::LogError(const char* place, const std::string& text) {
  if (FDeps.Log) FDeps.Log->Write(std::string(place) + text);
}

ByteString TDownThread::ErrorText(std::int32_t code) const {
  if (FDeps.ErrorText) return FDeps.ErrorText(code);
  return texts::kMsgUnregisteredError;
}

void TDownThread::FailFrom(int index, const ByteString& text) {
  if (!FItems) return;
  for (int i = FItems->Count() - 1; i >= index && i >= 0; --i) {
    TDownItem* item = FItems->Items(i);
    if (i > index && item->Status() == TTransferStatus::Done) continue;
    item->SetStatus(TTransferStatus::Failed, text);
    item->Measure.StartTick = 0;
  }
}

void TDownThread::RetryOrFail(TDownItem& item, const ByteString& failText) {
  item.SetStatus(TTransferStatus::Retrying);
  item.RetryCount += 1;
  item.Measure.StartTick = 0;
  if (item.RetryCount > kMaxRetries) item.SetStatus(TTransferStatus::Failed, failText);
}

void TDownThread::Execute() {
  while (!FTerminated) {
    try {
      {
        std::lock_guard<std::mutex> guard(FSettingsLock);
        FItemSettings = FSettings;
      }
      const TTransferSettings& s = FItemSettings;
      if (FPaused) {
        Sleep(s.IdlePollMs);
        continue;
      }
      if (FStopRequested) {
        Sleep(s.IdlePollMs);
        {
          Lock lock(DownloadLock());
          if (!FItems) break;
        }
        SetDownloading(false);
        FCallbacks->OnDownStarted(*this, false);
        FCallbacks->OnNotifyCancel(*this);
        continue;
      }
      TReservation reservation;
      {
        std::lock_guard<std::mutex> guard(FSettingsLock);
        reservation = FReservation;
      }
      if (reservation.Enabled &&
          !InReservationWindow(reservation, FDeps.Now ? FDeps.Now() : std::time(nullptr))) {
        Sleep(s.IdlePollMs);
        continue;
      }

      TDownItem* item = nullptr;
      int count = 0;
      {
        Lock lock(DownloadLock());
        if (!FItems) break;
        if (FCurrent == -1) {
          const int index = ItemByStatus();
          if (index >= 0) {
            FCurrent = index;
            FItems->CurrentIndex = index;
            item = FItems->Items(index);
          }
        } else {
          item = Current();
        }
        count = FItems->Count();
      }
      if (!item) {
        bool allDone;
        {
          Lock lock(DownloadLock());
          if (!FItems) break;
          allDone = FItems->CountInSet(StatusBit(TTransferStatus::Done)) == FItems->Count();
        }
        if (allDone && FShutDownWhenDone) {
          FCallbacks->OnExitWindow(*this);
          break;
        }
        if (allDone && FCloseWhenDone) {
          FCallbacks->OnCloseWindow(*this);
          break;
        }
        if (s.DownAlarmIndex > 0 && !FAlarmPlayed) {
          FAlarmPlayed = true;
          if (FDeps.Sound) FDeps.Sound->PlayAsync("ALARM" + std::to_string(s.DownAlarmIndex));
        }
        Sleep(s.IdlePollMs);
        continue;
      }

      SetDownloading(true);
      FAlarmPlayed = false;
      FCallbacks->OnDownStarted(*this, true);
      FCallbacks->OnNotifyProgress(*this);

      if (!CoinsAllowed(*item)) {
        {
          Lock lock(DownloadLock());
          item->SetStatus(TTransferStatus::Failed, texts::kMsgNoCoins);
        }
        CompleteEvent();
        SetDownloading(false);
        FCallbacks->OnDownStarted(*this, false);
        Lock lock(DownloadLock());
        FCurrent = -1;
        continue;
      }

      int index;
      {
        Lock lock(DownloadLock());
        index = FCurrent;
        FAwaitingPreparation = true;
      }
      FCallbacks->OnFileCounter(
          *this, texts::kMsgDownFileCounter + std::to_string(index + 1) + "/" + std::to_string(count));
      ReadyToStartDown(*item);

      // Wait for the preparation reply.
      const std::uint32_t waitStart = FClock.Tick();
      for (;;) {
        {
          Lock lock(DownloadLock());
          if (!FAwaitingPreparation) break;
        }
        if (FTerminated) break;
        if (TickSince(FClock.Tick(), waitStart) >= static_cast<std::uint32_t>(s.PrepareTimeoutMs)) {
          Lock lock(DownloadLock());
          if (FAwaitingPreparation) {
            if (FItems && FItems->IndexOf(item) >= 0) RetryOrFail(*item, texts::kMsgNoReply);
            item->Busy = false;
            FCurrent = -1;
            FAwaitingPreparation = false;
            FPreparationTick = 0;  // a late reply finds nothing to apply to
          }
          break;
        }
        Sleep(10);
      }
      if (FTerminated) break;

      bool running;
      {
        Lock lock(DownloadLock());
        running = FItems && FCurrent != -1 && Current() == item && item->Status() == TTransferStatus::Running;
      }
      if (!running) {
        CompleteEvent();
        Sleep(s.ItemPauseMs);
        SetDownloading(false);
        FCallbacks->OnDownStarted(*this, false);
        Lock lock(DownloadLock());
        FCurrent = -1;
        continue;
      }

      FCallbacks->OnAnimateStart(*this);
      StartDown(*item);
      FCallbacks->OnAnimateStop(*this);

      bool ended;
      {
        Lock lock(DownloadLock());
        ended = FCurrent == -1;
      }
      if (ended) {
        CompleteEvent();
        Sleep(s.ItemPauseMs);
        SetDownloading(false);
        FCallbacks->OnDownStarted(*this, false);
        FCallbacks->OnDownFinished(*this);
      }
      Lock lock(DownloadLock());
      FCurrent = -1;
    } catch (const std::exception& e) {
      LogError("DownTExecute : ", e.what());
      Lock lock(DownloadLock());
      FCurrent = -1;
    }
  }
  CloseLocal();
  FLink.Close();
  FFinished = true;
}

void TDownThread::ReadyToStartDown(TDownItem& item) {
  const TTransferSettings& s = FItemSettings;
  try {
    // The local path was built from a safe name; check again that it still is one below the
    // root. A name does not heal by retrying, so a bad one fails at once.
    const std::string localName = NamePart(item.LocalPath);
    if (localName.empty() || localName == "." || localName == ".." || HasForbiddenNameChar(localName) ||
        !IsLexicallyInside(item.DownRoot, item.LocalPath)) {
      Lock lock(DownloadLock());
      item.SetStatus(TTransferStatus::Failed, texts::kMsgBadFileName);
      item.Measure.StartTick = 0;
      FAwaitingPreparation = false;
      FCurrent = -1;
      return;
    }
    if (!CoinsAllowed(item)) {
      Lock lock(DownloadLock());
      FailFrom(FItems ? FItems->IndexOf(&item) : 0, texts::kMsgNoCoins);
      FAwaitingPreparation = false;
      FCurrent = -1;
      return;
    }

    const bool overwrite = s.Overwrite && item.Status() == TTransferStatus::Waiting;
    const TResumeInput in =
        ResumeInputFor(item.LocalPath, item.FileSeq, item.StoredFileSeq, item.TotalSize, overwrite);
    switch (DecideResume(in)) {
      case TResumeAction::Fresh:
        item.Received = 0;
        break;
      case TResumeAction::Resume:
        item.Received = in.LocalSize;
        break;
      case TResumeAction::Rename: {
        Lock lock(DownloadLock());
        item.LocalPath = FreeSiblingName(item.LocalPath);
        item.Received = 0;
        item.SetTimeColumn(item.TimeColumn);
        break;
      }
      case TResumeAction::AlreadyDone: {
        Lock lock(DownloadLock());
        FAwaitingPreparation = false;
        item.Received = in.LocalSize;
        item.SetStatus(TTransferStatus::Done);
        item.SetTimeColumn("00:00:00 (00:00:00)");
        item.RefreshSizeColumn();
        if (FItems) FItems->TotalReceived += item.Received;
        item.FirstOpen = false;
        FCallbacks->OnStatus(*this, item);
        FCurrent = -1;
        return;
      }
    }

    const std::uint32_t tick = FClock.Tick();
    FLastRequestTick = tick;
    item.Metered = s.Metered;
    TDownPrepareRecord rec;
    rec.UserSeq = s.UserSeq;
    rec.OwnerSeq = item.OwnerSeq;
    rec.UploaderSeq = item.UploaderSeq;
    rec.FileSeq = item.FileSeq;
    rec.ServerAddress = item.ServerAddress;
    rec.NotifyService = item.NotifyService;
    rec.NotifyFlag2 = item.NotifyFlag2;
    rec.StoredFileSeq = item.StoredFileSeq;
    rec.AdminShow = s.AdminShow;
    rec.Metered = s.Metered;
    rec.Tick = tick;
    TDataParameter message;
    message.AddInteger("T", msg::kDownPrepare);
    const Bytes record = rec.Pack();
    message.AddEncript("D", record, tick);
    {
      Lock lock(DownloadLock());
      FPreparationTick = tick;
    }
    if (!FDeps.MainServer) throw EDownError("no main server connection");
    FDeps.MainServer->SendPrepared(message);
  } catch (const std::exception& e) {
    LogError("DownTReadyToStartDown : ", e.what());
    {
      Lock lock(DownloadLock());
      FAwaitingPreparation = false;
      FPreparationTick = 0;
      if (!FStopRequested && FItems && FItems->IndexOf(&item) >= 0) RetryOrFail(item, e.what());
      FCurrent = -1;
    }
    CloseLocal();
    Sleep(s.RetryPauseMs);
    item.Busy = false;
  }
}

void TDownThread::BeforeReadyToDown(const TDataParameter& reply) {
  Lock lock(DownloadLock());
  try {
    TDownItem* item = Current();
    if (!item || !FAwaitingPreparation) return;  // nothing asked, or asked too long ago
    const bool ok = reply.Count() > 1 && reply.Params(1).AsBoolean();
    if (ok) {
      const TParamDef* d = reply.FindParam("D");
      const auto rec = d ? TDownPrepareReplyRecord::Unpack(d->Data()) : std::nullopt;
      if (rec && rec->Tick != FPreparationTick) {
        // A late reply to an earlier request: it belongs to no item any more.
        LogError("DownBeforeReadyToDown : ", "reply to an earlier request dropped");
        return;
      }
      const bool freeOwn = rec && rec->FreeOwnFile != 0;
      const bool free = item->UploaderSeq == FItemSettings.UserSeq && freeOwn;
      const bool coinsOk = !FDeps.Money || free || FDeps.Money->Coins() > 0;
      if (!rec || rec->UserSeq != FItemSettings.UserSeq || !ReplyTickFresh(FClock.Tick(), rec->Tick) ||
          !coinsOk || rec->CoinUnit <= 0) {
        item->SetStatus(TTransferStatus::Failed, texts::kMsgReplyRejected);
        item->Measure.StartTick = 0;
        FCurrent = -1;
      } else {
        if (FDeps.Money) FDeps.Money->SetMegaPerCoin(rec->CoinUnit);
        FFreeOwnFile = freeOwn;
        if (!FItemSettings.AdminDown) {
          item->ServerAddress = rec->ServerAddress;
          item->Locator1 = rec->Locator1;
          item->Locator2 = rec->Locator2.substr(0, 30);
        }
        item->SetStatus(TTransferStatus::Running);
        FCallbacks->OnSelectItem(*this, *item);
      }
    } else {
      const TParamDef* codeParam = reply.FindParam("Code");
      const std::int32_t code = codeParam ? codeParam->AsInteger() : 0;
      const int index = FCurrent;
      switch (code) {
        case code::kDownAllStopped:
          FailFrom(index, texts::kMsgServerStoppedDown);
          break;
        case code::kNoCoins:
          FailFrom(index, texts::kMsgNoCoins);
          break;
        case code::kDuplicateDownUser:
          FailFrom(index, texts::kMsgDuplicateDownUser);
          break;
        case code::kDownMsg1:
        case code::kDownMsg2: {
          const TParamDef* m = reply.FindParam("Msg");
          item->SetStatus(TTransferStatus::Failed, m ? m->AsString() : ErrorText(code));
          item->Measure.StartTick = 0;
          break;
        }
        default:
          item->SetStatus(TTransferStatus::Failed, ErrorText(code));
          item->Measure.StartTick = 0;
          break;
      }
      FCurrent = -1;
    }
  } catch (const std::exception& e) {
    LogError("DownBeforeReadyToDown : ", e.what());
    if (TDownItem* item = Current()) {
      item->SetStatus(TTransferStatus::Failed, texts::kMsgReplyRejected);
      item->Measure.StartTick = 0;
    }
    FCurrent = -1;
  }
  FAwaitingPreparation = false;
  FPreparationTick = 0;
}

void TDownThread::StartDown(TDownItem& item) {
  const TTransferSettings& s = FItemSettings;
  FLink.Close();
  item.Busy = false;
  FEndConversation = false;
  try {
    FLink.Connect(item.ServerAddress, static_cast<std::uint16_t>(s.BasePort + 3), s.ConnectTimeoutMs,
                  s.ReadTimeLimitMs);
    FLastTraffic = FClock.Tick();
    ClientConnect(item);
    TDataParameter message;
    std::span<const std::uint8_t> data;
    while (!FEndConversation) {
      const auto got = FLink.ReadData(msg::kDownData, message, data, kReadSliceMs);
      if (got == TTransferLink::TRead::Message) {
        FLastTraffic = FClock.Tick();
        if (!data.empty())
          ReceiveFile(item, data);
        else
          ClientReceived(item, message);
        continue;
      }
      if (got == TTransferLink::TRead::Closed) {
        if (FStopRequested || FTerminated) break;
        {
          Lock lock(DownloadLock());
          if (item.Status() == TTransferStatus::Stopped) break;
        }
        throw EDownError(texts::kMsgDownServerLost);
      }
      // Quiet: stop, keep-alive, or give up on a silent server.
      if (FStopRequested || FTerminated) break;
      const std::uint32_t quiet = TickSince(FClock.Tick(), FLastTraffic);
      if (quiet > static_cast<std::uint32_t>(s.ReadTimeLimitMs)) throw EDownError(texts::kMsgDownServerLost);
      if (FInspectDue.exchange(false) && quiet > static_cast<std::uint32_t>(s.InspectAfterMs)) {
        TDataParameter inspect;
        inspect.AddInteger("T", msg::kDownInspect);
        FLink.Send(inspect);
      }
    }
    CloseLocal();
    FLink.Close();
    Lock lock(DownloadLock());
    FCurrent = -1;
    item.Busy = false;
  } catch (const std::exception& e) {
    LogError("DownTStartDown1 : ", e.what());
    CloseLocal();
    FLink.Close();
    {
      Lock lock(DownloadLock());
      if (!FStopRequested && !FTerminated && FItems && FItems->IndexOf(&item) >= 0 &&
          item.Status() != TTransferStatus::Stopped)
        RetryOrFail(item, texts::kDownTextFailed);
    }
    if (!FTerminated) Sleep(s.RetryPauseMs);
    Lock lock(DownloadLock());
    item.Busy = false;
    FCurrent = -1;
  }
}

void TDownThread::ClientConnect(TDownItem& item) {
  const TTransferSettings& s = FItemSettings;
  item.Busy = true;
  FRequestTick = FClock.Tick();
  FLastRequestTick = FRequestTick;
  TDownRequestRecord rec;
  rec.UserSeq = s.UserSeq;
  rec.UserId = s.UserId;
  rec.OwnerSeq = item.OwnerSeq;
  rec.FileSeq = item.FileSeq;
  rec.UploaderSeq = item.UploaderSeq;
  rec.FileName = item.FileName;
  rec.Locator1 = item.Locator1;
  rec.Locator2 = item.Locator2;
  rec.Offset = item.Received;
  rec.Unbilled = FDeps.Money ? static_cast<std::int32_t>(FDeps.Money->CountedBytes()) : 0;
  rec.BlockSize = BlockSizeForIndex(s.UpType);
  rec.Metered = s.Metered;
  rec.Tick = FRequestTick;
  item.Metered = s.Metered;
  TDataParameter message;
  message.AddInteger("T", msg::kDownRequest);
  message.AddBoolean("E", true);
  const Bytes record = rec.Pack();
  message.AddEncript("D", record, FRequestTick);
  FLink.Send(message);
}

void TDownThread::ClientReceived(TDownItem& item, const TDataParameter& message) {
  try {
    if (message.Count() == 0) return;
    switch (message.Params(0).AsInteger()) {
      case msg::kDownReply:
        PrepareToDown(item, message);
        break;
      case msg::kDownData:
        ReceiveFile(item, message.ParamByName("F").Data());
        break;
      case msg::kDownStopped:
        StopDownload(item);
        break;
      case msg::kDownSpeedOver:
        DownLimitSpeedOver(item);
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    LogError("DownTClientReceived : ", e.what());
    EndConversation();
  }
}

void TDownThread::OpenLocal(TDownItem& item) {
  CloseLocal();
  std::error_code ec;
  std::filesystem::create_directories(Folder(item.LocalPath), ec);
  if (!IsSafelyInside(item.DownRoot, item.LocalPath)) throw EDownError(texts::kMsgBadFileName);
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if (item.Received == 0) flags |= O_TRUNC;  // an overwritten file keeps nothing of its old content
  const int fd = ::open(item.LocalPath.c_str(), flags, 0644);
  if (fd < 0) throw EDownError(texts::kMsgWriteFailed);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw EDownError(texts::kMsgWriteFailed);
  }
  if (st.st_size > item.Received && ::ftruncate(fd, item.Received) != 0) {
    ::close(fd);
    throw EDownError(texts::kMsgWriteFailed);
  }
  FFile = fd;
  FWritePos = item.Received;
  TDownMark mark;
  mark.FileSeq = item.FileSeq;
  mark.StoredFileSeq = item.StoredFileSeq;
  mark.TotalSize = item.TotalSize;
  SaveDownMark(Folder(item.LocalPath), NamePart(item.LocalPath), mark);
}

void TDownThread::CloseLocal() {
  if (FFile >= 0) {
    ::close(FFile);
    FFile = -1;
  }
}

void TDownThread::PrepareToDown(TDownItem& item, const TDataParameter& message) {
  try {
    {
      Lock lock(DownloadLock());
      if (FItems) FItems->CurrentIndex = FItems->IndexOf(&item);
    }
    const bool ok = message.Count() > 1 && message.Params(1).AsBoolean();
    if (!ok) {
      const TParamDef* codeParam = message.FindParam("Code");
      throw EDownError(ErrorText(codeParam ? codeParam->AsInteger() : 0));
    }
    const TParamDef* d = message.FindParam("D");
    const auto rec = d ? TDownReplyRecord::Unpack(d->Data()) : std::nullopt;
    if (!rec || rec->UserSeq != FItemSettings.UserSeq || rec->Tick != FRequestTick ||
        !ReplyTickFresh(FClock.Tick(), rec->Tick))
      throw EDownError(texts::kMsgReplyRejected);
    if (FDeps.Money && rec->CoinUnit > 0) FDeps.Money->SetMegaPerCoin(rec->CoinUnit);
    OpenLocal(item);
    {
      Lock lock(DownloadLock());
      if (item.FirstOpen) {
        item.FirstOpen = false;
        if (FItems) FItems->TotalReceived += item.Received;
      }
      item.RefreshSizeColumn();
    }
    FCallbacks->OnStatus(*this, item);
    const std::uint32_t now = FClock.Tick();
    item.Measure.Begin(now);
    item.ConnectionBytes = 0;
    FLimiter.Reset();
    TDataParameter start;
    start.AddInteger("T", msg::kDownStart);
    FLink.Send(start);
    // Nothing left to receive (an empty file): it is complete as it is.
    if (item.Received >= item.TotalSize) CompleteItem(item);
  } catch (const std::exception& e) {
    LogError("DownTPrepareToDown : ", e.what());
    {
      Lock lock(DownloadLock());
      item.SetStatus(TTransferStatus::Failed, e.what());
      item.Measure.StartTick = 0;
    }
    CloseLocal();
    EndConversation();
  }
}

void TDownThread::ReceiveFile(TDownItem& item, std::span<const std::uint8_t> data) {
  const TTransferSettings& s = FItemSettings;
  try {
    {
      Lock lock(DownloadLock());
      if (!FItems) throw EDownError(texts::kMsgProgramEnded);
      if (FItems->IndexOf(&item) < 0) throw EDownError(texts::kMsgProgramEnded);
    }
    if (FFile < 0) return;  // data before a successful reply
    if (FStopRequested) {
      {
        Lock lock(DownloadLock());
        item.SetStatus(TTransferStatus::Stopped);
      }
      CloseLocal();
      FCallbacks->OnNotifyCancel(*this);
      EndConversation();
      return;
    }
    // Never past the size the service stores: what a server sends beyond it is dropped.
    std::int64_t n = static_cast<std::int64_t>(data.size());
    if (item.Received + n > item.TotalSize) {
      LogError("DownTReceiveFile : ", "the server sent past the end of the file");
      n = item.TotalSize - item.Received;
      if (n < 0) n = 0;
    }
    std::int64_t written = 0;
    while (written < n) {
      const ssize_t w = ::pwrite(FFile, data.data() + written, static_cast<std::size_t>(n - written),
                                 static_cast<off_t>(FWritePos + written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) throw EDownError(texts::kMsgWriteFailed);
      written += w;
    }
    FWritePos += n;
    const std::uint32_t now = FClock.Tick();
    {
      Lock lock(DownloadLock());
      item.RetryCount = 0;
      item.Received += n;
      item.ConnectionBytes += n;
      if (FItems) FItems->TotalReceived += n;
      item.Measure.Add(n, now);
    }

    if (FPlayReserved && item.Received > kPlayThreshold) {
      FPlayReserved = false;
      FCallbacks->OnPlay(*this, item);
    }

    const bool free = item.UploaderSeq == s.UserSeq && FFreeOwnFile;
    if (FDeps.Money && item.Metered && !free) {
      const TMeterResult r = FDeps.Money->Meter(n);
      if (r.CoinsTaken > 0) FCallbacks->OnMoneyUpdated(*this);
      // Out of coins: the bytes already paid for stay; only more data would need a coin.
      if (r.Metered && r.Coins <= 0 && item.Received < item.TotalSize) {
        {
          Lock lock(DownloadLock());
          item.SetStatus(TTransferStatus::Failed, texts::kMsgNoCoins);
          item.Measure.StartTick = 0;
        }
        CloseLocal();
        EndConversation();
        return;
      }
    }

    if (s.DownSlow) {
      FLimiter.SetLimit(s.DownLimit);
      FLimiter.Pace(n);
    }

    bool report = false;
    {
      Lock lock(DownloadLock());
      if (item.Measure.CloseBlockIfDue(FClock.Tick(), item.TotalSize - item.Received)) {
        item.SetTimeColumn(item.Measure.TimeColumn());
        report = true;
      }
      if (item.Measure.RefreshDue(FClock.Tick())) item.RefreshSizeColumn();
    }
    if (report) FCallbacks->OnStatus(*this, item);

    if (item.Received >= item.TotalSize) CompleteItem(item);
  } catch (const std::exception& e) {
    LogError("DownTReceiveFile : ", e.what());
    {
      Lock lock(DownloadLock());
      if (!FStopRequested && item.Received < item.TotalSize && FItems && FItems->IndexOf(&item) >= 0)
        RetryOrFail(item, e.what());
    }
    CloseLocal();
    EndConversation();
  }
}

void TDownThread::CompleteItem(TDownItem& item) {
  CloseLocal();
  TDownMark mark;
  mark.FileSeq = item.FileSeq;
  mark.StoredFileSeq = item.StoredFileSeq;
  mark.TotalSize = item.TotalSize;
  if (MarkComplete(item.LocalPath, mark))
    SaveDownMark(Folder(item.LocalPath), NamePart(item.LocalPath), mark);
  {
    Lock lock(DownloadLock());
    item.SetStatus(TTransferStatus::Done);
    item.Measure.Sample(FClock.Tick(), 0);
    item.Measure.RemainingText = "00:00:00";
    item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
    item.RefreshSizeColumn();
    if (item.NotifyService || item.NotifyFlag2) SendEnded(item);
  }
  FCallbacks->OnStatus(*this, item);
  EndConversation();
}

void TDownThread::StopDownload(TDownItem& item) {
  try {
    {
      Lock lock(DownloadLock());
      if (FItems) FailFrom(FItems->IndexOf(&item), texts::kMsgServerStoppedDown);
    }
    CloseLocal();
  } catch (const std::exception& e) {
    LogError("DownTStopDownload : ", e.what());
  }
  EndConversation();
}

void TDownThread::DownLimitSpeedOver(TDownItem& item) {
  try {
    {
      Lock lock(DownloadLock());
      item.SetStatus(TTransferStatus::Held, texts::kMsgServerStoppedDown);
      item.Measure.StartTick = 0;
    }
    CloseLocal();
  } catch (const std::exception& e) {
    LogError("DownTDownLimitSpeedOver : ", e.what());
  }
  EndConversation();
}

void TDownThread::SendEnded(TDownItem& item) {
  try {
    if (!FDeps.MainServer) return;
    const std::uint32_t tick = FClock.Tick();
    TDownEndedRecord rec;
    rec.UserSeq = FItemSettings.UserSeq;
    rec.ConnectionBytes = item.ConnectionBytes;
    rec.NotifyService = item.NotifyService;
    rec.NotifyFlag2 = item.NotifyFlag2;
    rec.OwnerSeq = item.OwnerSeq;
    rec.StoredFileSeq = item.StoredFileSeq;
    rec.FileSeq = item.FileSeq;
    rec.UploaderSeq = item.UploaderSeq;
    rec.Tick = tick;
    TDataParameter message;
    message.AddInteger("T", msg::kDownEnded);
    const Bytes record = rec.Pack();
    message.AddEncript("D", record, tick);
    FDeps.MainServer->SendPrepared(message);
  } catch (const std::exception& e) {
    LogError("DownTCompleteEvent : ", e.what());
  }
}

void TDownThread::CompleteEvent() {
  bool complete = false, canRetry = false;
  try {
    Lock lock(DownloadLock());
    if (!FItems) return;
    complete = FItems->CountInSet(StatusSet({TTransferStatus::Waiting, TTransferStatus::Retrying})) == 0;
    canRetry =
        complete && FItems->CountInSet(StatusSet({TTransferStatus::Failed, TTransferStatus::Held})) > 0;
  } catch (const std::exception& e) {
    LogError("DownTCompleteEvent : ", e.what());
    return;
  }
  if (complete) FCallbacks->OnNotifyComplete(*this);
  if (canRetry) FCallbacks->OnNotifyCanRetry(*this);
}

}  // namespace vantori
