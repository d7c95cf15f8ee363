#include "transfers/UUpThread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "transfers/UAudioSniff.h"
#include "transfers/UTransferRecords.h"
#include "transfers/UTransferTexts.h"

namespace vantori {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int kMaxRetries = 10;
constexpr int kReadSliceMs = 250;
constexpr std::int64_t kAudioMin = 524799;
constexpr std::int64_t kAudioMax = 15728640;

// A failure of the engine's own whose text becomes the status message.
class EUpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure that retrying cannot mend: the item fails at once.
class EUpFatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool Success(const TDataParameter& m) {
  return m.Count() > 1 && m.Params(1).AsBoolean();
}

std::int32_t CodeOf(const TDataParameter& m) {
  const TParamDef* c = m.FindParam("Code");
  return c ? c->AsInteger() : 0;
}

}  // namespace

TUpThread::TUpThread(TUpItems* items, TUpEngineDeps deps, IUpCallbacks* callbacks)
    : FItems(items),
      FDeps(std::move(deps)),
      FClock(FDeps.Clock ? *FDeps.Clock : SystemTransferClock()),
      FCallbacks(callbacks ? callbacks : &FNoCallbacks),
      FLimiter(FClock) {}

TUpThread::~TUpThread() {
  Detach();
}

void TUpThread::SetSettings(const TTransferSettings& settings) {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  FSettings = settings;
}

TTransferSettings TUpThread::Settings() const {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  return FSettings;
}

void TUpThread::Start() {
  FStopRequested = false;
  if (!FThread.joinable() && !FTerminated) FThread = std::thread([this] { Execute(); });
}

