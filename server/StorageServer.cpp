#include "StorageServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "protocol/UFrame.h"
#include "settings/UFunction.h"
#include "transfers/UTransferLink.h"
#include "transfers/UTransferRecords.h"

namespace vantori::server {

namespace {

constexpr double kTicketDays = 1.0;  // a prepared transfer may start within a day
constexpr std::int32_t kMinBlock = 1024;
constexpr std::int32_t kMaxBlock = 114688;
constexpr std::int64_t kWriteOutBytes = 8 << 20;

std::uint32_t Tick() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::int64_t FileSizeOr0(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

void SendFailure(TcpSocket& sock, int type, std::int32_t code) {
  TDataParameter reply;
  reply.AddInteger("T", type);
  reply.AddBoolean("result", false);
  reply.AddInteger("Code", code);
  WriteFrame(sock, reply);
}

// Waits until the client closes (or stays silent too long).
void DrainUntilClosed(TcpSocket& sock, int timeoutMs) {
  TFrameReader reader(sock);
  reader.SetTimeout(timeoutMs);
  TDataParameter ignored;
  try {
    while (reader.ReadFrame(ignored) == FrameEnd::Message) {
    }
  } catch (const std::exception&) {
  }
}

}  // namespace

std::string TTicketBook::Issue(const TTransferTicket& ticket) {
  static const char kHex[] = "0123456789abcdef";
  std::string key;
  for (int i = 0; i < 24; ++i) key += kHex[RandomBelow(16)];
  std::lock_guard lock(FLock);
  const double now = NowDays();
  for (auto it = FTickets.begin(); it != FTickets.end();)
    it = it->second.Expires < now ? FTickets.erase(it) : std::next(it);
  TTransferTicket t = ticket;
  t.Expires = now + kTicketDays;
  FTickets[key] = t;
  return key;
}

std::optional<TTransferTicket> TTicketBook::Find(const std::string& key) {
  std::lock_guard lock(FLock);
  auto it = FTickets.find(key);
  if (it == FTickets.end() || it->second.Expires < NowDays()) return std::nullopt;
  return it->second;
}

std::optional<std::string> TTicketBook::UploadTicketOf(std::int32_t fileSeq) {
  std::lock_guard lock(FLock);
  for (const auto& [key, t] : FTickets)
    if (t.Upload && t.FileSeq == fileSeq) return key;
  return std::nullopt;
}

TTicketBook& TTicketBook::For(const TServerDb& db) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<TTicketBook>> books;
  std::lock_guard guard(lock);
  auto& book = books[db.DataDir().string()];
  if (!book) book = std::make_unique<TTicketBook>();
  return *book;
}

TStorageServers::TStorageServers(TServerDb& db, std::string host, std::uint16_t basePort,
                                 TStorageOptions options, std::function<void(const std::string&)> log)
    : FDb(db), FHost(std::move(host)), FBasePort(basePort), FOptions(options), FLog(std::move(log)) {
  FCutAfter = options.CutAfterBytes;
  FUploadCap = options.UploadCapKbps;
}

TStorageServers::~TStorageServers() {
  Stop();
}

void TStorageServers::Log(const std::string& line) {
  if (FLog) FLog(line);
}

void TStorageServers::Start() {
  FStopping = false;
  FDownListener.Listen(FHost, static_cast<std::uint16_t>(FBasePort + 3), 256);
  FUpListener.Listen(FHost, static_cast<std::uint16_t>(FBasePort + 4), 256);
  FDownAccept = std::thread([this] { AcceptLoop(FDownListener, false); });
  FUpAccept = std::thread([this] { AcceptLoop(FUpListener, true); });
  Log("serving downloads on " + FHost + ":" + std::to_string(FBasePort + 3) + " and uploads on " + FHost +
      ":" + std::to_string(FBasePort + 4));
}

void TStorageServers::Stop() {
  if (FStopping.exchange(true)) return;
  FDownListener.Shutdown();
  FUpListener.Shutdown();
  if (FDownAccept.joinable()) FDownAccept.join();
  if (FUpAccept.joinable()) FUpAccept.join();
  std::map<std::thread::id, std::thread> threads;
  {
    std::lock_guard lock(FConnLock);
    for (const auto& sock : FConnections) sock->Shutdown();
    threads = std::move(FThreads);
  }
  for (auto& [id, t] : threads)
    if (t.joinable()) t.join();
  FDownListener.Close();
  FUpListener.Close();
}

void TStorageServers::AcceptLoop(TcpListener& listener, bool upload) {
  while (!FStopping) {
    std::unique_ptr<TcpSocket> peer;
    try {
      peer = listener.Accept(-1);
    } catch (const std::exception& e) {
      Log(std::string("storage accept failed: ") + e.what());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (!peer) break;
    std::shared_ptr<TcpSocket> sock(std::move(peer));
    std::lock_guard lock(FConnLock);
    // Reap the threads of connections that have ended.
    for (auto id : FFinishedThreads) {
      auto it = FThreads.find(id);
      if (it != FThreads.end()) {
        it->second.join();
        FThreads.erase(it);
      }
    }
    FFinishedThreads.clear();
    if (FStopping) break;
    FConnections.insert(sock);
    std::thread t([this, sock, upload] {
      try {
        if (upload)
          ServeUpload(sock);
        else
          ServeDownload(sock);
      } catch (const std::exception& e) {
        Log(std::string(upload ? "upload" : "download") + " connection ended: " + e.what());
      }
      sock->Shutdown();
      std::lock_guard lock(FConnLock);
      FConnections.erase(sock);
      FFinishedThreads.insert(std::this_thread::get_id());
    });
    FThreads.emplace(t.get_id(), std::move(t));
  }
}

void TStorageServers::ServeDownload(const std::shared_ptr<TcpSocket>& peer) {
  ++FDownConnections;
  TcpSocket& sock = *peer;
  TFrameReader reader(sock);
  reader.SetTimeout(FOptions.IdleTimeoutMs);
  TDataParameter request;
  if (reader.ReadFrame(request) != FrameEnd::Message) return;
  if (request.Count() == 0 || request.Params(0).AsInteger() != msg::kDownRequest) return;
  const TParamDef* d = request.FindParam("D");
  const auto rec = d ? TDownRequestRecord::Unpack(d->Data()) : std::nullopt;
  if (!rec) return SendFailure(sock, msg::kDownReply, 21030);
  const auto ticket = TTicketBook::For(FDb).Find(rec->Locator1);
  if (!ticket || ticket->Upload || ticket->Member != rec->UserSeq ||
      Lower(ticket->UserID) != Lower(rec->UserId) || ticket->FileSeq != rec->FileSeq)
    return SendFailure(sock, msg::kDownReply, 20011);
  if (rec->Offset < 0 || rec->Offset > ticket->Size) return SendFailure(sock, msg::kDownReply, 21030);
  const std::filesystem::path blob = FDb.BlobPath(ticket->StoredSeq);
  const int fd = ::open(blob.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SendFailure(sock, msg::kDownReply, 20008);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (FileSizeOr0(blob) < ticket->Size) return SendFailure(sock, msg::kDownReply, 20008);

  std::int32_t unit = 10;
  FDb.Run([&] {
    if (auto m = FDb.MemberBySeq(ticket->Member)) unit = m->Unit;
  });
  TDownReplyRecord reply;
  reply.UserSeq = rec->UserSeq;
  reply.Tick = rec->Tick;
  reply.CoinUnit = unit;
  TDataParameter ok;
  ok.AddInteger("T", msg::kDownReply);
  ok.AddBoolean("result", true);
  const Bytes replyBytes = reply.Pack();
  ok.AddEncript("D", replyBytes, Tick());
  WriteFrame(sock, ok);

  // Wait for the start; keep-alives (101) may come first.
  for (;;) {
    if (reader.ReadFrame(request) != FrameEnd::Message) return;
    if (request.Count() > 0 && request.Params(0).AsInteger() == msg::kDownStart) break;
  }

  const std::int32_t block =
      rec->BlockSize >= kMinBlock && rec->BlockSize <= kMaxBlock ? rec->BlockSize : 65536;
  TTransferLink link;
  link.Adopt(peer, FOptions.IdleTimeoutMs);
  const std::int64_t cutAfter = FCutAfter;
  std::int64_t sent = 0;
  std::int64_t offset = rec->Offset;
  while (offset < ticket->Size) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(block, ticket->Size - offset));
    if (cutAfter > 0 && sent + static_cast<std::int64_t>(n) > cutAfter) {
      // The injected fault: the connection breaks in the middle of this data message.
      std::vector<std::uint8_t> buffer(n);
      std::size_t got = 0;
      while (got < n) {
        const ssize_t r = ::pread(fd, buffer.data() + got, n - got,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) throw std::runtime_error("blob " + blob.string() + " ended early");
        got += static_cast<std::size_t>(r);
      }
      link.SendDataCut(msg::kDownData, buffer.data(), n, 25 + static_cast<std::size_t>(cutAfter - sent));
      Log("download connection cut after " + std::to_string(cutAfter) + " bytes");
      sock.Shutdown();
      return;
    }
    if (link.SendFileData(msg::kDownData, fd, offset, n) < n)
      throw std::runtime_error("blob " + blob.string() + " ended early");
    offset += static_cast<std::int64_t>(n);
    sent += static_cast<std::int64_t>(n);
  }
  FDb.Run([&] {
    FDb.Prepare("UPDATE stored_files SET down_bytes = down_bytes + ?1 WHERE seq = ?2")
        .Bind(1, sent)
        .Bind(2, ticket->StoredSeq)
        .Done();
  });
  // The client closes the connection once it has everything.
  DrainUntilClosed(sock, FOptions.IdleTimeoutMs);
}

void TStorageServers::ServeUpload(const std::shared_ptr<TcpSocket>& peer) {
  ++FUpConnections;
  TcpSocket& sock = *peer;
  TFrameReader reader(sock);
  reader.SetTimeout(FOptions.IdleTimeoutMs);
  TDataParameter request;
  if (reader.ReadFrame(request) != FrameEnd::Message) return;
  if (request.Count() == 0 || request.Params(0).AsInteger() != msg::kUpAnnounce) return;
  std::optional<TTransferTicket> ticket;
  std::string real, dir;
  try {
    real = request.ParamByName("Real").AsString();
    dir = request.ParamByName("Dir").AsString();
    ticket = TTicketBook::For(FDb).Find(real);
    if (ticket && (!ticket->Upload || ticket->Member != request.ParamByName("User").AsInteger() ||
                   ticket->FileSeq != request.ParamByName("File").AsInteger() ||
                   ticket->Size != request.ParamByName("Size").AsInt64()))
      ticket.reset();
  } catch (const EParamError&) {
    return SendFailure(sock, msg::kUpAnnounceReply, 21030);
  }
  if (!ticket) return SendFailure(sock, msg::kUpAnnounceReply, 20011);

  const std::filesystem::path blob = FDb.BlobPath(ticket->StoredSeq);
  std::error_code ec;
  std::filesystem::create_directories(blob.parent_path(), ec);
  const int fd = ::open(blob.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return SendFailure(sock, msg::kUpAnnounceReply, 20999);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::int64_t held = FileSizeOr0(blob);
  if (held > ticket->Size) {
    if (::ftruncate(fd, ticket->Size) != 0) return SendFailure(sock, msg::kUpAnnounceReply, 20999);
    held = ticket->Size;
  }
  auto record = [&](std::int64_t bytes) {
    FDb.Run([&] {
      FDb.Prepare("UPDATE stored_files SET cur_size = ?1 WHERE seq = ?2")
          .Bind(1, bytes)
          .Bind(2, ticket->StoredSeq)
          .Done();
    });
  };

  TDataParameter reply;
  reply.AddInteger("T", msg::kUpAnnounceReply);
  reply.AddBoolean("result", true);
  reply.AddInteger("Prog", held);
  reply.AddString("Real", real);
  reply.AddString("Dir", dir);
  reply.AddString("sp", ScrambleText(std::to_string(FUploadCap.load())));
  WriteFrame(sock, reply);
  if (held >= ticket->Size) {
    record(held);
    TDataParameter complete;
    complete.AddInteger("T", msg::kUpComplete);
    WriteFrame(sock, complete);
    DrainUntilClosed(sock, FOptions.IdleTimeoutMs);
    return;
  }

  const std::int64_t cutAfter = FCutAfter;
  std::int64_t received = 0;
  std::int64_t pos = held;
  TTransferLink link;
  link.Adopt(peer, FOptions.IdleTimeoutMs);
  std::int64_t writtenOutTo = pos;
  for (;;) {
    TTransferLink::TRead end;
    std::span<const std::uint8_t> data;
    try {
      end = link.ReadData(msg::kUpData, request, data, FOptions.IdleTimeoutMs);
    } catch (const std::exception&) {
      end = TTransferLink::TRead::Closed;
    }
    if (end != TTransferLink::TRead::Message) break;
    if (data.empty()) {
      // Anything but a data message in its usual form: decoded.
      if (request.Count() == 0) continue;
      const std::int32_t type = request.Params(0).AsInteger();
      if (type == msg::kUpStop) break;
      if (type != msg::kUpData) continue;
      const TParamDef* f = request.FindParam("F");
      if (!f) continue;
      data = f->Data();
    }
    const auto n = static_cast<std::int64_t>(data.size());
    if (pos + n > ticket->Size) {
      record(pos);
      SendFailure(sock, msg::kUpResult, 21030);
      return;
    }
    if (cutAfter > 0 && received + n > cutAfter) {
      Log("upload connection cut after " + std::to_string(received) + " bytes");
      break;
    }
    std::int64_t written = 0;
    while (written < n) {
      const ssize_t w = ::pwrite(fd, data.data() + written, static_cast<std::size_t>(n - written),
                                 static_cast<off_t>(pos + written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        record(pos);
        SendFailure(sock, msg::kUpResult, 20999);
        return;
      }
      written += w;
    }
    pos += n;
    received += n;
    // Each few megabytes start going to disk while the rest is still arriving, so that the
    // sync before the confirmation finds little left to do.
    if (pos - writtenOutTo >= kWriteOutBytes) {
      ::sync_file_range(fd, writtenOutTo, pos - writtenOutTo, SYNC_FILE_RANGE_WRITE);
      writtenOutTo = pos;
    }
    if (pos == ticket->Size) {
      // Confirmed only once the bytes are on disk and the file entry says so.
      if (::fdatasync(fd) != 0) {
        SendFailure(sock, msg::kUpResult, 20999);
        return;
      }
      record(pos);
      TDataParameter result;
      result.AddInteger("T", msg::kUpResult);
      result.AddBoolean("result", true);
      WriteFrame(sock, result);
      DrainUntilClosed(sock, FOptions.IdleTimeoutMs);
      return;
    }
  }
  record(pos);
}

}  // namespace vantori::server
