#pragma once
// The download and upload storage servers of the reference service (BasePort + 3 and + 4),
// backed by the blob folder of the main server's data folder, and the tickets through which the
// main server hands a prepared transfer over to them.
//
// A download or upload prepared by the main server (1209/1210, 548/549) gets a ticket: a random
// text that travels to the client as a locator ("FileText2" of a download, "RealName" of an
// upload) and that the client presents to the storage server. The storage server serves only
// what a live ticket names, for the member it was issued to.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "ServerDb.h"
#include "platform/TcpSocket.h"

namespace vantori::server {

struct TTransferTicket {
  std::int32_t Member = 0;
  std::string UserID;
  std::int32_t FileSeq = 0;
  std::int32_t StoredSeq = 0;
  std::int64_t Size = 0;
  bool Upload = false;
  double Expires = 0;  // day count
};

// The tickets of one server process (one per database).
class TTicketBook {
 public:
  // A new ticket of 24 hexadecimal characters.
  std::string Issue(const TTransferTicket& ticket);
  std::optional<TTransferTicket> Find(const std::string& key);
  // The live upload ticket of a file entry, if one was issued.
  std::optional<std::string> UploadTicketOf(std::int32_t fileSeq);

  static TTicketBook& For(const TServerDb& db);

 private:
  std::mutex FLock;
  std::map<std::string, TTransferTicket> FTickets;
};

struct TStorageOptions {
  // The upload speed cap told to clients ("sp"), in KB/s. The default (about 95 GB/s) is no cap
  // in practice, so benchmarks measure the engines and not the cap; 300 gives the service's
  // usual cap.
  std::int32_t UploadCapKbps = 100000000;
  // Fault injection for tests: a data connection is cut after this many file bytes (0: never).
  std::int64_t CutAfterBytes = 0;
  // A connection silent for this long is closed.
  int IdleTimeoutMs = 60000;
};

class TStorageServers {
 public:
  TStorageServers(TServerDb& db, std::string host, std::uint16_t basePort, TStorageOptions options,
                  std::function<void(const std::string&)> log);
  ~TStorageServers();
  TStorageServers(const TStorageServers&) = delete;
  TStorageServers& operator=(const TStorageServers&) = delete;

  // Listens on basePort + 3 and + 4. Raises ESocketError when a port is taken.
  void Start();
  void Stop();

  void SetCutAfter(std::int64_t bytes) { FCutAfter = bytes; }
  void SetUploadCap(std::int32_t kbps) { FUploadCap = kbps; }
  // Connections served so far (for tests).
  int DownloadConnections() const { return FDownConnections; }
  int UploadConnections() const { return FUpConnections; }

 private:
  void AcceptLoop(TcpListener& listener, bool upload);
  void ServeDownload(const std::shared_ptr<TcpSocket>& peer);
  void ServeUpload(const std::shared_ptr<TcpSocket>& peer);
  void Log(const std::string& line);

  TServerDb& FDb;
  std::string FHost;
  std::uint16_t FBasePort;
  TStorageOptions FOptions;
  std::function<void(const std::string&)> FLog;
  std::atomic<std::int64_t> FCutAfter{0};
  std::atomic<std::int32_t> FUploadCap{0};
  std::atomic<int> FDownConnections{0};
  std::atomic<int> FUpConnections{0};
  TcpListener FDownListener;
  TcpListener FUpListener;
  std::thread FDownAccept;
  std::thread FUpAccept;
  std::atomic<bool> FStopping{false};
  std::mutex FConnLock;
  std::set<std::shared_ptr<TcpSocket>> FConnections;
  std::map<std::thread::id, std::thread> FThreads;
  std::set<std::thread::id> FFinishedThreads;
};

}  // namespace vantori::server

namespace vantori::server {
class THandlerRegistry;
// The main server's side of the transfers: download preparation (1209) and its completion
// notice (1178), upload registration (548, 1184).
void RegisterTransferHandlers(THandlerRegistry& registry);
}  // namespace vantori::server