void TUpThread::Detach() {
  {
    Lock lock(UploadLock());
    FItems = nullptr;
  }
  FTerminated = true;
  FLink.Shutdown();
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

int TUpThread::CurrentIndex() const {
  Lock lock(UploadLock());
  return FCurrent;
}

void TUpThread::RequestStop() {
  FStopRequested = true;
  UpCancel();
}

void TUpThread::UpCancel() {
  try {
    {
      Lock lock(UploadLock());
      TUpItem* item = Current();
      if (!item) return;
      item->SetStatus(TTransferStatus::Stopped);
    }
    // The engine's thread sends the stop message itself between two blocks. Should it be stuck
    // in a send to a server that no longer reads, the connection is shut down after a while.
    for (int waited = 0; FInConversation && waited < 1100; waited += 10) FClock.Sleep(10);
    if (FInConversation) FLink.Shutdown();
    FCallbacks->OnNotifyCancel(*this);
  } catch (const std::exception& e) {
    LogError("UpTUpCancel : ", e.what());
  }
}

TUpItem* TUpThread::Current() const {
  if (!FItems || FCurrent < 0) return nullptr;
  return FItems->Items(FCurrent);
}

int TUpThread::ItemByStatus() const {
  for (TTransferStatus wanted :
       {TTransferStatus::Stopped, TTransferStatus::Retrying, TTransferStatus::Waiting, TTransferStatus::Held})
    for (int i = 0; i < FItems->Count(); ++i)
      if (FItems->Items(i)->Status() == wanted) return i;
  return -1;
}

void TUpThread::Sleep(int ms) {
  if (ms > 0) FClock.Sleep(static_cast<std::uint32_t>(ms));
}

void TUpThread::LogError(const char* place, const std::string& text) {
  if (FDeps.Log) FDeps.Log->Write(std::string(place) + text);
}

ByteString TUpThread::ErrorText(std::int32_t code) const {
  if (FDeps.ErrorText) return FDeps.ErrorText(code);
  return texts::kMsgUnregisteredError;
}

void TUpThread::FailFrom(int index, const ByteString& text) {
  if (!FItems) return;
  for (int i = FItems->Count() - 1; i >= index && i >= 0; --i) {
    TUpItem* item = FItems->Items(i);
    if (i > index && item->Status() == TTransferStatus::Done) continue;
    item->SetStatus(TTransferStatus::Failed, text);
    item->Measure.StartTick = 0;
  }
}

void TUpThread::RetryOrFail(TUpItem& item, const ByteString& text) {
  item.SetStatus(TTransferStatus::Retrying, text);
  item.RetryCount += 1;
  item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
  if (item.RetryCount > kMaxRetries) {
    item.SetStatus(TTransferStatus::Failed, text);
    item.Measure.StartTick = 0;
  }
}

void TUpThread::Execute() {
  while (!FTerminated) {
    try {
      {
        std::lock_guard<std::mutex> guard(FSettingsLock);
        FItemSettings = FSettings;
      }
      const TTransferSettings& s = FItemSettings;
      if (FStopRequested) {
        Sleep(s.IdlePollMs);
        {
          Lock lock(UploadLock());
          if (!FItems) break;
        }
        FCallbacks->OnNotifyCancel(*this);
        continue;
      }
      TUpItem* item = nullptr;
      int count = 0;
      {
        Lock lock(UploadLock());
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
          Lock lock(UploadLock());
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
        if (s.UpAlarmIndex > 0 && !FAlarmPlayed) {
          FAlarmPlayed = true;
          if (FDeps.Sound) FDeps.Sound->PlayAsync("ALARM" + std::to_string(s.UpAlarmIndex));
        }
        Sleep(s.IdlePollMs);
        continue;
      }

      FAlarmPlayed = false;
      FCallbacks->OnNotifyProgress(*this);
      int index;
      {
        Lock lock(UploadLock());
        index = FCurrent;
        FCallbacks->OnSelectItem(*this, *item);
        item->SetStatus(TTransferStatus::Querying);
        FAwaitingPreparation = true;
      }
      FCallbacks->OnFileCounter(
          *this, texts::kMsgUpFileCounter + std::to_string(index + 1) + "/" + std::to_string(count));
      ReadyToUp(*item);

      // The registration reply, within the same time limit as for downloads.
      const std::uint32_t waitStart = FClock.Tick();
      for (;;) {
        {
          Lock lock(UploadLock());
          if (!FAwaitingPreparation) break;
        }
        if (FTerminated) break;
        if (TickSince(FClock.Tick(), waitStart) >= static_cast<std::uint32_t>(s.PrepareTimeoutMs)) {
          Lock lock(UploadLock());
          if (FAwaitingPreparation) {
            if (FItems && FItems->IndexOf(item) >= 0) RetryOrFail(*item, texts::kMsgNoReply);
            FAwaitingPreparation = false;
          }
          break;
        }
        Sleep(1);
      }
      if (FTerminated) break;

      bool ready;
      {
        Lock lock(UploadLock());
        ready = FItems && Current() == item && item->Status() == TTransferStatus::Ready;
      }
      if (ready) {
        item->Sending = false;
        FCallbacks->OnAnimateStart(*this);
        StartUpload(*item);
        FCallbacks->OnAnimateStop(*this);
        {
          Lock lock(UploadLock());
          if (!FItems) break;
        }
        Sleep(s.IdlePollMs);
        CompleteEvent();
      } else {
        {
          Lock lock(UploadLock());
          FCurrent = -1;
        }
        CompleteEvent();
        Sleep(s.RetryPauseMs);
      }
    } catch (const std::exception& e) {
      LogError("UpTExecute : ", e.what());
      Lock lock(UploadLock());
      FCurrent = -1;
    }
  }
  FLink.Close();
  FFinished = true;
}

void TUpThread::ReadyToUp(TUpItem& item) {
  const TTransferSettings& s = FItemSettings;
  auto refuse = [&](const ByteString& text) {
    Lock lock(UploadLock());
    item.SetStatus(TTransferStatus::Failed, text);
    item.Measure.StartTick = 0;
    FAwaitingPreparation = false;
  };
  try {
    if (item.Size <= 0) return refuse(texts::kMsgZeroByteFile);
    if (item.FolderSeq < -1) return refuse(texts::kMsgBadFolder);
    // The file must still be what was queued: a file that changed size since would send
    // something else than its checksum describes, or run out of bytes mid-way.
    struct stat st {};
    if (::stat(item.LocalPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != item.Size)
      return refuse(item.FileName + texts::kMsgCannotReadSuffix);
    if (!s.AdminUpload && item.Size > kAudioMin && item.Size <= kAudioMax &&
        IsRefusedAudioFile(item.LocalPath))
      return refuse(texts::kMsgForbiddenType);

    TDataParameter message;
    message.AddInteger("T", s.UpAdmin ? msg::kUpRegisterAdmin : msg::kUpRegister);
    message.AddInteger("User", s.UserSeq);
    message.AddString("Name", item.FileName);
    message.AddInteger("Folder", item.FolderSeq);
    message.AddInteger("Size", item.Size);
    message.AddInteger("Parit", item.Checksum);
    if (s.UpAdmin) message.AddString("Server", s.UpServerAddr);
    message.AddString("ParitStr", item.ChecksumText);
    if (!FDeps.MainServer) throw EUpError("no main server connection");
    FDeps.MainServer->SendPrepared(message);
  } catch (const std::exception& e) {
    LogError("UpTExecute : ", e.what());
    Lock lock(UploadLock());
    if (FItems && FItems->IndexOf(&item) >= 0) RetryOrFail(item, texts::kMsgUpConnectionLost);
    FAwaitingPreparation = false;
  }
}

void TUpThread::BeforeReadyToUp(const TDataParameter& reply) {
  try {
    ApplyPrepareReply(reply, true);
  } catch (const std::exception& e) {
    LogError("UpTBeforeReadyToUp : ", e.what());
  }
}

void TUpThread::ReadyToUpload(const TDataParameter& reply) {
  try {
    ApplyPrepareReply(reply, false);
  } catch (const std::exception& e) {
    LogError("UpTReadyToUpload : ", e.what());
  }
}

void TUpThread::ApplyPrepareReply(const TDataParameter& reply, bool withFind) {
  Lock lock(UploadLock());
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{FAwaitingPreparation};
  TUpItem* item = Current();
  if (!item || !FAwaitingPreparation) return;
  if (!Success(reply)) {
    const std::int32_t code = CodeOf(reply);
    if (code == code::kUpAllStopped) {
      FailFrom(FCurrent, texts::kMsgServerStoppedUp);
    } else if (withFind && (code == code::kUpMsg1 || code == code::kUpMsg2 || code == code::kUpMsg3)) {
      const TParamDef* m = reply.FindParam("Msg");
      item->SetStatus(TTransferStatus::Failed, m ? m->AsString() : ErrorText(code));
      item->Measure.StartTick = 0;
    } else {
      item->SetStatus(TTransferStatus::Failed, ErrorText(code));
      item->Measure.StartTick = 0;
    }
    return;
  }
  item->ServerAddress = reply.ParamByName("ComInfo").AsString();
  item->FileSeq = reply.ParamByName("FileSeq").AsInteger();
  item->Directory = reply.ParamByName("DirInfo").AsString();
  item->ServerSize = reply.ParamByName("CurrSize").AsInt64();
  item->StoredName = reply.ParamByName("RealName").AsString();
  const TParamDef* find = withFind ? reply.FindParam("Find") : nullptr;
  const bool found = find && find->AsBoolean();
  if (found && item->ServerSize == item->Size) {
    item->SetStatus(TTransferStatus::Done);
  } else {
    item->SetStatus(TTransferStatus::Ready);
  }
  if (found) {
    const std::int64_t held = item->ServerSize < 0 ? 0 : std::min(item->ServerSize, item->Size);
    if (!item->FirstContact) FItems->TotalSent -= item->Sent;
    item->Sent = held;
    FItems->TotalSent += held;
    item->RefreshSizeColumn();
    FCallbacks->OnStatus(*this, *item);
  }
}

void TUpThread::StartUpload(TUpItem& item) {
  const TTransferSettings& s = FItemSettings;
  item.Busy = false;
  FEndConversation = false;
  FInConversation = true;
  try {
    if (!s.Metered && FDeps.StoreUploadServer) FDeps.StoreUploadServer(item.ServerAddress);
    try {
      FLink.Connect(item.ServerAddress, static_cast<std::uint16_t>(s.BasePort + 4), s.ConnectTimeoutMs,
                    s.ReadTimeLimitMs);
      ClientConnect(item);
    } catch (const std::exception& e) {
      LogError("UpTStartUpload : ", e.what());
      throw EUpError(texts::kMsgAnnounceFailed);
    }
    FLastTraffic = FClock.Tick();
    TDataParameter message;
    while (!FEndConversation) {
      if (FStopRequested) {
        SendStop();
        break;
      }
      const auto got = FLink.Read(message, kReadSliceMs);
      if (got == TTransferLink::TRead::Message) {
        FLastTraffic = FClock.Tick();
        ClientReceived(item, message);
        continue;
      }
      if (got == TTransferLink::TRead::Closed) {
        if (FStopRequested || FTerminated) break;
        throw EUpError(texts::kMsgUpConnectionLost);
      }
      if (FTerminated) break;
      if (TickSince(FClock.Tick(), FLastTraffic) > static_cast<std::uint32_t>(s.ReadTimeLimitMs))
        throw EUpError(texts::kMsgUpConnectionLost);
    }
    FLink.Close();
  } catch (const EUpFatal& e) {
    LogError("UpTUploadFile : ", e.what());
    FLink.Close();
    Lock lock(UploadLock());
    item.SetStatus(TTransferStatus::Failed, e.what());
    item.Measure.StartTick = 0;
  } catch (const std::exception& e) {
    LogError("UpTUploadFile : ", e.what());
    FLink.Close();
    {
      Lock lock(UploadLock());
      if (!FStopRequested && !FTerminated && FItems && FItems->IndexOf(&item) >= 0 &&
          item.Status() != TTransferStatus::Stopped && item.Status() != TTransferStatus::Done &&
          item.Status() != TTransferStatus::Failed)
        RetryOrFail(item, dynamic_cast<const EUpError*>(&e) ? ByteString(e.what())
                                                            : ByteString(texts::kMsgUpConnectionLost));
    }
    if (!FTerminated) Sleep(s.RetryPauseMs);
  }
  FInConversation = false;
  // A conversation that ended without a final word leaves the item to be picked again.
  Lock lock(UploadLock());
  if (FItems && FItems->IndexOf(&item) >= 0 &&
      (item.Status() == TTransferStatus::Running || item.Status() == TTransferStatus::Ready))
    RetryOrFail(item, texts::kMsgUpConnectionLost);
  item.Busy = false;
  FCurrent = -1;
}

void TUpThread::ClientConnect(TUpItem& item) {
  const TTransferSettings& s = FItemSettings;
  TDataParameter message;
  {
    Lock lock(UploadLock());
    item.Busy = true;
    message.AddInteger("T", msg::kUpAnnounce);
    message.AddBoolean("Cover", false);
    message.AddInteger("User", s.UserSeq);
    message.AddString("UID", s.UserId);
    message.AddInteger("File", item.FileSeq);
    message.AddString("Name", item.FileName);
    message.AddInteger("Folder", item.FolderSeq);
    message.AddInteger("Size", item.Size);
    message.AddString("Dir", item.Directory);
    message.AddString("Real", item.StoredName);
    message.AddInteger("Prog", item.Sent);
    message.AddInteger("Ver", 1);
  }
  FLink.Send(message);
}

void TUpThread::ClientReceived(TUpItem& item, const TDataParameter& message) {
  if (message.Count() == 0) return;
  switch (message.Params(0).AsInteger()) {
    case msg::kUpAnnounceReply:
      NotifyPrepare(item, message);
      break;
    case msg::kUpResult: {
      Lock lock(UploadLock());
      if (!Success(message)) {
        item.SetStatus(TTransferStatus::Failed, ErrorText(CodeOf(message)));
        item.Measure.StartTick = 0;
        item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
      } else if (item.Sending && item.Sent >= item.Size) {
        MarkDone(item);
      }
      FEndConversation = true;
      break;
    }
    case msg::kUpTooManyUsers: {
      Lock lock(UploadLock());
      item.SetStatus(TTransferStatus::Failed, texts::kMsgUpTooManyUsers);
      item.Measure.StartTick = 0;
      item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
      FEndConversation = true;
      break;
    }
    case msg::kUpPause: {
      {
        Lock lock(UploadLock());
        item.SetStatus(TTransferStatus::Held);
      }
      FEndConversation = true;
      FCallbacks->OnNotifyCancel(*this);
      break;
    }
    case msg::kUpComplete: {
      Lock lock(UploadLock());
      if (item.Sending && item.Sent >= item.Size) MarkDone(item);
      FEndConversation = true;
      break;
    }
    case msg::kUpStopped: {
      Lock lock(UploadLock());
      FailFrom(FItems ? FItems->IndexOf(&item) : 0, texts::kMsgServerStoppedUp);
      FEndConversation = true;
      break;
    }
    default:
      break;
  }
}

void TUpThread::MarkDone(TUpItem& item) {
  item.SetStatus(TTransferStatus::Done);
  item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
  item.RefreshSizeColumn();
  FCallbacks->OnStatus(*this, item);
}

void TUpThread::NotifyPrepare(TUpItem& item, const TDataParameter& message) {
  if (!Success(message)) {
    {
      Lock lock(UploadLock());
      if (FItems && FItems->IndexOf(&item) >= 0) {
        item.SetStatus(TTransferStatus::Failed, ErrorText(CodeOf(message)));
        item.Measure.StartTick = 0;
      }
    }
    FEndConversation = true;
    return;
  }
  const std::int64_t prog = message.ParamByName("Prog").AsInt64();
  if (prog < 0 || prog > item.Size) throw EUpError(texts::kMsgAnnounceFailed);
  std::int32_t cap = item.SpeedCap;
  if (const TParamDef* sp = message.FindParam("sp")) {
    std::string text;
    if (TryUnscrambleText(sp->AsString(), text)) {
      try {
        const long value = std::stol(text);
        if (value > 0 && value < 0x7FFFFFFF) cap = static_cast<std::int32_t>(value);
      } catch (const std::exception&) {
        LogError("UpTNotifySendFile : ", "speed cap is not a number");
      }
    }
  }
  {
    Lock lock(UploadLock());
    item.SetStatus(TTransferStatus::Running);
    if (FItems) FItems->TotalSent += prog - item.Sent;
    item.Sent = prog;
    if (const TParamDef* real = message.FindParam("Real")) item.StoredName = real->AsString();
    if (const TParamDef* dir = message.FindParam("Dir")) item.Directory = dir->AsString();
    item.SpeedCap = cap;
    item.FirstContact = false;
    item.RefreshSizeColumn();
  }
  FCallbacks->OnStatus(*this, item);
  item.Measure.Begin(FClock.Tick());
  item.Measure.BlockStart = 0;
  item.Sending = true;
  if (item.Sent < item.Size) {
    UploadFile(item);
  } else {
    // The server holds every byte already: that is its confirmation.
    Lock lock(UploadLock());
    MarkDone(item);
    FEndConversation = true;
  }
}

void TUpThread::SendStop() {
  TDataParameter stop;
  stop.AddInteger("T", msg::kUpStop);
  for (int attempt = 0; attempt < 11; ++attempt) {
    try {
      FLink.Send(stop);
      return;
    } catch (const std::exception&) {
      if (!FLink.Open()) return;
      Sleep(100);
    }
  }
}

void TUpThread::UploadFile(TUpItem& item) {
  const TTransferSettings& s = FItemSettings;
  const std::int32_t blockSize = BlockSizeForIndex(s.UpType);
  item.BlockSize = blockSize;
  const int fd = ::open(item.LocalPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EUpFatal(item.FileName + texts::kMsgCannotReadSuffix);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  FLimiter.Reset();
  TDataParameter incoming;
  std::int64_t sinceCheck = 0;
  while (item.Sent < item.Size) {
    {
      Lock lock(UploadLock());
      if (!FItems) return;
    }
    if (FStopRequested || FTerminated) {
      {
        Lock lock(UploadLock());
        item.SetStatus(TTransferStatus::Stopped);
      }
      SendStop();
      FEndConversation = true;
      return;
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::int64_t>(blockSize, item.Size - item.Sent));
    // A file that shrank since it was queued cannot be sent as queued; the data message was
    // announced whole, so the connection goes with the item.
    const std::size_t got = FLink.SendFileData(msg::kUpData, fd, item.Sent, want);
    if (got < want) throw EUpFatal(item.FileName + texts::kMsgCannotReadSuffix);
    const auto n = static_cast<std::int64_t>(got);
    const std::uint32_t now = FClock.Tick();
    {
      Lock lock(UploadLock());
      item.Sent += n;
      item.LastBlock = static_cast<std::int32_t>(n);
      item.RetryCount = 0;
      if (FItems) FItems->TotalSent += n;
    }
    FCallbacks->OnUpSize(*this, n);
    if (item.Measure.BlockStart == 0) {
      item.Measure.Begin(now);
    } else {
      item.Measure.Add(n, now);
    }

    std::int32_t limit = item.SpeedCap;
    if (s.UpSlow && s.UpLimit > 0 && s.UpLimit < limit) limit = s.UpLimit;
    FLimiter.SetLimit(limit);
    FLimiter.Pace(n);

    bool report = false;
    {
      Lock lock(UploadLock());
      if (item.Measure.CloseBlockIfDue(FClock.Tick(), item.Size - item.Sent)) {
        item.SetTimeColumn(item.Measure.TimeColumn());
        report = true;
      }
      if (item.Measure.RefreshDue(FClock.Tick())) item.RefreshSizeColumn();
    }
    if (report) FCallbacks->OnStatus(*this, item);

    // What the server says meanwhile (pause, stop, too many users, a failed result), looked at
    // after every 64 KiB sent.
    sinceCheck += n;
    if (sinceCheck < 65536 && item.Sent < item.Size) continue;
    sinceCheck = 0;
    for (;;) {
      const auto r = FLink.Read(incoming, 0);
      if (r == TTransferLink::TRead::Closed) throw EUpError(texts::kMsgUpConnectionLost);
      if (r != TTransferLink::TRead::Message) break;
      FLastTraffic = FClock.Tick();
      ClientReceived(item, incoming);
      if (FEndConversation) return;
    }
  }
  {
    Lock lock(UploadLock());
    item.Measure.Sample(FClock.Tick(), 0);
    item.SetTimeColumn(item.Measure.ElapsedText + " (00:00:00)");
    item.RefreshSizeColumn();
  }
  // Done only once the server confirms: the conversation loop waits for 57 or 112.
  FLastTraffic = FClock.Tick();
}

void TUpThread::CompleteEvent() {
  bool complete = false, canRetry = false;
  {
    Lock lock(UploadLock());
    if (!FItems) return;
    complete = FItems->CountInSet(StatusSet({TTransferStatus::Waiting, TTransferStatus::Held,
                                             TTransferStatus::Retrying, TTransferStatus::Stopped})) == 0;
    canRetry = complete && FItems->CountInSet(StatusBit(TTransferStatus::Failed)) > 0;
  }
  if (!complete) return;
  Sleep(FItemSettings.RetryPauseMs);
  FCallbacks->OnNotifyComplete(*this);
  if (canRetry) FCallbacks->OnNotifyCanRetry(*this);
}

}  // namespace vantori
