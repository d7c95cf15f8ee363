#include "TReferenceServer.h"

#include <pthread.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "protocol/ProtocolConstants.h"
#include "protocol/UFrame.h"

namespace vantori::server {

namespace {

constexpr std::size_t kConnectionStack = 256 * 1024;

void RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

struct TThreadStart {
  std::function<void()> Body;
};

void* RunThread(void* arg) {
  std::unique_ptr<TThreadStart> start(static_cast<TThreadStart*>(arg));
  start->Body();
  return nullptr;
}

// A detached thread with a small stack; false when the system has no thread left.
bool StartSmallThread(std::function<void()> body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kConnectionStack);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  auto* start = new TThreadStart{std::move(body)};
  pthread_t thread;
  const int rc = pthread_create(&thread, &attr, RunThread, start);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete start;
    return false;
  }
  return true;
}

}  // namespace

TReferenceServer::TReferenceServer(TServerOptions options) : FOptions(std::move(options)) {
  // One registration per group of messages; later subsystems add theirs here.
  RegisterLoginHandlers(FRegistry);
  RegisterFolderHandlers(FRegistry);
  RegisterFriendHandlers(FRegistry);
  RegisterListingHandlers(FRegistry);
  RegisterStorageHandlers(FRegistry);
  RegisterTransferHandlers(FRegistry);
  FSettings.AdvertisedHost = FOptions.AdvertisedHost;
}

TReferenceServer::~TReferenceServer() {
  Stop();
}

void TReferenceServer::Log(const std::string& line) {
  std::lock_guard lock(FLogLock);
  if (FOptions.Log) {
    FOptions.Log(line);
  } else {
    std::cerr << line << '\n';
  }
}

void TReferenceServer::Start() {
  if (FRunning) return;
  RaiseFileLimit();
  FDb = std::make_unique<TServerDb>(FOptions.DataDir);
  FSessions = std::make_unique<TSessionTable>(FSettings.SessionLifetimeDays);
  FDb->Run([&] {
    if (FOptions.Demo && !FDb->HasMembers()) {
      SeedDemoData(*FDb);
      Log("seeded the demo members");
    }
  });
  FDb->Run([&] { FSessions->Load(*FDb); });
  FListener.Listen(FOptions.Host, FOptions.BasePort, 512);
  FOptions.BasePort = FListener.Port();
  // The storage servers of downloads and uploads (BasePort + 3 and + 4) start here, beside the
  // main server, sharing the same database and blob folder.
  if (FOptions.StorageServers) {
    FStorage = std::make_unique<TStorageServers>(*FDb, FOptions.Host, FOptions.BasePort, FOptions.Storage,
                                                 [this](const std::string& line) { Log(line); });
    FStorage->Start();
  }
  if (FOptions.WebPort != 0) {
    FWebSite = std::make_unique<TWebSite>(*FDb, FOptions.Host, FOptions.WebPort,
                                          [this](const std::string& line) { Log(line); });
    FWebSite->Start();
  }
  FStopping = false;
  FRunning = true;
  FAcceptThread = std::thread([this] { AcceptLoop(); });
  Log("serving the login and main server on " + FOptions.Host + ":" + std::to_string(FOptions.BasePort) +
      ", data in " + FOptions.DataDir.string());
}

void TReferenceServer::Stop() {
  if (!FRunning.exchange(false)) return;
  FStopping = true;
  FListener.Shutdown();
  if (FAcceptThread.joinable()) FAcceptThread.join();
  {
    std::unique_lock lock(FConnLock);
    for (const auto& sock : FConnections) sock->Shutdown();
    FConnDone.wait(lock, [&] { return FActive.load() == 0; });
  }
  FListener.Close();
  if (FWebSite) FWebSite->Stop();
  FWebSite.reset();
  if (FStorage) FStorage->Stop();
  FStorage.reset();
  FDb.reset();
  Log("stopped");
}

