#include "transfers/UTransferLink.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "protocol/ProtocolConstants.h"
#include "protocol/UFrame.h"

namespace vantori {

namespace {
constexpr std::size_t kReadPiece = 256 * 1024;

// sendfile has no MSG_NOSIGNAL: a peer that has gone would raise SIGPIPE and end the process.
// The links' threads keep SIGPIPE blocked instead (once, for the thread's life), and a signal
// such a write leaves pending is taken back at once, so the write just fails with EPIPE.
void BlockBrokenPipeOnThisThread() {
  thread_local bool blocked = false;
  if (blocked) return;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  blocked = true;
}

void TakeBackBrokenPipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  const timespec none{0, 0};
  while (sigtimedwait(&set, nullptr, &none) == SIGPIPE) {
  }
}
}  // namespace

TTransferLink::~TTransferLink() {
  Close();
}

void TTransferLink::SetSendLimit(int ms) {
  if (ms <= 0) return;
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  ::setsockopt(FSocket->Fd(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void TTransferLink::Connect(const std::string& host, std::uint16_t port, int timeoutMs, int sendLimitMs) {
  Close();
  auto socket = std::make_shared<TcpSocket>();
  socket->Connect(host, port, timeoutMs);
  Adopt(std::move(socket), sendLimitMs);
}

void TTransferLink::Adopt(std::shared_ptr<TcpSocket> socket, int sendLimitMs) {
  std::lock_guard<std::mutex> guard(FLock);
  FSocket = std::move(socket);
  FShut = false;
  FStart = FEnd = 0;
  SetSendLimit(sendLimitMs);
}

bool TTransferLink::Open() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FSocket && FSocket->Connected() && !FShut;
}

TTransferLink::TRead TTransferLink::Read(TDataParameter& message, int waitMs) {
  std::span<const std::uint8_t> ignored;
  return ReadData(-1, message, ignored, waitMs);
}

TTransferLink::TRead TTransferLink::ReadData(int dataType, TDataParameter& message,
                                             std::span<const std::uint8_t>& data, int waitMs) {
  data = {};
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> guard(FLock);
    socket = FSocket;
  }
  if (!socket || !socket->Connected() || FShut) return TRead::Closed;
  const int fd = socket->Fd();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
  for (;;) {
    std::size_t need = 4;
    if (FEnd - FStart >= 4) {
      const std::uint32_t length = GetFrameHeader(FBuf.get() + FStart);
      if (length == proto::kKeepAliveHeader) {
        FStart += 4;
        continue;
      }
      if (length > proto::kMaxFrameLength)
        throw ESocketError("frame of " + std::to_string(length) + " bytes from " + socket->Describe() +
                           " is above the limit");
      need = 4 + static_cast<std::size_t>(length);
      if (FEnd - FStart >= need) {
        // Decoded in place; the bytes go once they are decoded.
        const std::uint8_t* body = FBuf.get() + FStart + 4;
        FStart += need;
        if (FStart == FEnd) FStart = FEnd = 0;
        if (dataType >= 0 && length > 21) {
          // A data message whose encoding is the canonical one for its size: its bytes are the
          // frame's tail.
          const Bytes& prefix = DataPrefix(dataType, length - 21);
          if (prefix.size() == 25 && std::memcmp(prefix.data() + 4, body, 21) == 0) {
            data = std::span<const std::uint8_t>(body + 21, length - 21);
            return TRead::Message;
          }
        }
        message.Decode(body, length);
        return TRead::Message;
      }
    }
    // Room for the whole frame (and a good piece more) after what is buffered.
    if (FStart > 0 && (FCap - FStart < need + kReadPiece)) {
      std::memmove(FBuf.get(), FBuf.get() + FStart, FEnd - FStart);
      FEnd -= FStart;
      FStart = 0;
    }
    if (FCap < need + kReadPiece) {
      const std::size_t cap = need + kReadPiece;
      std::unique_ptr<std::uint8_t[]> grown(new std::uint8_t[cap]);
      if (FEnd > FStart) std::memcpy(grown.get(), FBuf.get() + FStart, FEnd - FStart);
      FEnd -= FStart;
      FStart = 0;
      FBuf = std::move(grown);
      FCap = cap;
    }
    const ssize_t n = ::recv(fd, FBuf.get() + FEnd, FCap - FEnd, MSG_DONTWAIT);
    if (n > 0) {
      FEnd += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0 || FShut) return TRead::Closed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw ESocketError("Read from " + socket->Describe() + " failed: " + std::strerror(errno), errno);
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return TRead::Timeout;
    pollfd p{fd, POLLIN, 0};
    const int left =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
    const int rc = ::poll(&p, 1, left < 1 ? 1 : left);
    if (rc < 0 && errno != EINTR) throw ESocketError("Read from " + socket->Describe() + " failed", errno);
    if (FShut) return TRead::Closed;
    if (rc == 0) return TRead::Timeout;
  }
}

void TTransferLink::Send(TDataParameter& message) {
  WriteFrame(*OpenSocket(), message);
}

const Bytes& TTransferLink::DataPrefix(int type, std::size_t size) {
  const auto key = std::make_pair(type, size);
  auto it = FPrefixes.find(key);
  if (it != FPrefixes.end()) return it->second;
  if (FPrefixes.size() > 8) FPrefixes.clear();  // a full block and a last one are the usual pair
  TDataParameter m;
  m.AddInteger("T", type);
  std::vector<std::uint8_t> zeros(size);
  m.AddData("F", zeros.data(), size);
  const auto enc = m.Encode();
  Bytes prefix(4 + enc.size() - size);
  PutFrameHeader(prefix.data(), static_cast<std::uint32_t>(enc.size()));
  std::memcpy(prefix.data() + 4, enc.data(), enc.size() - size);
  return FPrefixes.emplace(key, std::move(prefix)).first->second;
}

std::shared_ptr<TcpSocket> TTransferLink::OpenSocket() {
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> guard(FLock);
    socket = FSocket;
  }
  if (!socket || !socket->Connected() || FShut) throw ESocketError("the transfer connection is closed");
  return socket;
}

