#pragma once
// The reference server of the folder service: one process that serves the login server and the
// main server on BasePort, with its state in a data folder (ServerDb.h).
//
//   TServerOptions options;
//   options.DataDir = "/tmp/vantori-data";
//   options.BasePort = 7128;
//   TReferenceServer server(options);
//   server.Start();     // raises when the data folder or the port cannot be opened
//   ...
//   server.Stop();      // closes every connection and waits for them
//
// Each connection is served by its own thread with a small stack; requests on one connection are
// answered in order. Every request runs in one database transaction, and its replies are sent
// only after that transaction has committed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "ServerDb.h"
#include "ServerHandlers.h"
#include "StorageServer.h"
#include "WebSite.h"
#include "platform/TcpSocket.h"

namespace vantori::server {

struct TServerOptions {
  std::filesystem::path DataDir;
  std::string Host = "127.0.0.1";
  std::uint16_t BasePort = 7128;
  // Seed the demo members when the data folder holds no member yet.
  bool Demo = false;
  // A connection without a single frame for this long is closed.
  int IdleTimeoutMs = 120000;
  // Connections above this number are closed as soon as they are accepted.
  int MaxConnections = 4096;
  // The main server address sent to clients; empty: the address the client reached us on.
  std::string AdvertisedHost;
  // One line per request and per notable event; empty: standard error.
  std::function<void(const std::string& line)> Log;
  // The download and upload storage servers on BasePort + 3 and + 4.
  bool StorageServers = true;
  // Port of the service's web site; 0: no web site.
  std::uint16_t WebPort = 0;
  TStorageOptions Storage;
};

class TReferenceServer {
 public:
  explicit TReferenceServer(TServerOptions options);
  ~TReferenceServer();
  TReferenceServer(const TReferenceServer&) = delete;
  TReferenceServer& operator=(const TReferenceServer&) = delete;

  void Start();
  void Stop();
  bool Running() const { return FRunning.load(); }

  std::uint16_t BasePort() const { return FOptions.BasePort; }
  const TServerOptions& Options() const { return FOptions; }
  // The state, for seeding and inspection; use it through TServerDb::Run.
  TServerDb& Db() { return *FDb; }
  int ActiveConnections() const { return FActive.load(); }
  const THandlerRegistry& Handlers() const { return FRegistry; }
  // The storage servers while running (null when turned off).
  TStorageServers* Storage() { return FStorage.get(); }
  TWebSite* WebSite() { return FWebSite.get(); }

 private:
  void AcceptLoop();
  void Serve(const std::shared_ptr<TcpSocket>& sock);
  // Answers one request; false when the connection must be closed.
  bool Handle(TcpSocket& sock, TConnState& conn, const TDataParameter& request);
  void Log(const std::string& line);
  bool SpawnConnection(std::shared_ptr<TcpSocket> sock);

  TServerOptions FOptions;
  THandlerRegistry FRegistry;
  TServerSettings FSettings;
  std::unique_ptr<TServerDb> FDb;
  std::unique_ptr<TSessionTable> FSessions;
  std::unique_ptr<TStorageServers> FStorage;
  std::unique_ptr<TWebSite> FWebSite;
  TcpListener FListener;
  std::thread FAcceptThread;
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FStopping{false};
  std::atomic<int> FActive{0};
  std::mutex FConnLock;
  std::condition_variable FConnDone;
  std::set<std::shared_ptr<TcpSocket>> FConnections;
  std::mutex FLogLock;
};

// Seeds the demo members, their friends, folders and files (deterministic content).
void SeedDemoData(TServerDb& db);
// Byte `offset` of the content of demo stored file `storedSeq`.
std::uint8_t DemoContentByte(std::int32_t storedSeq, std::int64_t offset);

}  // namespace vantori::server