void TReferenceServer::AcceptLoop() {
  while (!FStopping) {
    std::unique_ptr<TcpSocket> peer;
    try {
      peer = FListener.Accept(-1);
    } catch (const std::exception& e) {
      // Out of descriptors and the like: wait a little instead of spinning.
      Log(std::string("accept failed: ") + e.what());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (!peer) break;
    std::shared_ptr<TcpSocket> sock(std::move(peer));
    if (FActive.load() >= FOptions.MaxConnections) {
      Log("too many connections; closing one from " + sock->PeerAddress());
      sock->Close();
      continue;
    }
    if (!SpawnConnection(sock)) {
      Log("no thread for a connection from " + sock->PeerAddress());
      sock->Close();
    }
  }
}

bool TReferenceServer::SpawnConnection(std::shared_ptr<TcpSocket> sock) {
  {
    std::lock_guard lock(FConnLock);
    FConnections.insert(sock);
    ++FActive;
  }
  auto finish = [this, sock] {
    std::lock_guard lock(FConnLock);
    FConnections.erase(sock);
    --FActive;
    FConnDone.notify_all();
  };
  const bool started = StartSmallThread([this, sock, finish] {
    try {
      Serve(sock);
    } catch (const std::exception& e) {
      Log(std::string("connection ended by an error: ") + e.what());
    } catch (...) {
      Log("connection ended by an unknown error");
    }
    sock->Close();
    finish();
  });
  if (!started) finish();
  return started;
}

void TReferenceServer::Serve(const std::shared_ptr<TcpSocket>& sock) {
  TConnState conn;
  conn.PeerAddress = sock->PeerAddress();
  conn.LocalAddress = sock->LocalAddress();
  TFrameReader reader(*sock);
  reader.SetTimeout(FOptions.IdleTimeoutMs);
  reader.SetCloseMarkerEnds(true);
  TDataParameter request;
  while (!FStopping) {
    FrameEnd end;
    try {
      end = reader.ReadFrame(request);
    } catch (const EParamError& e) {
      Log("malformed frame from " + conn.PeerAddress + " (" + e.what() + "); closing");
      return;
    } catch (const ESocketError&) {
      return;
    }
    if (end != FrameEnd::Message) {
      if (end == FrameEnd::Refused) {
        Log("refused a frame of " + std::to_string(reader.LastHeader()) + " bytes from " + conn.PeerAddress);
      } else if (end == FrameEnd::TimedOut) {
        Log("idle connection from " + conn.PeerAddress + " closed");
      }
      return;
    }
    if (!Handle(*sock, conn, request)) return;
  }
}

bool TReferenceServer::Handle(TcpSocket& sock, TConnState& conn, const TDataParameter& request) {
  const auto started = std::chrono::steady_clock::now();
  int type = -1;
  if (request.Count() > 0) {
    const TParamDef& first = request.Params(0);
    if (first.Type() != ParamType::String && first.Type() != ParamType::PChar) type = first.AsInteger();
  }
  const THandlerInfo* handler = FRegistry.Find(type);
  if (!handler) {
    Log("unknown message type " + std::to_string(type) + " from " + conn.PeerAddress + "; closing");
    return false;
  }

  TRequestContext ctx(*FDb, *FSessions, FSettings, request, conn);
  std::string result = "ok";
  std::int32_t code = 0;
  std::string why;
  try {
    FDb->Run([&] { handler->Fn(ctx); });
  } catch (const ERefused& e) {
    code = e.Code();
    why = e.what();
  } catch (const EDbError& e) {
    code = kErrDatabase;
    why = e.what();
  } catch (const std::exception& e) {
    code = kErrDatabase;
    why = e.what();
  }

  auto failure = [&](std::int32_t failCode) {
    ctx.Replies.clear();
    TDataParameter& r = ctx.Replies.emplace_back();
    r.AddInteger("T", handler->ReplyType);
    r.AddBoolean("result", false);
    r.AddInteger("Code", failCode);
    for (const std::string& name : handler->EchoOnFailure) ctx.Echo(r, name);
  };
  if (code != 0) {
    failure(code);
    result = "refused " + std::to_string(code) + " (" + why + ")";
  }

  // Encode everything first: a reply that would not fit a frame is replaced by a failure.
  std::vector<Bytes> frames;
  frames.reserve(ctx.Replies.size());
  for (TDataParameter& reply : ctx.Replies) {
    auto body = reply.Encode();
    if (body.size() > proto::kMaxFrameLength) {
      frames.clear();
      failure(kErrDatabase);
      result = "reply too large";
      auto small = ctx.Replies.front().Encode();
      frames.push_back(MakeFrame(small));
      break;
    }
    frames.push_back(MakeFrame(body));
  }

  bool sent = true;
  try {
    for (const Bytes& frame : frames) sock.BufferWrite(frame);
    sock.Flush();
  } catch (const ESocketError&) {
    sent = false;
    result += ", reply not delivered";
  }

  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  std::ostringstream line;
  line.setf(std::ios::fixed);
  line.precision(2);
  line << "member " << (ctx.Member ? std::to_string(ctx.Member) : std::string("-")) << " T " << type << " "
       << handler->Name << " -> " << result;
  if (!ctx.Note.empty()) line << " [" << ctx.Note << "]";
  line << " in " << ms << " ms";
  Log(line.str());
  return sent;
}

}  // namespace vantori::server