void TTransferLink::SendVector(const std::uint8_t* a, std::size_t na, const std::uint8_t* b, std::size_t nb,
                               bool more) {
  const auto socket = OpenSocket();
  iovec iov[2] = {{const_cast<std::uint8_t*>(a), na}, {const_cast<std::uint8_t*>(b), nb}};
  int first = 0;
  while (first < 2 && iov[first].iov_len == 0) ++first;
  while (first < 2) {
    msghdr mh{};
    mh.msg_iov = iov + first;
    mh.msg_iovlen = static_cast<std::size_t>(2 - first);
    const ssize_t n = ::sendmsg(socket->Fd(), &mh, MSG_NOSIGNAL | (more ? MSG_MORE : 0));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ESocketError("Write to " + socket->Describe() + " failed: " + std::strerror(errno), errno);
    }
    auto left = static_cast<std::size_t>(n);
    while (first < 2 && left >= iov[first].iov_len) {
      left -= iov[first].iov_len;
      ++first;
    }
    if (first < 2) {
      iov[first].iov_base = static_cast<std::uint8_t*>(iov[first].iov_base) + left;
      iov[first].iov_len -= left;
    }
  }
}

std::size_t TTransferLink::SendFileData(int type, int fd, std::int64_t offset, std::size_t size) {
  const Bytes& prefix = DataPrefix(type, size);
  // The prefix waits in the socket for the file's bytes, so header and data leave together.
  SendVector(prefix.data(), prefix.size(), nullptr, 0, size > 0);
  const auto socket = OpenSocket();
  BlockBrokenPipeOnThisThread();
  off_t pos = static_cast<off_t>(offset);
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t n = ::sendfile(socket->Fd(), fd, &pos, size - sent);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) TakeBackBrokenPipe();
      throw ESocketError("Write to " + socket->Describe() + " failed: " + std::strerror(errno), errno);
    }
    if (n == 0) break;  // the file is shorter than it was said to be
    sent += static_cast<std::size_t>(n);
  }
  return sent;
}

void TTransferLink::SendDataCut(int type, const std::uint8_t* bytes, std::size_t size, std::size_t cut) {
  const Bytes& prefix = DataPrefix(type, size);
  if (cut <= prefix.size()) return SendVector(prefix.data(), cut, nullptr, 0);
  SendVector(prefix.data(), prefix.size(), bytes, std::min(size, cut - prefix.size()));
}

void TTransferLink::Shutdown() {
  FShut = true;
  std::lock_guard<std::mutex> guard(FLock);
  if (FSocket) FSocket->Shutdown();
}

void TTransferLink::Close() {
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> guard(FLock);
    socket = std::move(FSocket);
  }
  if (socket) socket->Close();
  FStart = FEnd = 0;
}

}  // namespace vantori
