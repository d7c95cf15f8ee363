#include "protocol/UClientSockCtrl.h"

#include <sys/resource.h>
#include <unistd.h>

namespace vantori {

namespace {

std::mutex gCursorLock;
std::function<void()> gCursorHook;

// The hand-over in progress between a reader and the owner's thread.
struct THandOverJob {
  std::mutex M;
  std::condition_variable CV;
  bool Done = false;
  void Finish() {
    {
      std::lock_guard<std::mutex> lock(M);
      Done = true;
    }
    CV.notify_all();
  }
};

// Travels with the posted work; tells the waiting reader when the work has run or was dropped
// unrun by the dispatcher.
struct THandOverNotifier {
  explicit THandOverNotifier(std::shared_ptr<THandOverJob> job) : Job(std::move(job)) {}
  THandOverNotifier(const THandOverNotifier&) = delete;
  THandOverNotifier& operator=(const THandOverNotifier&) = delete;
  ~THandOverNotifier() { Job->Finish(); }
  std::shared_ptr<THandOverJob> Job;
};

}  // namespace

// --- TClientSock ---------------------------------------------------------------------------

TClientSock::TClientSock() = default;

TClientSock::~TClientSock() {
  std::shared_ptr<TConnection> conn;
  {
    std::lock_guard<std::mutex> lock(FConnLock);
    conn = std::move(FConn);
  }
  if (conn && conn->Open.exchange(false)) conn->Sock->Shutdown();
}

void TClientSock::SetCursorResetHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(gCursorLock);
  gCursorHook = std::move(hook);
}

void TClientSock::ResetCursor() {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(gCursorLock);
    hook = gCursorHook;
  }
  if (hook) hook();
}

std::shared_ptr<TClientSock::TConnection> TClientSock::CurrentConnection() const {
  std::lock_guard<std::mutex> lock(FConnLock);
  return FConn;
}

bool TClientSock::Active() const {
  auto conn = CurrentConnection();
  return conn && conn->Open.load();
}

std::shared_ptr<TcpSocket> TClientSock::CSock() const {
  auto conn = CurrentConnection();
  return conn ? conn->Sock : nullptr;
}

void TClientSock::SetAddress(const std::string& value) {
  if (value == FAddress) return;
  const bool wasActive = Active();
  if (wasActive) Disconnect();
  FAddress = value;
  if (wasActive) Connect();
}

void TClientSock::SetPort(int value) {
  if (value == FPort) return;
  const bool wasActive = Active();
  if (wasActive) Disconnect();
  FPort = value;
  if (wasActive) Connect();
}

std::shared_ptr<TClientSock::TConnection> TClientSock::OpenConnection() {
  auto conn = std::make_shared<TConnection>();
  conn->Sock = std::make_shared<TcpSocket>();
  try {
    if (FPort < 0 || FPort > 65535)
      throw ESocketError("Cannot connect to " + FAddress + ":" + std::to_string(FPort) + ": invalid port");
    conn->Sock->Connect(FAddress, static_cast<std::uint16_t>(FPort), FWaitTime);
  } catch (...) {
    ResetCursor();
    throw;
  }
  conn->LocalIP = conn->Sock->LocalAddress();
  std::lock_guard<std::mutex> lock(FConnLock);
  FConn = conn;
  return conn;
}

bool TClientSock::CloseConnection(const std::shared_ptr<TConnection>& conn) {
  if (!conn || !conn->Open.exchange(false)) return false;
  conn->Sock->Shutdown();
  {
    std::lock_guard<std::mutex> lock(FConnLock);
    if (FConn == conn) FConn.reset();
  }
  DoDisconnected();
  return true;
}

void TClientSock::DoConnected() {
  auto conn = CurrentConnection();
  if (OnConnected) OnConnected(*this, conn ? conn->LocalIP : std::string());
}

void TClientSock::DoDisconnected() {
  if (OnDisconnect) OnDisconnect(*this);
}

void TClientSock::Connect() {
  if (Active()) return;
  auto conn = OpenConnection();
  try {
    DoConnected();
  } catch (...) {
    CloseConnection(conn);
    throw;
  }
}

void TClientSock::Disconnect() {
  CloseConnection(CurrentConnection());
}

void TClientSock::Send(TDataParameter& AParam) {
  auto conn = CurrentConnection();
  if (!conn || !conn->Open.load())
    throw ESocketError("Not connected to " + FAddress + ":" + std::to_string(FPort));
  if (OnStartSend) OnStartSend(*this);
  const std::span<const std::uint8_t> body = AParam.Encode();
  try {
    WriteFrame(*conn->Sock, body);
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TClientSock::SendCloseMarker() {
  auto conn = CurrentConnection();
  if (!conn || !conn->Open.load())
    throw ESocketError("Not connected to " + FAddress + ":" + std::to_string(FPort));
  try {
    WriteCloseMarker(*conn->Sock);
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TClientSock::DoReceived(const TDataParameter& AParam) {
  if (OnReceived) OnReceived(*this, AParam);
}

// --- TCThread ------------------------------------------------------------------------------

struct TCThread::TState {
  TClientAsyncSock* Owner = nullptr;
  std::shared_ptr<TClientSock::TConnection> Conn;
  int ReadTimeout = -1;
  bool NoLimit = false;
  std::atomic<bool> Stop{false};
  std::atomic<bool> OwnerGone{false};
  std::atomic<bool> Finished{false};
  TDataParameter Message;  // reused for every frame
  std::mutex Lock;         // guards Job
  std::shared_ptr<THandOverJob> Job;
};

namespace {
thread_local TCThread::TState* tReaderState = nullptr;
}

TCThread::TCThread(std::shared_ptr<TState> state) : FState(std::move(state)) {}

TCThread::~TCThread() {
  if (FThread.joinable()) {
    // Only when the socket is destroyed from one of its own handlers: the thread is this one,
    // and it touches nothing of the socket again.
    if (FThread.get_id() == std::this_thread::get_id())
      FThread.detach();
    else
      FThread.join();
  }
}

void TCThread::RequestStop() {
  FState->Stop.store(true);
  std::shared_ptr<THandOverJob> job;
  {
    std::lock_guard<std::mutex> lock(FState->Lock);
    job = FState->Job;
  }
  if (job) {
    std::lock_guard<std::mutex> lock(job->M);
    job->CV.notify_all();
  }
}

bool TCThread::StopRequested() const {
  return FState->Stop.load();
}

bool TCThread::Finished() const {
  return FState->Finished.load();
}

void TCThread::Join() {
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void TCThread::Run(std::shared_ptr<TState> st, TCThread* self) {
  // One step below normal priority; not being allowed to is no reason to fail.
  const int tid = static_cast<int>(::gettid());
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (errno == 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice + 1);

  tReaderState = st.get();
  try {
    TFrameReader reader(*st->Conn->Sock);
    reader.SetTimeout(st->ReadTimeout);
    reader.SetNoLimit(st->NoLimit);
    while (st->Conn->Open.load() && !st->Stop.load()) {
      st->Message.Clear();
      if (reader.ReadFrame(st->Message) != FrameEnd::Message) break;
      if (st->Stop.load() || !st->Conn->Open.load()) break;
      st->Owner->DoReceived(st->Message);
      if (st->OwnerGone.load()) break;
    }
  } catch (...) {
    // A read, decode or handler error ends this connection and goes no further.
  }
  tReaderState = nullptr;
  st->Finished.store(true);
  if (!st->OwnerGone.load()) {
    try {
      st->Owner->ReaderEnded(self, st->Conn);
    } catch (...) {
      // An OnDisconnect handler's error has nowhere to go on this thread.
    }
  }
}

// --- TClientAsyncSock ----------------------------------------------------------------------

TClientAsyncSock::TClientAsyncSock() = default;

TClientAsyncSock::~TClientAsyncSock() {
  std::vector<std::shared_ptr<TCThread>> readers;
  {
    std::lock_guard<std::mutex> lock(FReaderLock);
    readers = std::move(FRetired);
    if (FReader) readers.push_back(std::move(FReader));
    FRetired.clear();
  }
  for (auto& r : readers) {
    r->FState->OwnerGone.store(true);
    r->RequestStop();
  }
  auto conn = CurrentConnection();
  if (conn && conn->Open.exchange(false)) conn->Sock->Shutdown();
  readers.clear();  // joins each reader, or lets go of the one we are running on
}

TCThread* TClientAsyncSock::Reader() const {
  std::lock_guard<std::mutex> lock(FReaderLock);
  return FReader.get();
}

void TClientAsyncSock::JoinRetired() {
  std::vector<std::shared_ptr<TCThread>> toJoin;
  {
    std::lock_guard<std::mutex> lock(FReaderLock);
    std::vector<std::shared_ptr<TCThread>> keep;
    for (auto& r : FRetired) {
      if (r->Id() == std::this_thread::get_id())
        keep.push_back(std::move(r));
      else
        toJoin.push_back(std::move(r));
    }
    FRetired = std::move(keep);
  }
  for (auto& r : toJoin) r->Join();
}

void TClientAsyncSock::ReaderEnded(TCThread* /*reader*/, const std::shared_ptr<TConnection>& conn) {
  CloseConnection(conn);
}

void TClientAsyncSock::DoConnected() {
  auto conn = CurrentConnection();
  // OnConnected first, so that its handler has run before the first message can arrive.
  TClientSock::DoConnected();
  if (!ReceiveData() || !conn || !conn->Open.load()) return;

  auto st = std::make_shared<TCThread::TState>();
  st->Owner = this;
  st->Conn = conn;
  st->ReadTimeout = ReadTimeout();
  st->NoLimit = NoLimitDown();
  std::shared_ptr<TCThread> reader(new TCThread(st));
  std::lock_guard<std::mutex> lock(FReaderLock);
  reader->FThread = std::thread(&TCThread::Run, st, reader.get());
  FReader = std::move(reader);
}

void TClientAsyncSock::DoDisconnected() {
  {
    std::lock_guard<std::mutex> lock(FReaderLock);
    if (FReader) FRetired.push_back(std::move(FReader));
    FReader.reset();
  }
  TClientSock::DoDisconnected();
}

void TClientAsyncSock::Connect() {
  JoinRetired();
  TClientSock::Connect();
}

void TClientAsyncSock::StopReader() {
  std::shared_ptr<TCThread> reader;
  {
    std::lock_guard<std::mutex> lock(FReaderLock);
    reader = FReader;
  }
  if (reader) reader->RequestStop();
}

void TClientAsyncSock::Disconnect() {
  StopReader();
  CloseConnection(CurrentConnection());
  {
    // A reader that ended without the connection being current any more.
    std::lock_guard<std::mutex> lock(FReaderLock);
    if (FReader && FReader->Finished()) FRetired.push_back(std::move(FReader));
  }
  JoinRetired();
}

void TClientAsyncSock::Close() {
  StopReader();
  CloseConnection(CurrentConnection());
}

void TClientAsyncSock::PostCopy(const TDataParameter& AParam, TMessageWork work) {
  auto copy = std::make_shared<TDataParameter>(AParam);
  if (!Dispatch) {
    work(*copy);
    return;
  }
  Dispatch([copy, work = std::move(work)]() { work(*copy); });
}

bool TClientAsyncSock::HandOverAndWait(const TDataParameter& AParam, TMessageWork work) {
  auto copy = std::make_shared<TDataParameter>(AParam);
  if (!Dispatch) {
    work(*copy);
    return true;
  }
  TCThread::TState* st = tReaderState;
  if (st && st->Owner != this) st = nullptr;  // a handler of another socket
  auto job = std::make_shared<THandOverJob>();
  if (st) {
    std::lock_guard<std::mutex> lock(st->Lock);
    st->Job = job;
  }
  auto notifier = std::make_shared<THandOverNotifier>(job);
  Dispatch([copy, work = std::move(work), notifier]() { work(*copy); });
  notifier.reset();

  bool done;
  {
    std::unique_lock<std::mutex> lock(job->M);
    job->CV.wait(lock, [&] { return job->Done || (st && st->Stop.load()); });
    done = job->Done;
  }
  if (st) {
    std::lock_guard<std::mutex> lock(st->Lock);
    st->Job.reset();
  }
  return done;
}

// --- TClientSyncSock -----------------------------------------------------------------------

TClientSyncSock::TClientSyncSock() = default;

TClientSyncSock::~TClientSyncSock() = default;

void TClientSyncSock::DoConnected() {
  auto conn = CurrentConnection();
  TClientSock::DoConnected();
  if (!conn || !conn->Open.load()) return;
  if (OnStartRead) OnStartRead(*this);

  TFrameReader reader(*conn->Sock);
  reader.SetTimeout(ReadTimeout());
  reader.SetNoLimit(NoLimitDown());
  while (conn->Open.load()) {
    TDataParameter message;
    if (reader.ReadFrame(message) != FrameEnd::Message) break;
    DoReceived(message);
  }
  // The peer closed, a read timed out or a length was refused: the conversation ends normally.
  CloseConnection(conn);
}

void TClientSyncSock::Connect() {
  if (Active()) return;
  auto conn = OpenConnection();  // resets the cursor itself when it fails
  try {
    DoConnected();
  } catch (...) {
    try {
      CloseConnection(conn);
    } catch (...) {
      // The conversation's own error is the one the caller sees.
    }
    ResetCursor();
    throw;
  }
  ResetCursor();
}

void TClientSyncSock::Disconnect() {
  TClientSock::Disconnect();
}

}  // namespace vantori
